#!/usr/bin/env bash
# Times the real program on generated books, under Xvfb with a window manager:
#   shown:   from the moment the process is started until the main window is shown;
#   figures: until the last figure of the main window is written (the running balance walked,
#            the day's figures and the carried-in balance shown), from the program's own trace
#            (TILLBOOK_TRACE);
#   end:     from SIGTERM until the process has gone (password back on, weekday copy written
#            and verified, lock released);
#   rss:     the peak resident memory of the run;
#   cpu:     the processor time (user and system) until every figure is shown, and of the end,
#            which a busy machine stretches far less than the wall-clock times;
#   load:    the system's load average over the last minute when each run starts (the
#            median and the highest), to tell a slow program from a busy machine.
#
# Usage: bench/time_start_end.sh [lines[,lines...]] [runs]
#        (defaults: 60000,150000,1000000 lines, 3 runs each)
# Prints one line per size on stdout, for scripts:
#   lines=60000 mb=8.7 runs=3 shown_ms=350 figures_ms=600 end_ms=700 rss_mb=60 \
#     figures_cpu_ms=420 end_cpu_ms=150 load=0.4 load_max=0.9 shown_ms_min=340 ... end_ms_max=...
# (the median of the runs, then the smallest and largest); each run goes to stderr.
#
# Environment: BUILD_DIR (default build/) holds bin/tillbook and bin/make_book;
# BENCH_DISPLAY=<n> runs Xvfb on display :n (default: a free one from :90 on);
# TILLBOOK_BENCH_BOOKS=<folder> keeps the generated books for later runs.
# Needs Xvfb, openbox and GNU time (xvfb, openbox, time).
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"
SIZES="${1:-60000,150000,1000000}"
RUNS="${2:-3}"

for tool in Xvfb openbox /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (apt-get install xvfb openbox time)" >&2; exit 2; }
done

WORK="$(mktemp -d)"
if [ -n "${BENCH_DISPLAY:-}" ]; then
    DISPLAY_NUMBER="$BENCH_DISPLAY"
else
    DISPLAY_NUMBER=90
    while [ -e "/tmp/.X11-unix/X$DISPLAY_NUMBER" ] || [ -e "/tmp/.X$DISPLAY_NUMBER-lock" ]; do
        DISPLAY_NUMBER=$((DISPLAY_NUMBER + 1))
    done
fi
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

now_ms() { date +%s%3N; }

# The median, smallest and largest of the numbers given.
summary() {
    printf '%s\n' "$@" | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)], v[1], v[NR]}'
}

for LINES in ${SIZES//,/ }; do
    "$BUILD/bin/make_book" "$WORK/book.kas" "$LINES"
    MB=$(awk -v b="$(stat -c %s "$WORK/book.kas")" 'BEGIN {printf "%.1f", b / 1e6}')
    shown_all=() ready_all=() end_all=() rss_all=() cpus_all=() cpue_all=() load_all=()
    for run in $(seq "$RUNS"); do
        home="$WORK/home$run"
        rm -rf "$home"
        data="$home/Documents/Tillbook - Daten"
        mkdir -p "$data"
        cp "$WORK/book.kas" "$data/Tillbook.kas"
        log="$WORK/log$run"

        load=$(cut -d' ' -f1 /proc/loadavg)
        start=$(now_ms)
        HOME="$home" XDG_CONFIG_HOME="$home/.config" DISPLAY=":$DISPLAY_NUMBER" \
            TILLBOOK_TRACE=1 TILLBOOK_UPDATE_URL="http://127.0.0.1:1" \
            /usr/bin/time -f "%U %S" -o "$WORK/cpu$run" "$BUILD/bin/tillbook" 2>"$log" &
        timer=$!
        pid=""
        while [ -z "$pid" ]; do pid=$(pgrep -P "$timer" || true); done
        # Wait until the last figure is written and nothing is left to run.
        ready="" shown=""
        for _ in $(seq 300); do
            sleep 0.1
            shown=$(awk '$1 == "tillbook-trace" && $3 == "shown" {print $2; exit}' "$log")
            ready=$(awk '$1 == "tillbook-trace" && $3 == "figures" {t = $2} END {print t}' "$log")
            [ -n "$ready" ] && [ -n "$shown" ] && [ $(($(now_ms) - ready)) -gt 1500 ] && break
        done
        if [ -z "$ready" ] || [ -z "$shown" ]; then
            echo "run $run: the main window did not come up" >&2
            cat "$log" >&2
            exit 1
        fi
        rss=$(awk '/VmHWM/ {print int($2 / 1024)}' "/proc/$pid/status")
        # Processor time (user and system) until every figure is shown, and of the end.
        tick=$(getconf CLK_TCK)
        cpu_start=$(awk -v t="$tick" '{print int(($14 + $15) * 1000 / t)}' "/proc/$pid/stat")

        stop=$(now_ms)
        kill -TERM "$pid"
        wait "$timer" || true
        ended=$(now_ms)
        cpu_end=$(awk -v s="$cpu_start" '{print int(($1 + $2) * 1000) - s}' "$WORK/cpu$run")
        copies=$(find "$home/Backup Tillbook" -type f 2>/dev/null | wc -l)
        [ "$copies" -eq 1 ] || { echo "run $run: $copies weekday copies instead of one" >&2; exit 1; }
        shown_all+=($((shown - start)))
        ready_all+=($((ready - start)))
        end_all+=($((ended - stop)))
        rss_all+=("$rss")
        cpus_all+=("$cpu_start")
        cpue_all+=("$cpu_end")
        load_all+=("$load")
        echo "$LINES lines, run $run: window shown $((shown - start)) ms," \
            "every figure $((ready - start)) ms (cpu $cpu_start ms), end $((ended - stop)) ms" \
            "(cpu $cpu_end ms), peak rss $rss MB, load $load" >&2
    done
    read -r s smin smax <<<"$(summary "${shown_all[@]}")"
    read -r f fmin fmax <<<"$(summary "${ready_all[@]}")"
    read -r e emin emax <<<"$(summary "${end_all[@]}")"
    read -r r _ _ <<<"$(summary "${rss_all[@]}")"
    read -r cs _ _ <<<"$(summary "${cpus_all[@]}")"
    read -r ce _ _ <<<"$(summary "${cpue_all[@]}")"
    read -r l _ lmax <<<"$(summary "${load_all[@]}")"
    echo "lines=$LINES mb=$MB runs=$RUNS shown_ms=$s figures_ms=$f end_ms=$e rss_mb=$r" \
        "figures_cpu_ms=$cs end_cpu_ms=$ce load=$l load_max=$lmax" \
        "shown_ms_min=$smin shown_ms_max=$smax figures_ms_min=$fmin figures_ms_max=$fmax" \
        "end_ms_min=$emin end_ms_max=$emax"
done
