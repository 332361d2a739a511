#!/bin/sh
# Installs what a fresh Debian machine lacks (as root), builds the desktop program and starts
# it. Extra arguments go to the program. Usage: tools/run.sh [build-dir]
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"
if [ $# -gt 0 ]; then shift; fi

PACKAGES="build-essential cmake qtbase5-dev qtbase5-dev-tools"
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
fi

cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release
cmake --build "$BUILD_DIR" --target formicula -j "$(nproc)"
exec "$BUILD_DIR/app/formicula" "$@"
