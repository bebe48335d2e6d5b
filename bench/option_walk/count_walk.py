"""Counts a walk through source files, in two parts: the command line, from
the entry of main to the render (any depth: parsing calls each option's
checks), and the render, the files entered down to DEPTH calls below
RunRender until it returns. Repeats in a row are one visit; a header and its
source are one file. Destructors are left out: they end a step rather than
take the options further. For each part and both together: the files and
the returns to a file already left.
Usage: count_walk.py LOG FUNCTIONS PROGRAM FOLDER DEPTH
FUNCTIONS has lines "offset function file:line" (function names mangled)."""
import os
import re
import sys

DESTRUCTOR = re.compile(r"D[012]Ev(\.|$)")


def read_functions(path):
    functions = {}
    for line in open(path):
        offset, name, location = line.split(" ", 2)
        functions[offset] = (name, os.path.realpath(location.rsplit(":", 1)[0]))
    return functions


def walk(log, functions, program, folder, depth):
    command_line, render = [], []
    main_level = None
    render_level = None
    for line in open(log):
        level, module, offset = line.split()
        if module != program:
            continue
        level = int(level)
        name, source = functions.get(offset, ("", ""))
        if main_level is None:
            if name != "main":
                continue
            main_level = level
        if level < main_level:
            break
        if render_level is None and "RunRender" in name:
            render_level = level
        elif render_level is not None and level <= render_level:
            break
        if render_level is not None and level > render_level + depth:
            continue
        if DESTRUCTOR.search(name) or not source.startswith(folder):
            continue
        visits = command_line if render_level is None else render
        room = os.path.splitext(source[len(folder):])[0]
        if not visits or visits[-1] != room:
            visits.append(room)
    return command_line, render


def report(title, visits):
    distinct = len(set(visits))
    print(f"{title}: {distinct} files, {len(visits) - distinct} returns to a file already left")
    print("  " + " -> ".join(visits))


def main():
    log, function_list, program, folder, depth = sys.argv[1:6]
    command_line, render = walk(log, read_functions(function_list), program, folder, int(depth))
    report("command line (main to the render)", command_line)
    report(f"render ({depth} below RunRender)", render)
    whole = command_line + [room for i, room in enumerate(render) if i or not command_line or room != command_line[-1]]
    report("whole walk", whole)


main()
