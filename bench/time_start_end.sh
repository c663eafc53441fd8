#!/usr/bin/env bash
# Times the real program on a generated book, under Xvfb with a window manager:
#   start: from the moment the process is started until the last figure of the main window is
#          written (the running balance walked, the day's figures and the carried-in balance
#          shown), taken from the program's own trace (TILLBOOK_TRACE);
#   end:   from SIGTERM until the process has gone (password back on, weekday copy written
#          and verified, lock released);
#   rss:   the peak resident memory of the run.
# Usage: bench/time_start_end.sh [lines] [runs]    (defaults: 60000 lines, 3 runs)
# Needs Xvfb and openbox (xvfb, openbox); the book is generated once and copied for each run.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
LINES="${1:-60000}"
RUNS="${2:-3}"

for tool in Xvfb openbox; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install xvfb openbox)"; exit 2; }
done

WORK="$(mktemp -d)"
DISPLAY_NUMBER=$((90 + RANDOM % 9))
cleanup() {
    [ -n "${WM:-}" ] && kill "$WM" 2>/dev/null || true
    [ -n "${XVFB:-}" ] && kill "$XVFB" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

Xvfb ":$DISPLAY_NUMBER" -screen 0 1280x1024x24 >/dev/null 2>&1 &
XVFB=$!
sleep 1
DISPLAY=":$DISPLAY_NUMBER" openbox >/dev/null 2>&1 &
WM=$!
sleep 1

"$BUILD/bin/make_book" "$WORK/book.kas" "$LINES"
echo "book: $LINES lines, $(du -h "$WORK/book.kas" | cut -f1)"

now_ms() { date +%s%3N; }

for run in $(seq "$RUNS"); do
    home="$WORK/home$run"
    data="$home/Documents/Tillbook - Daten"
    mkdir -p "$data"
    cp "$WORK/book.kas" "$data/Tillbook.kas"
    log="$WORK/log$run"

    start=$(now_ms)
    HOME="$home" XDG_CONFIG_HOME="$home/.config" DISPLAY=":$DISPLAY_NUMBER" \
        TILLBOOK_TRACE=1 TILLBOOK_UPDATE_URL="http://127.0.0.1:1" \
        "$BUILD/bin/tillbook" 2>"$log" &
    pid=$!
    # Everything armed at the start has run long before this.
    sleep 4
    rss=$(awk '/VmHWM/ {print int($2 / 1024)}' "/proc/$pid/status")
    ready=$(awk '$1 == "tillbook-trace" && $3 == "figures" {t = $2} END {print t}' "$log")
    shown=$(awk '$1 == "tillbook-trace" && $3 == "shown" {print $2; exit}' "$log")
    if [ -z "$ready" ] || [ -z "$shown" ]; then
        echo "run $run: the main window did not come up"; cat "$log"; exit 1
    fi

    stop=$(now_ms)
    kill -TERM "$pid"
    wait "$pid" || true
    ended=$(now_ms)
    copies=$(find "$home/Backup Tillbook" -type f 2>/dev/null | wc -l)
    echo "run $run: window shown $((shown - start)) ms, every figure $((ready - start)) ms," \
        "end $((ended - stop)) ms (weekday copies: $copies), peak rss $rss MB"
done
