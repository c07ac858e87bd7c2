#!/usr/bin/env bash
# Runs a program of the Windows build under Wine, with the toolchain's DLLs on
# its path and the build's own Wine prefix; ctest uses it for every test.
#   scripts/wine-run.sh build-win/bin/lintaro-cli.exe --help
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
win64=${LINTARO_WIN64:-$here/build-win/win64}
export WINEPREFIX=${WINEPREFIX:-$here/build-win/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# zlib1.dll comes from Debian's mingw-w64 zlib, not from the toolchain.
export WINEPATH="Z:${win64//\//\\}\\bin;Z:\\usr\\x86_64-w64-mingw32\\lib"
# Windows programs choose Qt's own platform: offscreen and minimal never
# return to the event loop under Wine once a window is shown.
unset QT_QPA_PLATFORM
exec wine "$@"
