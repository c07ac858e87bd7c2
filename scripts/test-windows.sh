#!/usr/bin/env bash
# Runs the tests of the Windows build (scripts/build-windows.sh) under Wine:
# core and command-line tests need no display; the window tests run on Qt's
# windows platform against a private Xvfb. Everything Wine keeps (registry,
# drives) lives in build-win/wineprefix.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$PWD/build-win
export WINEPREFIX=$out/wineprefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=

start=$(date +%s)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i
    wineserver -w
fi
# A second drive for the WAV companion on another drive letter.
mkdir -p "$out/drive-y"
ln -sfn "$out/drive-y" "$WINEPREFIX/dosdevices/y:"
export LINTARO_TEST_SECOND_DRIVE=Y:

fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$fifo" 2>/dev/null &
xvfb=$!
read -r display <"$fifo"
rm -f "$fifo"
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
export DISPLAY=:$display

status=0
ctest --test-dir "$out" --output-on-failure -j "${LINTARO_JOBS:-2}" || status=$?
wineserver -w || true
echo "Windows tests under Wine took $(( $(date +%s) - start )) s"
exit $status
