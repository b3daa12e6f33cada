#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What the program costs while nobody touches it, with its port connected and with the cable
# pulled (the device watch waiting for it to come back). The real program under Xvfb against the
# emulator, checked once; then SECONDS (default 60) of idle each. CPU time from the scheduler's own
# account of every thread (nanoseconds), the kernel's utime+stime in clock ticks, and wake-ups
# (context switches) over that span.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
export DISPLAY=:${IDLE_DISPLAY:-98}
export XDG_CONFIG_HOME
XDG_CONFIG_HOME=$(mktemp -d)
mkdir -p "$XDG_CONFIG_HOME/KORADIN"
printf '[Taktora]\nSignalOutputTo=COM3\n' >"$XDG_CONFIG_HOME/KORADIN/KORADIN.conf"

Xvfb "$DISPLAY" -screen 0 1400x900x24 -dpi 96 >/dev/null 2>&1 &
xvfb=$!
coproc SIM { exec build/bin/taktora-sim --register COM3 --controller 0,1 --link "$XDG_CONFIG_HOME/ttyTaktora"; }
cleanup() { kill "${app:-}" "$SIM_PID" "$xvfb" 2>/dev/null || true; rm -rf "$XDG_CONFIG_HOME"; }
trap cleanup EXIT
read -r -t 10 _ <&"${SIM[0]}"
sleep 1
"${TAKTORA:-build/bin/taktora}" &
app=$!
sleep 4
xdotool search --name "KORADIN Taktora" windowactivate 2>/dev/null || true
xdotool key alt+p
sleep 3

# CPU nanoseconds of all threads, utime+stime ticks, context switches.
sample() {
    local ns=0 sw=0 t
    for t in /proc/"$app"/task/*; do
        ns=$((ns + $(cut -d' ' -f1 "$t/schedstat")))
        sw=$((sw + $(awk '/ctxt_switches/ {s += $2} END {print s}' "$t/status")))
    done
    echo "$ns $(awk '{print $14 + $15}' /proc/"$app"/stat) $sw"
}
measure() {
    local a b
    a=$(sample)
    sleep "$seconds"
    b=$(sample)
    read -r n0 t0 s0 <<<"$a"
    read -r n1 t1 s1 <<<"$b"
    printf '%-22s %8.2f ms CPU  %3d ticks (utime+stime)  %5d wake-ups  in %d s\n' "$1" \
        "$(echo "($n1 - $n0) / 1000000" | bc -l)" $((t1 - t0)) $((s1 - s0)) "$seconds"
}
measure "connected, checked:"
kill -USR1 "$SIM_PID" # the cable goes; the program says so once
sleep 2
xdotool key Return
sleep 2
measure "cable pulled:"
kill -USR2 "$SIM_PID"
sleep 2
measure "cable back:"
