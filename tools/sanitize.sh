#!/bin/sh
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs the whole
# test suite there; any report fails. Usage: tools/sanitize.sh [build-dir]
# Expects the packages that tools/test.sh installs.
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build-sanitize}"

cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFORMICULA_SANITIZE=ON
cmake --build "$BUILD_DIR" -j "$(nproc)"

# Leaks are the leak check's business (valgrind on the Release build, see tests/CMakeLists.txt):
# Qt and fontconfig keep caches until exit that LeakSanitizer would report from every widget
# test. Every other ASan report and every UBSan report aborts the test that triggered it.
ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1"
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export ASAN_OPTIONS UBSAN_OPTIONS
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"
