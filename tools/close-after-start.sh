#!/usr/bin/env bash
# Closes a fresh program through the window manager about a second after its window appears, RUNS
# times in a row, each in a new portable folder, and counts the runs that did not end within 10 s.
# Needs a display with a window manager (the demo's Xvfb, then openbox; `wmctrl -m` must answer).
#
#   DISPLAY=:99 tools/close-after-start.sh build/vorlith [RUNS]
set -euo pipefail
program=$(realpath "$1")
runs=${2:-50}
lost=0
for ((i = 1; i <= runs; i++)); do
    folder=$(mktemp -d)
    cp "$program" "$folder/vorlith"
    "$folder/vorlith" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 100); do
        wmctrl -lp | awk -v pid="$pid" '$3 == pid' | grep -q . && break
        sleep 0.05
    done
    sleep 1
    wmctrl -ic "$(wmctrl -lp | awk -v pid="$pid" '$3 == pid {print $1; exit}')" || true
    ended=no
    for _ in $(seq 200); do
        if ! kill -0 "$pid" 2>/dev/null; then ended=yes; break; fi
        sleep 0.05
    done
    if [ "$ended" = no ]; then
        lost=$((lost + 1))
        echo "run $i: still running 10 s after the close"
        kill -9 "$pid" 2>/dev/null || true
    fi
    wait "$pid" 2>/dev/null || true
    rm -rf "$folder"
done
echo "$((runs - lost)) of $runs runs ended after the close"
[ "$lost" -eq 0 ]
