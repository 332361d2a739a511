#!/bin/sh
# Runs clang-tidy (checks in .clang-tidy) and cppcheck over our own sources; any
# finding fails. Usage: tools/static-checks.sh [build-dir]
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build-static}"

tools/install-packages.sh clang-tidy cppcheck

# An existing build directory (CI passes its Release build) keeps its build type and only
# gains the compile database; a new one is configured for Debug.
if [ -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S . -B "$BUILD_DIR" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
else
    cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_EXPORT_COMPILE_COMMANDS=ON >/dev/null
fi
# Generated moc/rcc sources must exist before the tools read the compile database.
cmake --build "$BUILD_DIR" -j "$(nproc)" >/dev/null

# Our sources as the build compiles them, from the compile database: a source tarball has no
# version control to ask.
ROOT=$(pwd -P)
SOURCES=$(sed -n 's/^ *"file": *"\(.*\)",\{0,1\}$/\1/p' "$BUILD_DIR/compile_commands.json" |
    sed -n "s#^$ROOT/\(\(model/[^/]*\|render\|view\|ui\|cli\|app\|tools\)/[^/]*\.cpp\)\$#\1#p" | sort -u)
if [ -z "$SOURCES" ]; then
    echo "no sources found in $BUILD_DIR/compile_commands.json" >&2
    exit 1
fi

# Both tools run even if the first finds something, so one run shows every finding.
status=0
echo "clang-tidy:"
# shellcheck disable=SC2086
clang-tidy -p "$BUILD_DIR" --quiet $SOURCES >"$BUILD_DIR/clang-tidy.log" 2>&1 || status=1
# Drop the per-file count of (suppressed) warnings from system headers.
grep -v '^[0-9]* warnings\{0,1\} generated\.$' "$BUILD_DIR/clang-tidy.log" || true

echo "cppcheck:"
# Qt's macros are unknown to cppcheck; the library config teaches it about them.
# shellcheck disable=SC2086
cppcheck --quiet --error-exitcode=1 --std=c++17 --language=c++ --library=qt \
    --enable=warning,performance,portability --inline-suppr \
    --suppress=missingIncludeSystem \
    $(for d in model/*/; do printf -- "-I %s " "$d"; done) -I render -I view -I ui -I cli $SOURCES || status=1
if [ "$status" -ne 0 ]; then
    echo "static checks found problems" >&2
    exit 1
fi
echo "static checks clean"
