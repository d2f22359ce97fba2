#!/usr/bin/env bash
# Fails when a CMake file carries the mark of a C++ formatter run over it: a path cut around
# its slash ("${CMAKE_CURRENT_SOURCE_DIR} / File.cpp"). Such a list may still configure, by
# accident.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
status=0
while IFS= read -r file; do
  if grep -nE '\}[[:space:]]+/([[:space:]]|$)' "$file"; then
    echo "$file: a path is cut apart (run scripts/format.sh, which leaves CMake files alone)" >&2
    status=1
  fi
done < <(git ls-files 'CMakeLists.txt' '*/CMakeLists.txt' '*.cmake')
exit $status
