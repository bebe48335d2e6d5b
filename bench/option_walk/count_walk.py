"""Counts a walk through source files: from the entry of main, the files
whose functions the log's calls enter down to DEPTH calls below RunRender,
in order (repeats in a row are one visit; a header and its source are one
file), and the returns to a file already left.
Usage: count_walk.py LOG FUNCTIONS PROGRAM FOLDER DEPTH
FUNCTIONS has lines "offset function file:line"."""
import os
import sys


def read_functions(path):
    functions = {}
    for line in open(path):
        offset, name, location = line.split(" ", 2)
        functions[offset] = (name, os.path.realpath(location.rsplit(":", 1)[0]))
    return functions


def walk(log, functions, program, folder, depth):
    visits = []
    main_level = None
    limit = None
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
        if main_level is not None and level < main_level:
            break
        if limit is None and "RunRender" in name:
            limit = level + depth
        if limit is not None and level > limit:
            continue
        if not source.startswith(folder):
            continue
        room = os.path.splitext(source[len(folder):])[0]
        if not visits or visits[-1] != room:
            visits.append(room)
    return visits


def main():
    log, function_list, program, folder, depth = sys.argv[1:6]
    visits = walk(log, read_functions(function_list), program, folder, int(depth))
    distinct = len(set(visits))
    print(f"{depth} below RunRender: {distinct} files, {len(visits) - distinct} returns to a file already left")
    print("  " + " -> ".join(visits))


main()
