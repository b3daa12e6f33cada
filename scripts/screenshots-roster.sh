#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The loco roster's screenshots: a roster of two JMRI locos in the data folder, Controller 0 on
# the emulator with five locos; the throttles with names and labels, the loco list opened, and the
# roster window. Run by screenshots.sh after the build; on its own: SHOT_DISPLAY=n bash this-script.
set -euo pipefail
cd "$(dirname "$0")/.."

out=docs/screenshots
export DISPLAY=:${SHOT_DISPLAY:-96}
export XDG_CONFIG_HOME XDG_DATA_HOME
XDG_CONFIG_HOME=$(mktemp -d)
XDG_DATA_HOME=$(mktemp -d)
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/taktora-screenshots
mkdir -p "$XDG_CONFIG_HOME/KORADIN" "$XDG_DATA_HOME/KORADIN/Taktora/roster"
printf '[Taktora]\nSignalOutputTo=COM3\nSlider00=218\nSlider01=3\nSlider02=12\nSlider03=5\n' \
    >"$XDG_CONFIG_HOME/KORADIN/KORADIN.conf"
# Two locos as JMRI writes them (the test roster's good files) and an index naming them.
cp tests/roster/data/roster/BR_218.xml tests/roster/data/roster/V_100.xml "$XDG_DATA_HOME/KORADIN/Taktora/roster/"
printf '<?xml version="1.0" encoding="UTF-8"?>\n<roster-config><roster>
<locomotive id="BR 218" fileName="BR_218.xml" dccAddress="218"/>
<locomotive id="V 100" fileName="V_100.xml" dccAddress="3"/>
</roster></roster-config>\n' >"$XDG_DATA_HOME/KORADIN/Taktora/roster.xml"

Xvfb "$DISPLAY" -screen 0 1400x900x24 -dpi 96 >/dev/null 2>&1 &
xvfb=$!
build/bin/taktora-sim --register COM3 --controller 0 --locos "3:28,218:126,12:14,5:28,44:28" \
    >"$XDG_CONFIG_HOME/sim.out" &
sim=$!
cleanup() { kill "${app:-}" "$sim" "$xvfb" 2>/dev/null || true; rm -rf "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"; }
trap cleanup EXIT
sleep 1.5

source scripts/window-area.sh
shot() { sleep "$2"; import -window root -crop "$3" +repage "$out/$1.png"; }

build/bin/taktora &
app=$!
sleep 3.5
xdotool search --name "KORADIN Taktora" windowactivate 2>/dev/null || true
xdotool key alt+p
sleep 1.5
# Throttle 0's loco list, opened: the names behind the numbers.
xdotool mousemove 230 144 click 1
shot roster-throttles 1.2 "760x470+0+92"
xdotool key Escape
sleep 0.4
# The roster window from its key, the first loco chosen with its functions.
xdotool key F8
sleep 1.5
shot roster-window 0.5 "$(area Lok-Roster)"
xdotool key Escape
echo "Roster screenshots in $out"
