#!/bin/sh
# Makes the README's example animation: preset 5 from iteration 0 to its end at cell size 2,
# frames spaced logarithmically so that the early growth shows. Builds formicula-cli first
# (a no-op when it is up to date); needs what tools/test.sh installs.
# Usage: tools/make-example-gif.sh [build-dir] [output-file]
#        (defaults: build, docs/formicula-preset-05.gif)
set -eu
cd "$(dirname "$0")/.."
BUILD="${1:-build}"
OUT="${2:-docs/formicula-preset-05.gif}"

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j "$(nproc)" --target formicula-cli >/dev/null
"$BUILD/cli/formicula-cli" run --preset 5 --gif "$OUT" --cell-size 2 --spacing log --frames 150 \
    --delay 60 >/dev/null
SIZE=$(wc -c <"$OUT")
echo "wrote $OUT ($SIZE bytes)"
if [ "$SIZE" -ge 1048576 ]; then
    echo "$OUT is 1 MB or more: too large for the README" >&2
    exit 1
fi
