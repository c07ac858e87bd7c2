#!/usr/bin/env bash
# Cross-builds Lintaro for 64-bit Windows with mingw-w64 and packs the zip an
# operator unpacks anywhere: build-win/bin/ holds the programs and the test
# executables, build-win/lintaro-<version>-win64.zip the programs with every
# DLL they need. Installs what is missing first. The toolchain (Qt and FFmpeg
# built for Windows) is unpacked into build-win/, never into the tree.
#
#   scripts/build-windows.sh            build and pack
#   scripts/build-windows.sh --test     also run the tests under Wine
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

toolchain_archive=${LINTARO_WIN64_TOOLCHAIN:-$root/../shared/toolchains/win64-toolchain.tar.xz}
out=$root/build-win
win64=$out/win64
jobs=${LINTARO_JOBS:-2}

packages=(
    cmake ninja-build pkg-config zip ccache
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n
    g++-mingw-w64-x86-64-posix googletest libz-mingw-w64-dev
    wine wine64 xvfb xauth
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

mkdir -p "$out"
if [ ! -f "$win64/mingw-w64-x86_64.cmake" ] || [ "$toolchain_archive" -nt "$win64/mingw-w64-x86_64.cmake" ]; then
    [ -f "$toolchain_archive" ] || { echo "toolchain not found: $toolchain_archive (set LINTARO_WIN64_TOOLCHAIN)" >&2; exit 2; }
    echo "Unpacking $toolchain_archive"
    rm -rf "$win64"
    tar -C "$out" -xJf "$toolchain_archive"
    touch "$win64/mingw-w64-x86_64.cmake"
fi

export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER:-ccache}
# FFmpeg's .pc files name their own folder, so pkg-config finds the Windows
# libraries wherever the archive was unpacked, and never the Linux ones.
export PKG_CONFIG_LIBDIR=$win64/lib/pkgconfig
export PKG_CONFIG_PATH=

# GoogleTest from Debian's sources, built for the target and installed beside
# the toolchain's Qt, where find_package(GTest) looks.
if [ ! -f "$win64/lib/libgtest.a" ]; then
    cmake -S /usr/src/googletest -B "$out/googletest" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$win64/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON \
        -DCMAKE_INSTALL_PREFIX="$win64"
    cmake --build "$out/googletest" -j "$jobs"
    cmake --install "$out/googletest"
fi

start=$(date +%s)
cmake -S . -B "$out" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$win64/mingw-w64-x86_64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_BUILD_TYPE=Release \
    -DLINTARO_BUILD_BENCH=OFF -DLINTARO_BUILD_FUZZ=OFF \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run.sh"
cmake --build "$out" -j "$jobs"
echo "Cross-build took $(( $(date +%s) - start )) s"

# --- the zip ---------------------------------------------------------------
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$out/CMakeCache.txt")
name=lintaro-$version-win64
stage=$out/zip/$name
rm -rf "$out/zip"
mkdir -p "$stage/platforms" "$stage/styles" "$stage/translations"
cp "$out/bin/lintaro.exe" "$out/bin/lintaro-cli.exe" "$stage/"
cp "$win64/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$win64/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp /usr/share/qt6/translations/qtbase_ru.qm "$stage/translations/"
x86_64-w64-mingw32-strip "$stage"/*.exe "$stage"/*/*.dll

# Every DLL the programs and plugins import, found by walking the PE import
# tables: those the toolchain or the compiler supply are packed, the rest
# belong to Windows itself.
dll_folders=("$win64/bin" "$win64/lib" /usr/lib/gcc/x86_64-w64-mingw32/*-posix /usr/x86_64-w64-mingw32/lib)
find_dll() {
    local folder
    for folder in "${dll_folders[@]}"; do
        [ -f "$folder/$1" ] && { echo "$folder/$1"; return; }
    done
    local found
    found=$(find "${dll_folders[@]}" -maxdepth 1 -iname "$1" -print -quit 2>/dev/null || true)
    [ -z "$found" ] || echo "$found"
}
queue=("$stage"/*.exe "$stage"/*/*.dll)
declare -A seen=()
while [ ${#queue[@]} -gt 0 ]; do
    file=${queue[0]}
    queue=("${queue[@]:1}")
    while read -r dll; do
        key=${dll,,}
        [ -n "${seen[$key]:-}" ] && continue
        seen[$key]=1
        source=$(find_dll "$dll")
        [ -z "$source" ] && continue # a system DLL
        cp "$source" "$stage/$dll"
        x86_64-w64-mingw32-strip "$stage/$dll" 2>/dev/null || true
        queue+=("$stage/$dll")
    done < <(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p' | tr -d '\r')
done

# Qt finds its plugins and translations beside the program through qt.conf.
printf '[Paths]\nPrefix = .\nPlugins = .\nTranslations = translations\n' >"$stage/qt.conf"
iconv -f UTF-8 -t CP1251 packaging/windows/README.txt | sed 's/$/\r/' >"$stage/README.txt"

rm -f "$out/$name.zip"
(cd "$out/zip" && zip -qr9 "$out/$name.zip" "$name")
echo "Packed $out/$name.zip ($(du -k "$out/$name.zip" | cut -f1) KiB)"

if [ "${1:-}" = "--test" ]; then
    exec scripts/test-windows.sh
fi
