#!/usr/bin/env bash
# vr_superposer beside identity and clockoverlay, each in a whole gst-launch-1.0 process as
# another application would run it (run by hand on a quiet machine):
#
#   bench/overlay/compare.sh [build] [frames] [runs]
#
# videotestsrc pattern=black num-buffers=N ! video/x-raw,format=I420,width=720,height=576 ! X ! fakesink
# with X = identity, the overlay idle (incrust-active=false), the overlay drawing its two
# outlined lines (the system date and time, its defaults outside the program) and clockoverlay.
# Processor time (user + system of the child, from wait4) per frame is the slope between runs of
# `frames` and of frames/10 buffers, so that loading the plug-ins and the fonts does not count;
# medians of `runs` alternating runs. Also each process's peak resident memory and the time
# from start to exit with a single buffer.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
frames=${2:-3000}
runs=${3:-5}
few=$((frames / 10))
plugin_dir=$(cd "$build/src/filters" && pwd)
if [[ ! -f $plugin_dir/libgstvidorra.so ]]; then
  echo "no plug-in in $plugin_dir: build first" >&2
  exit 1
fi
export GST_PLUGIN_PATH=$plugin_dir
export GST_REGISTRY=${TMPDIR:-/tmp}/vidorra-compare-registry-$$.bin
trap 'rm -f "$GST_REGISTRY"' EXIT

names=(identity idle two-lines clockoverlay)
declare -A element=(
  [identity]="identity"
  [idle]="vr_superposer incrust-active=false"
  [two-lines]="vr_superposer"
  [clockoverlay]="clockoverlay"
)

# One process: prints "cpu-seconds max-rss-KiB wall-seconds", from the child's own rusage
# (wait4: microseconds, where /usr/bin/time rounds to 10 ms).
measure() {
  python3 - "$1" "$2" <<'PY'
import os, shlex, subprocess, sys, time
n, element = sys.argv[1], sys.argv[2]
argv = ["gst-launch-1.0", "-q", "videotestsrc", "pattern=black", f"num-buffers={n}", "!",
        "video/x-raw,format=I420,width=720,height=576", "!", *shlex.split(element), "!",
        "fakesink"]
t0 = time.monotonic()
child = subprocess.Popen(argv, stdout=subprocess.DEVNULL)
_, status, usage = os.wait4(child.pid, 0)
wall = time.monotonic() - t0
if os.waitstatus_to_exitcode(status) != 0:
    sys.exit(f"{' '.join(argv)} failed")
print(f"{usage.ru_utime + usage.ru_stime:.6f} {usage.ru_maxrss} {wall:.6f}")
PY
}

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# The registry scanned once, outside every measure.
gst-inspect-1.0 vr_superposer >/dev/null
gst-inspect-1.0 clockoverlay >/dev/null

declare -A slope whole rss start
for name in "${names[@]}"; do : >"/tmp/compare-$$-$name"; done
for ((r = 0; r < runs; ++r)); do
  for name in "${names[@]}"; do
    read -r cpu_many rss_many _ < <(measure "$frames" "${element[$name]}")
    read -r cpu_few _ _ < <(measure "$few" "${element[$name]}")
    read -r _ _ wall_one < <(measure 1 "${element[$name]}")
    echo "$cpu_many $cpu_few $rss_many $wall_one" >>"/tmp/compare-$$-$name"
  done
done
for name in "${names[@]}"; do
  f=/tmp/compare-$$-$name
  slope[$name]=$(awk -v d=$((frames - few)) '{printf "%.3f\n", ($1 - $2) / d * 1e6}' "$f" | median)
  whole[$name]=$(awk -v d="$frames" '{printf "%.3f\n", $1 / d * 1e6}' "$f" | median)
  rss[$name]=$(awk '{print $3}' "$f" | median)
  start[$name]=$(awk '{printf "%.2f\n", $4 * 1000}' "$f" | median)
  rm -f "$f"
done

printf '%d frames of 720 x 576 I420 (slope against %d), medians of %d runs\n' "$frames" "$few" "$runs"
# "whole run" divides the whole process's time by the frames, start-up included.
printf '%-14s %14s %14s %16s %15s %14s\n' element "CPU/frame (us)" "over identity" \
  "whole run, over" "peak RSS (MiB)" "start-up (ms)"
for name in "${names[@]}"; do
  printf '%-14s %14.2f %14.2f %16.2f %15.1f %14.1f\n' "$name" "${slope[$name]}" \
    "$(awk -v a="${slope[$name]}" -v b="${slope[identity]}" 'BEGIN {print a - b}')" \
    "$(awk -v a="${whole[$name]}" -v b="${whole[identity]}" 'BEGIN {print a - b}')" \
    "$(awk -v k="${rss[$name]}" 'BEGIN {print k / 1024}')" "${start[$name]}"
done
awk -v i="${slope[identity]}" -v idle="${slope[idle]}" -v two="${slope[two-lines]}" \
  -v clock="${slope[clockoverlay]}" -v rs="${rss[two-lines]}" -v rc="${rss[clockoverlay]}" 'BEGIN {
  printf "idle overlay - identity:            %6.2f us a frame (aim: at most 3)\n", idle - i
  if (clock - i > 0)
    printf "two lines / clockoverlay (over identity): %.2f (aim: at most 0.3)\n", (two - i) / (clock - i)
  printf "peak RSS vr_superposer - clockoverlay: %.1f MiB (aim: at most 5)\n", (rs - rc) / 1024
}'
