#!/bin/sh
# Installs what a fresh Debian machine lacks (as root), then configures, builds and
# runs every test. Usage: tools/test.sh [build-dir]
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"

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
cmake --build "$BUILD_DIR" -j "$(nproc)"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"
