#!/usr/bin/env bash
# Installs what is missing, builds everything (benchmarks included) and runs the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
# Widgets run offscreen; the tests never touch the user's own settings.
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 300
# Every reader of outside data fuzzed for 20 s, then the tests under the sanitizers.
scripts/fuzz.sh 20
scripts/sanitize.sh
