#!/usr/bin/env bash
# Installs what is needed, builds Vantre with its tests and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen
export SDL_AUDIODRIVER=dummy
# No debug information: CI builds from scratch on two cores.
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG"
cmake --build build/test
ctest --test-dir build/test --output-on-failure -j "$(nproc)" "$@"
