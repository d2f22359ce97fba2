#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer (leaks included) and
# UndefinedBehaviorSanitizer in build-asan, then runs the tests there. Any report fails the
# test that shows it. Reports that come from the system libraries alone (GStreamer, GLib, Qt,
# fontconfig...) are silenced by scripts/lsan.supp, scripts/ubsan.supp and
# scripts/lsan-ignore-library-init.c, each entry with its reason; none names the program's
# own code.
#
#   scripts/sanitize.sh            the whole suite (what CI runs), less the few tests that
#                                  cannot run instrumented (listed below)
#   scripts/sanitize.sh --quick    the filter tests and the tests that run the program as a
#                                  process, with only what they need built
#   SANITIZE_JOBS=1                parallel build and test jobs (default: the number of cores)
#   SANITIZE_TESTS=<regex>         only the tests whose names match (ctest -R)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-asan
jobs=${SANITIZE_JOBS:-$(nproc)}
# Paths relative to the checkout in ccache's keys: a fresh clone on the same machine (CI)
# reuses what an earlier one compiled.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(pwd)}
full=1
if [[ ${1:-} == --quick ]]; then full=0; fi
# The filter tests (the program's GStreamer elements and their cores) and the Process tests
# (the program itself started, recording, stopped by a signal, repaired at the next start),
# with what they need; new filter suites are to be added here.
filter_suites="AreaResampler|DVHeaderMark|DVPacks|DamagedFrames|DeinterlaceStill|DvAviMux"
filter_suites+="|DvAviMuxHarness|DvAviWriter|DvFramer|DvStreamInfo|FrameRings|GrabRing|HeaderTest"
filter_suites+="|PluginDependencies"
filter_suites+="|ResizerElement|ResizerSize|SceneDetectElement|SceneRule|WaveDestElement|WaveHeader"
subset="^(superposer|timestamper|controlfilter|datetime)\\.|^($filter_suites|Process)\\.|^TestMedia$"
subset_targets=(vidorra_dv_tests vidorra_dv_element_tests vidorra_dv_sanitizer_tests
  vidorra_datetime_tests vidorra_superposer_tests vidorra_superposer_element_tests
  vidorra_timestamper_tests vidorra_resizer_tests vidorra_controlfilter_tests
  vidorra_wavedest_tests vidorra_dvavi_tests vidorra_dvavi_element_tests app_tests
  make_test_media gstvidorra)

scripts/install-deps.sh

# gcc, as GStreamer and Qt were built with: its sanitizer runtime is the one they meet.
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
mkdir -p "$build"
gcc -c -O1 -fPIC scripts/lsan-ignore-library-init.c -o "$build/lsan-ignore-library-init.o"
link="-fsanitize=address,undefined $(pwd)/$build/lsan-ignore-library-init.o"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=gcc -DCMAKE_CXX_COMPILER=g++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="$link" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
  -DVIDORRA_BUILD_BENCH=OFF >/dev/null
if ((full)); then
  cmake --build "$build" -j "$jobs"
else
  cmake --build "$build" -j "$jobs" --target "${subset_targets[@]}"
fi

here=$(pwd)
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export UBSAN_OPTIONS="suppressions=$here/scripts/ubsan.supp:print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
# Widgets run offscreen; the tests never touch the user's own settings.
export QT_QPA_PLATFORM=offscreen
# Slower under the sanitizers: the same tests with more time.
tests=${SANITIZE_TESTS:-}
if [[ -z $tests ]] && ((!full)); then tests=$subset; fi
# Left out: the tests that start stock GStreamer tools (gst-launch-1.0, gst-inspect-1.0) on the
# program's plug-in, which is instrumented while those tools are not (the sanitizer runtime
# refuses to be loaded that late), and the test that measures the process's resident memory,
# which the sanitizer's quarantine of freed blocks inflates by design.
excluded="^superposer\\.LaunchLine\\.|^install\\.InstalledTree\\.GstInspectFindsThePluginInThePrefix$"
excluded+="|^install\\.StaticElementsWin$|^SourcesController\\.ChangingSourcesFreesTheFormerOnes$"
status=0
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 900 ${tests:+-R "$tests"} \
  -E "$excluded" || status=$?
# LeakSanitizer's own tracer may crash while it stops the threads of a test process that is
# exiting ("Tracer caught signal 11", "LeakSanitizer has encountered a fatal error"): no report
# about the program, and not one it can act on. When every failure is such a crash, the failed
# tests run once more, alone; a leak or an error reported by the sanitizers fails them again.
log="$build/Testing/Temporary/LastTest.log"
failed="$build/Testing/Temporary/LastTestsFailed.log"
if ((status != 0)) && [[ -f $log && -f $failed ]]; then
  crashes=$(grep -c "LeakSanitizer has encountered a fatal error" "$log" || true)
  failures=$(grep -c . "$failed" || true)
  if ((crashes > 0 && crashes >= failures)); then
    echo "sanitize.sh: LeakSanitizer's tracer crashed in $crashes test(s); running them again"
    status=0
    ctest --test-dir "$build" --output-on-failure --timeout 900 --rerun-failed || status=$?
  fi
fi
exit "$status"
