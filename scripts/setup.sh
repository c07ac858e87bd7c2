#!/usr/bin/env bash
# Installs what Lintaro needs to build, test and run on Debian 12, only what is missing.
# CPack's Debian generator needs the file command; the packaging test runs lintian.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev libgl-dev
    libavformat-dev libavcodec-dev libavutil-dev
    libgtest-dev
    clang libclang-rt-14-dev
    ffmpeg melt mkvtoolnix
    fonts-dejavu-core
    file lintian
    qt6-translations-l10n
    xvfb x11-utils
    desktop-file-utils
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
