#!/usr/bin/env bash
# Installs what is missing, builds everything (program, tool, tests, benchmarks,
# fuzz reproducers) and runs every test, then the whole suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, headless; then builds the
# Windows programs and runs the same tests under Wine.
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

# The Windows build, its zip and its tests under Wine. Debian 12 gets what it
# needs installed; elsewhere the part runs when mingw-w64 and Wine are there.
toolchain=${LINTARO_WIN64_TOOLCHAIN:-../shared/toolchains/win64-toolchain.tar.xz}
debian12=false
grep -qs '^VERSION_ID="12"' /etc/os-release && grep -qs '^ID=debian' /etc/os-release && debian12=true
if [ ! -f "$toolchain" ]; then
    echo "Windows build and tests skipped: no toolchain at $toolchain (set LINTARO_WIN64_TOOLCHAIN)"
elif $debian12 || { command -v x86_64-w64-mingw32-g++-posix && command -v wine && command -v Xvfb; } >/dev/null; then
    LINTARO_JOBS=$jobs LINTARO_WIN64_TOOLCHAIN=$toolchain scripts/build-windows.sh --test
else
    echo "Windows build and tests skipped: mingw-w64, Wine or Xvfb missing (Debian 12 installs them)"
fi
