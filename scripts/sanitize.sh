#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer (leaks included) and
# UndefinedBehaviorSanitizer in build-asan, then runs the tests there. Any report fails the
# test that shows it. Reports that come from the system libraries alone (GStreamer, GLib, Qt,
# fontconfig...) are silenced by scripts/lsan.supp, scripts/ubsan.supp and
# scripts/lsan-ignore-library-init.c, each entry with its reason; none names the program's
# own code.
#
#   scripts/sanitize.sh            the whole suite
#   SANITIZE_JOBS=1                parallel build and test jobs (default: the number of cores)
#   SANITIZE_TESTS=<regex>         only the tests whose names match (ctest -R)
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-asan
jobs=${SANITIZE_JOBS:-$(nproc)}

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
cmake --build "$build" -j "$jobs"

here=$(pwd)
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export UBSAN_OPTIONS="suppressions=$here/scripts/ubsan.supp:print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
# Widgets run offscreen; the tests never touch the user's own settings.
export QT_QPA_PLATFORM=offscreen
# Slower under the sanitizers: the same tests with more time.
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 900 \
  ${SANITIZE_TESTS:+-R "$SANITIZE_TESTS"}
