#!/usr/bin/env bash
# Checks the shipped format catalog: its sections against the rules every section follows, the
# options built for every format and encoder choice against this platform's encoders, and one
# conversion through vantre-convert per distinct container, encoders and frame size, each output
# checked with ffprobe. Prints what fails. Usage: tools/check-catalog.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tests="$build/bin/core_tests"
[ -x "$tests" ] || { echo "build $tests first (cmake --build $build --target core_tests)"; exit 1; }
exec "$tests" --gtest_brief=1 --gtest_filter='CatalogLint.*:CatalogOptions.*:Shards/CatalogConversions.*'
