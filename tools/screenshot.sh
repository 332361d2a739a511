#!/bin/sh
# Runs the program on a virtual X server and photographs it as a user sees it: at start, after
# a click on Forward, and after a second Forward (the end of the run). Finally quits through
# File > Exit and checks the exit code.
# Needs xvfb, xauth, imagemagick and xdotool.
# Usage: tools/screenshot.sh [build-dir] [output-dir]   (defaults: build, docs)
set -eu

if [ "${1:-}" = "--inside-xvfb" ]; then
    PROGRAM="$2"
    OUT="$3"

    "$PROGRAM" &
    PID=$!
    WID=$(xdotool search --sync --onlyvisible --name '^Formicula$' | head -n 1)
    sleep 2

    shoot() {
        eval "$(xdotool getwindowgeometry --shell "$WID")"
        import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$OUT/$1"
        echo "wrote $OUT/$1 (${WIDTH}x${HEIGHT} at ${X},${Y})"
    }

    shoot formicula-start.png

    # Forward sits at 70,80 (50 x 50) in the Simulation box at 780,10 of the frame, which
    # starts right below the menu bar (about 25 pixels): aim at its middle.
    xdotool mousemove --window "$WID" 875 140 click 1
    sleep 1
    shoot formicula-forward.png
    xdotool mousemove --window "$WID" 875 140 click 1
    sleep 1
    shoot formicula-finished.png

    # File > Exit, as a user would.
    xdotool mousemove --window "$WID" 18 12 click 1
    sleep 1
    xdotool mousemove --window "$WID" 40 40 click 1
    STATUS=0
    for _ in 1 2 3 4 5 6 7 8 9 10; do
        kill -0 "$PID" 2>/dev/null || break
        sleep 0.5
    done
    if kill -0 "$PID" 2>/dev/null; then
        echo "File > Exit did not end the program" >&2
        kill "$PID"
        STATUS=1
    fi
    wait "$PID" || STATUS=$?
    echo "exit code $STATUS"
    exit "$STATUS"
fi

cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"
OUT="${2:-docs}"
mkdir -p "$OUT"
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --inside-xvfb \
    "$(realpath "$BUILD_DIR/app/formicula")" "$(realpath "$OUT")"
