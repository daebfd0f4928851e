#!/usr/bin/env bash
# Converts a test clip with every format of the shipped catalog, with its default choices and
# with every other encoder its lists offer, through the ffmpeg tool, and checks each output
# with ffprobe. Prints the formats that fail. Usage: tools/check-catalog.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
tests="$build/bin/appcore_tests"
[ -x "$tests" ] || { echo "build $tests first (cmake --build $build --target appcore_tests)"; exit 1; }
exec "$tests" --gtest_brief=1 \
    --gtest_filter='Sections/CatalogDefaults.*:Sections/CatalogChoices.*:Sections/CatalogLint.*'
