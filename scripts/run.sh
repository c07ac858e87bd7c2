#!/usr/bin/env bash
# Installs what is missing, builds Lintaro and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)" --target lintaro lintaro-cli
exec build/bin/lintaro
