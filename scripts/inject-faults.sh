#!/usr/bin/env bash
# Test strength: puts each small fault of a list (an operator flipped, an
# offset moved by one, a check dropped, a constant changed) into the sources
# one at a time, rebuilds incrementally, runs the tests that should notice,
# puts the file back and tells which faults no test noticed ("survived").
#
#   scripts/inject-faults.sh [-b BUILD_DIR] [-j JOBS] [-t SECONDS] [-m MATCH] [FAULT_LIST]
#
# BUILD_DIR is a configured native build (default build/), JOBS the build's
# parallelism (2), SECONDS the time limit of each test run (300), MATCH
# narrows the list to faults whose file or text contains it, FAULT_LIST
# defaults to scripts/faults.txt, whose header describes its format. A fault
# whose text is no longer found exactly once is reported "stale" and skipped.
# Whatever ends the run (Ctrl-C too), the file under change is put back.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
jobs=2
limit=300
match=
while getopts "b:j:t:m:h" option; do
  case $option in
    b) build=$(cd "$OPTARG" && pwd) ;;
    j) jobs=$OPTARG ;;
    t) limit=$OPTARG ;;
    m) match=$OPTARG ;;
    *) sed -n '2,15p' "$0"; exit 1 ;;
  esac
done
shift $((OPTIND - 1))
list=${1:-$root/scripts/faults.txt}
[[ -f $build/build.ninja || -f $build/Makefile ]] || { echo "no configured build in $build" >&2; exit 1; }

work=$(mktemp -d)
changed=      # the source file that holds a fault right now
built=()      # every target built with a fault, rebuilt clean at the end
restore() {
  if [[ -n $changed ]]; then
    cp "$work/original" "$root/$changed"
    touch "$root/$changed"  # newer than the objects built with the fault
    changed=
  fi
}
finish() {
  restore
  rm -rf "$work"
}
trap finish EXIT
trap 'echo; echo "interrupted: $root/${changed:-sources} restored; rebuild before trusting $build"; exit 130' INT TERM

# Occurrences of literal `text` in `file`.
count() { perl -0ne 'BEGIN { $t = shift } $n = () = /\Q$t\E/g; print $n' "$1" "$2"; }
# Replaces the one occurrence of literal `find` in `file` by `put`.
replace() { perl -0pi -e 'BEGIN { ($f, $p) = splice @ARGV, 0, 2 } s/\Q$f\E/$p/' "$1" "$2" "$3"; }

total=0 killed=0 stale=0 unbuilt=0
survivors=()
run_fault() {
  local file=$1 tests=$2 find=$3 put=$4
  total=$((total + 1))
  local label="$file: $find  ->  ${put:-(nothing)}"
  if [[ -n $match && $file != *"$match"* && $find != *"$match"* ]]; then
    total=$((total - 1))
    return
  fi
  if [[ ! -f $root/$file || $(count "$find" "$root/$file") != 1 ]]; then
    echo "stale     $label"
    stale=$((stale + 1))
    return
  fi
  cp "$root/$file" "$work/original"
  changed=$file
  replace "$find" "$put" "$root/$file"

  local targets=() runs=() test
  for test in $tests; do
    targets+=("${test%%:*}")
    runs+=("$test")
  done
  built+=("${targets[@]}")
  if ! cmake --build "$build" -j "$jobs" --target "${targets[@]}" >"$work/build.log" 2>&1; then
    echo "no build  $label"
    unbuilt=$((unbuilt + 1))
    restore
    return
  fi
  local noticed=
  for test in "${runs[@]}"; do
    local binary=${test%%:*} filter=
    [[ $test == *:* ]] && filter=--gtest_filter=${test#*:}
    # In a subshell, so that a crash is this run's news and not the shell's.
    if ! (timeout "$limit" "$build/bin/$binary" --gtest_brief=1 $filter >"$work/test.log" 2>&1) 2>/dev/null; then
      noticed=$binary
      break
    fi
  done
  restore
  if [[ -n $noticed ]]; then
    echo "killed    $label  [$noticed]"
    killed=$((killed + 1))
  else
    echo "SURVIVED  $label"
    survivors+=("$label")
  fi
}

file= tests= find= put= have_put=
flush() {
  if [[ -n $file && -n $find && -n $have_put ]]; then
    run_fault "$file" "$tests" "$find" "$put"
  elif [[ -n $file || -n $find ]]; then
    echo "incomplete entry in $list near: $file $find" >&2
    exit 1
  fi
  file= tests= find= put= have_put=
}
while IFS= read -r line <&3 || [[ -n $line ]]; do
  case $line in
    '#'*) ;;
    '') flush ;;
    file:*) file=${line#file:}; file=${file#"${file%%[![:space:]]*}"} ;;
    tests:*) tests=${line#tests:} ;;
    find:*) find=${line#find:}; find=${find#"${find%%[![:space:]]*}"} ;;
    put:*) put=${line#put:}; put=${put#"${put%%[![:space:]]*}"}; have_put=1 ;;
    *) echo "unreadable line in $list: $line" >&2; exit 1 ;;
  esac
done 3<"$list"
flush

if ((${#built[@]})); then
  echo "rebuilding the clean sources"
  cmake --build "$build" -j "$jobs" --target $(printf '%s\n' "${built[@]}" | sort -u) >/dev/null
fi
echo
echo "$total faults: $killed killed, ${#survivors[@]} survived, $stale stale, $unbuilt did not build"
for survivor in "${survivors[@]}"; do
  echo "  survived: $survivor"
done
