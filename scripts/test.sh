#!/usr/bin/env bash
# Installs what is missing, builds everything (program, tool, tests, benchmarks,
# fuzz reproducers) and runs every test, then the whole suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer. Headless throughout.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs"

cmake --preset asan
cmake --build --preset asan -j "$jobs"
ctest --preset asan -j "$jobs"
