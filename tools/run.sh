#!/bin/sh
# Installs what a fresh Debian machine lacks (as root), builds the desktop program and starts
# it. Extra arguments go to the program. Usage: tools/run.sh [build-dir]
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"
if [ $# -gt 0 ]; then shift; fi

tools/install-packages.sh build-essential cmake qtbase5-dev qtbase5-dev-tools libgif-dev

cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release
cmake --build "$BUILD_DIR" --target formicula -j "$(nproc)"
exec "$BUILD_DIR/app/formicula" "$@"
