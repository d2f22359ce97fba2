#!/usr/bin/env bash
# Formats the C and C++ sources with the repository's .clang-format. Only those: clang-format
# takes any file it is given for C++, and a CMake list run through it gets its paths cut
# apart ("${CMAKE_CURRENT_SOURCE_DIR} / File.cpp"). Without arguments, every tracked source;
# with arguments, those files (anything not C or C++ is skipped).
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ $# -eq 0 ]]; then
  mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.c' '*.cc' '*.hpp')
else
  files=()
  for f in "$@"; do
    case "$f" in
      *.cpp|*.h|*.c|*.cc|*.hpp) files+=("$f") ;;
      *) echo "format.sh: $f is not a C or C++ source: left as it is" >&2 ;;
    esac
  done
fi
[[ ${#files[@]} -eq 0 ]] || clang-format -i "${files[@]}"
