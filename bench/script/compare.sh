#!/bin/sh
# Runs the benchmark programs through vidorra-script and through Lua 5.4 side by side:
# best of 3 runs each (wall time, the two taking turns), the ratio vidorra / lua, their
# geometric mean, and a check that both print the same result line.
#
#   bench/script/compare.sh [path/to/vidorra-script] [runs]
#
# Without a path, vidorra-script is looked for under build/src/script/. LUA overrides the Lua
# interpreter (default lua5.4). Exits with 1 if a program fails or the two results differ.
set -u

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
runs=${2:-3}
lua=${LUA:-lua5.4}

runner=${1:-}
if [ -z "$runner" ]; then
  runner=$(find "$root/build/src/script" -type f -name vidorra-script -perm -u+x 2>/dev/null | head -n 1)
fi
if [ -z "$runner" ] || [ ! -x "$runner" ]; then
  echo "vidorra-script not found: give its path as first argument (or build it under build/)" >&2
  exit 2
fi
if ! command -v "$lua" >/dev/null 2>&1; then
  echo "$lua not found (set LUA to the Lua 5.4 interpreter)" >&2
  exit 2
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

now_ns() { date +%s%N; }

# once_ms OUTFILE COMMAND... : runs the command once, keeps its standard output in OUTFILE and
# prints its wall time in milliseconds, or "fail" if it exits with non-zero.
once_ms() {
  out=$1
  shift
  start=$(now_ns)
  if ! "$@" >"$out" 2>"$out.err"; then
    echo fail
    return
  fi
  end=$(now_ns)
  echo $(( (end - start) / 1000000 ))
}

# better BEST TIME : the lower of the two, "fail" once a run failed.
better() {
  if [ "$1" = fail ] || [ "$2" = fail ]; then
    echo fail
  elif [ -z "$1" ] || [ "$2" -lt "$1" ]; then
    echo "$2"
  else
    echo "$1"
  fi
}

status=0
ratios=
printf '%-10s %12s %10s %8s  %s\n' program "vidorra ms" "lua ms" ratio result
for name in fib sieve strings loops calls text; do
  # The two interpreters take turns, so that a slow spell of the machine weighs on both.
  v=
  l=
  i=0
  while [ "$i" -lt "$runs" ]; do
    v=$(better "$v" "$(once_ms "$tmp/$name.vidorra" "$runner" "$here/$name.pas")")
    l=$(better "$l" "$(once_ms "$tmp/$name.lua" "$lua" "$here/$name.lua")")
    i=$((i + 1))
  done
  result=$(cat "$tmp/$name.lua")
  if [ "$v" = fail ] || [ "$l" = fail ]; then
    ratio=-
    result="FAILED: $(cat "$tmp/$name.vidorra.err" "$tmp/$name.lua.err" | head -n 3 | tr '\n' ' ')"
    status=1
  else
    if ! cmp -s "$tmp/$name.vidorra" "$tmp/$name.lua"; then
      result="DIFFERENT: vidorra '$(cat "$tmp/$name.vidorra")', lua '$result'"
      status=1
    fi
    # A run under a millisecond counts as one, so that the ratio stays defined.
    ratio=$(awk -v v="$v" -v l="$l" 'BEGIN { if (v < 1) v = 1; if (l < 1) l = 1; printf "%.2f", v / l }')
    # Only programs that computed the same result count in the mean.
    if cmp -s "$tmp/$name.vidorra" "$tmp/$name.lua"; then
      ratios="$ratios $ratio"
    fi
  fi
  printf '%-10s %12s %10s %8s  %s\n' "$name" "$v" "$l" "$ratio" "$result"
done

if [ -n "$ratios" ]; then
  echo "$ratios" | awk '{ s = 0; for (i = 1; i <= NF; i++) s += log($i);
                         printf "geometric mean of the ratios: %.2f (%d programs)\n", exp(s / NF), NF }'
fi
exit $status
