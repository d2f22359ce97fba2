#!/usr/bin/env bash
# Configures (once) and builds Vidorra in ./build, incrementally.
set -euo pipefail
cd "$(dirname "$0")/.."
# Paths relative to the checkout in ccache's keys: a fresh clone on the same machine (CI)
# reuses what an earlier one compiled.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(pwd)}
if [[ ! -f build/build.ninja ]]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build -j "$(nproc)"
