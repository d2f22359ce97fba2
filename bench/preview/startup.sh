#!/usr/bin/env bash
# Time from process start to the first previewed picture on "Mire de test", with a warm
# GStreamer registry: runs the program offscreen N times (default 7) and prints each time
# and the median. Usage: bench/preview/startup.sh [build dir] [runs]
# STARTUP_REGISTRY_VALUES=N starts with a registry file holding N values under the
# program's key (a registry that grew large). STARTUP_PLUGIN_DIR=DIR searches DIR for
# capture plug-ins (the test suite's own folder, build/tests/sources/plugins, holds a
# dozen, good and hostile).
set -euo pipefail
build=${1:-build}
runs=${2:-7}
exe="$build/src/app/vidorra"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_CONFIG_HOME="$home/.config" QT_QPA_PLATFORM=offscreen
export VIDORRA_EXIT_AT_FIRST_FRAME=1
values=${STARTUP_REGISTRY_VALUES:-0}
plugins=${STARTUP_PLUGIN_DIR:-}
if ((values > 0)) || [[ -n $plugins ]]; then
  mkdir -p "$home/.config/Ardoval"
  {
    printf '[Software\\Ardoval\\Vidorra]\n'
    if [[ -n $plugins ]]; then
      printf '"Plugins Dir"="%s/"\n' "$(realpath "$plugins")"
    fi
    if ((values > 0)); then
      seq 1 "$values" | sed 's/.*/"Valeur&"="une valeur de la clef"/'
    fi
  } >"$home/.config/Ardoval/registre.reg"
fi
if ((values > 0)); then
  echo "registry: $values values, $(stat -c %s "$home/.config/Ardoval/registre.reg") bytes"
fi
# A first run warms the registry and makes the virtual devices' material.
timeout 60 "$exe" --new-instance >/dev/null 2>&1 || true
sleep 3
times=()
for ((i = 0; i < runs; i++)); do
  start=$(date +%s%N)
  inproc=$(timeout 30 "$exe" --new-instance 2>/dev/null | sed -n 's/^first-frame-ms //p')
  end=$(date +%s%N)
  wall=$(((end - start) / 1000000))
  echo "run $i: ${wall} ms wall (${inproc:-?} ms inside the process)"
  times+=("$wall")
done
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
echo "median: ${median} ms from process start to the first picture (target < 700 ms)"
