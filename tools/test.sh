#!/bin/sh
# Installs what a fresh Debian machine lacks (as root), then configures, builds and
# runs every test: the Release suite (with the soak and the valgrind leak check), the
# static checks, and the whole suite again built with ASan and UBSan.
# Usage: tools/test.sh [build-dir]   (the sanitizer build goes to <build-dir>-sanitize)
set -eu
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"

tools/install-packages.sh build-essential cmake qtbase5-dev qtbase5-dev-tools libgif-dev zlib1g-dev libcli11-dev nlohmann-json3-dev valgrind clang-tidy cppcheck man-db \
    pybind11-dev python3-pybind11 python3-numpy python3-pytest

cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
cmake --build "$BUILD_DIR" -j "$(nproc)"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)"

# The installed layout: both programs, the desktop entry and the icon it names.
rm -rf "$BUILD_DIR/install-check"
cmake --install "$BUILD_DIR" --prefix "$BUILD_DIR/install-check" >/dev/null
for f in bin/formicula bin/formicula-cli share/applications/formicula.desktop \
    share/pixmaps/formicula.png share/man/man1/formicula-cli.1; do
    [ -f "$BUILD_DIR/install-check/$f" ] || { echo "install: $f missing" >&2; exit 1; }
done
"$BUILD_DIR/install-check/bin/formicula-cli" run LR --max-iterations 10 >/dev/null
# The manual page as man shows it: every command and the exit statuses.
page=$(MANWIDTH=100 man -l "$BUILD_DIR/install-check/share/man/man1/formicula-cli.1")
for want in '^SYNOPSIS' '^   run$' '^   catalogue$' '^   survey$' '^   merge$' '^   summary$' \
    '^EXIT STATUS' '2 bad usage'; do
    printf '%s\n' "$page" | grep -q -- "$want" || { echo "man page: no '$want'" >&2; exit 1; }
done
# The Python module, where it was built, imports from where it was installed.
module=$(find "$BUILD_DIR/install-check" -name 'formicula.cpython-*.so' | head -n 1)
if [ -n "$module" ]; then
    PYTHONPATH=$(dirname "$module") /usr/bin/python3 -c \
        "import formicula; assert formicula.run('LR').iterations == 15517" ||
        { echo "install: the Python module does not import" >&2; exit 1; }
fi
echo "install layout complete"

tools/static-checks.sh "$BUILD_DIR"
tools/sanitize.sh "$BUILD_DIR-sanitize"
