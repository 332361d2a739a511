#!/bin/sh
# Installs what a fresh Debian machine lacks (as root), builds both programs (the desktop
# program build/app/formicula and the command-line runner build/cli/formicula-cli) and starts
# the desktop program; every argument goes to it.
# Usage: tools/run.sh [ARGUMENT...]        e.g. tools/run.sh -platform offscreen
#        BUILD_DIR=other-dir tools/run.sh  (default build)
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"

tools/install-packages.sh build-essential cmake qtbase5-dev qtbase5-dev-tools libgif-dev \
    zlib1g-dev libcli11-dev nlohmann-json3-dev

cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD_DIR" --target formicula formicula-cli -j "$(nproc)"
echo "built $BUILD_DIR/app/formicula and $BUILD_DIR/cli/formicula-cli" >&2
exec "$BUILD_DIR/app/formicula" "$@"
