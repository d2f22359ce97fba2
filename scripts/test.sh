#!/usr/bin/env bash
# Installs what is missing, builds everything (benchmarks included) and runs the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
# The Debian package, which the install tests unpack and run from a temporary root.
(cd build && cpack -G DEB)
# Widgets run offscreen; the tests never touch the user's own settings.
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j "$(nproc)" --timeout 300
