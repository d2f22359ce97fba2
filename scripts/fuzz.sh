#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in
# build-fuzz and runs each for the given number of seconds (default 20) on a copy of its seed
# corpus (tests/fuzz/corpus/<target>, with tests/fuzz/dict/<target>.dict when there is one),
# so that the runs add nothing to the repository.
# A target that crashes, leaks, hangs or trips a sanitizer fails the script; the input that
# shows it is kept under build-fuzz/findings/<target>/ and its path printed.
#
#   scripts/fuzz.sh [seconds]       FUZZ_TARGETS="script dv_frames" to run some targets only,
#                                   FUZZ_JOBS to choose the build's parallel jobs
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
build=build-fuzz
jobs=${FUZZ_JOBS:-$(nproc)}
# Paths relative to the checkout in ccache's keys: a fresh clone on the same machine (CI)
# reuses what an earlier one compiled.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(pwd)}

scripts/install-deps.sh

# Everything the targets link is instrumented for coverage and checked by the sanitizers;
# the targets themselves add -fsanitize=fuzzer (tests/fuzz/CMakeLists.txt).
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
flags+=" -fno-omit-frame-pointer"
if [[ ! -f $build/build.ninja ]]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
    -DVIDORRA_FUZZ=ON -DVIDORRA_BUILD_TESTS=OFF -DVIDORRA_BUILD_BENCH=OFF \
    -DVIDORRA_BUILD_PLUGIN_EXAMPLE=OFF
fi
cmake --build "$build" -j "$jobs" --target vidorra_fuzz

all_targets=$(cd tests/fuzz/corpus && ls)
targets=${FUZZ_TARGETS:-$all_targets}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$build/logs"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
export ASAN_OPTIONS="detect_leaks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export QT_QPA_PLATFORM=offscreen

failed=()
printf '%-18s %12s %10s\n' "cible" "exécutions" "exéc./s"
for target in $targets; do
  exe=$build/tests/fuzz/fuzz_$target
  findings=$build/findings/$target
  log=$build/logs/$target.log
  rm -rf "$work/corpus"
  mkdir -p "$work/corpus" "$findings"
  cp -r "tests/fuzz/corpus/$target/." "$work/corpus/"
  options=()
  if [[ -f tests/fuzz/dict/$target.dict ]]; then options+=(-dict="tests/fuzz/dict/$target.dict"); fi
  status=0
  # The outer limit catches a target that hangs outside libFuzzer's own watch.
  timeout --signal=KILL $((seconds + 300)) "$exe" "$work/corpus" -max_total_time="$seconds" \
    -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" \
    "${options[@]}" >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  printf '%-18s %12s %10s\n' "$target" "${runs:-?}" "${rate:-?}"
  if ((status != 0)); then
    failed+=("$target")
    echo "--- fuzz_$target a échoué (code $status) ; fin de son journal $log :"
    tail -n 40 "$log"
    input=$(grep -o "Test unit written to .*" "$log" | tail -1 | sed 's/Test unit written to //')
    echo "--- entrée qui le montre : ${input:-(aucune écrite ; voir $findings)}"
  fi
done

if ((${#failed[@]} > 0)); then
  echo "Fuzzing : échec de ${failed[*]}"
  exit 1
fi
echo "Fuzzing : aucune faute trouvée ($seconds s par cible)"
