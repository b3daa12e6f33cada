#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The turnouts window's screenshots: three turnouts, a signal and two routes in the data folder,
# Controller 0 on the emulator, whose decoder 30 cannot be reached. Switched from the window, a
# route set, and a route stopped at the silent decoder; the editor of a turnout. Run by
# screenshots.sh after the build; on its own: SHOT_DISPLAY=n bash this-script.
set -euo pipefail
cd "$(dirname "$0")/.."

out=${SHOT_OUT:-docs/screenshots}
export DISPLAY=:${SHOT_DISPLAY:-95}
export XDG_CONFIG_HOME XDG_DATA_HOME
XDG_CONFIG_HOME=$(mktemp -d)
XDG_DATA_HOME=$(mktemp -d)
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/taktora-screenshots
mkdir -p "$XDG_CONFIG_HOME/KORADIN" "$XDG_DATA_HOME/KORADIN/Taktora"
printf '[Taktora]\nSignalOutputTo=COM3\n' >"$XDG_CONFIG_HOME/KORADIN/KORADIN.conf"
cat >"$XDG_DATA_HOME/KORADIN/Taktora/turnouts.json" <<'JSON'
{"turnouts": [
  {"name": "W12 Bahnhof Einfahrt", "kind": "Weiche", "decoder": 3, "port": 1, "closed": "ein", "phones": true},
  {"name": "W13 Gleis 2", "kind": "Weiche", "decoder": 3, "port": 2, "closed": "ein", "phones": true},
  {"name": "W14 Abstellgleis", "kind": "Weiche", "decoder": 30, "port": 1, "closed": "aus", "phones": true},
  {"name": "A1 Einfahrsignal", "kind": "Signal", "decoder": 4, "port": 1, "closed": "ein", "phones": false}],
 "routes": [
  {"name": "Einfahrt Gleis 2", "steps": [{"turnout": "W12 Bahnhof Einfahrt", "position": "abzweigend"},
                                          {"turnout": "W13 Gleis 2", "position": "gerade"}]},
  {"name": "Abstellgleis", "steps": [{"turnout": "W12 Bahnhof Einfahrt", "position": "gerade"},
                                      {"turnout": "W14 Abstellgleis", "position": "abzweigend"},
                                      {"turnout": "W13 Gleis 2", "position": "abzweigend"}]}],
 "routeGapMs": 100}
JSON

Xvfb "$DISPLAY" -screen 0 1400x900x24 -dpi 96 >/dev/null 2>&1 &
xvfb=$!
build/bin/taktora-sim --register COM3 --controller 0 --failing-accessory 30 >"$XDG_CONFIG_HOME/sim.out" &
sim=$!
cleanup() { kill "${app:-}" "$sim" "$xvfb" 2>/dev/null || true; rm -rf "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"; }
trap cleanup EXIT
sleep 1.5

source scripts/window-area.sh
shot() { sleep "$2"; import -window root -crop "$3" +repage "$out/$1.png"; }
click() { # a control of the turnouts window, by its place in the window
    local x y
    eval "$(xdotool search --onlyvisible --name '^Weichen und Fahrstraßen$' | tail -1 | xargs xdotool getwindowgeometry --shell)"
    xdotool mousemove $((X + $1)) $((Y + $2)) click 1
}

build/bin/taktora &
app=$!
sleep 3.5
xdotool search --name "KORADIN Taktora" windowactivate 2>/dev/null || true
xdotool key alt+p
sleep 1.5
xdotool key F9
sleep 1.5
shot turnouts-window 0.3 "$(area 'Weichen und Fahrstraßen')"
# The route that stops at decoder 30, then the one that goes through.
click "${ROUTE2_X:-700}" "${ROUTE2_Y:-410}"
shot turnouts-route-failed 5 "$(area 'Weichen und Fahrstraßen')"
click "${ROUTE1_X:-700}" "${ROUTE1_Y:-380}"
shot turnouts-route-set 1.5 "$(area 'Weichen und Fahrstraßen')"
xdotool key alt+n
sleep 1.2
shot turnouts-editor 0 "$(area 'Neue Weiche')"
xdotool key Escape
echo "Turnout screenshots in $out"
