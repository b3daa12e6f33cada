#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The decoder sheet's screenshots: Controller 0 on an emulator whose decoder lacks CV 19 and
# answers with a decoder's timing, the whole sheet read, then compared with a second loco's
# sheet. Run by screenshots.sh after the build; on its own: SHOT_DISPLAY=n bash this-script.
set -euo pipefail
cd "$(dirname "$0")/.."

out=docs/screenshots
export DISPLAY=:${SHOT_DISPLAY:-98}
export XDG_CONFIG_HOME
XDG_CONFIG_HOME=$(mktemp -d)
mkdir -p "$XDG_CONFIG_HOME/KORADIN"
printf '[Taktora]\nSignalOutputTo=COM3\n' >"$XDG_CONFIG_HOME/KORADIN/KORADIN.conf"
# The second loco: a little faster, braking later, another address.
printf 'CV,Name,Wert,Status\n1,Basisadresse,4,gelesen\n2,Anfahrspannung,4,gelesen\n3,Beschleunigung,18,gelesen
4,Bremsverzögerung,20,gelesen\n5,Höchstgeschwindigkeit,220,gelesen\n6,Mittengeschwindigkeit,90,gelesen
7,Versionsnummer,42,gelesen\n8,Herstellerkennung (Doehler & Haass),97,gelesen\n17,,199,gelesen\n18,,31,gelesen
19,Mehrfachtraktion,0,gelesen\n29,Konfiguration,38,gelesen\n' >"$XDG_CONFIG_HOME/lok2.csv"

Xvfb "$DISPLAY" -screen 0 1400x900x24 -dpi 96 >/dev/null 2>&1 &
xvfb=$!
build/bin/taktora-sim --register COM3 --controller 0 --verify-ms 35,145 --missing-cv 19 \
    --cv 2=4,3=18,4=14,5=200,6=90,8=97,17=199,18=31,29=38 >"$XDG_CONFIG_HOME/sim.out" &
sim=$!
cleanup() { kill "${app:-}" "$sim" "$xvfb" 2>/dev/null || true; rm -rf "$XDG_CONFIG_HOME"; }
trap cleanup EXIT
sleep 1.5

source scripts/window-area.sh
shot() { sleep "$2"; import -window root -crop "$(area "$sheet")" +repage "$out/$1.png"; }

build/bin/taktora &
app=$!
sleep 3.5
xdotool search --name "KORADIN Taktora" windowactivate 2>/dev/null || true
xdotool key alt+p
sleep 1.5
# The toolbar's last button: the decoder sheet.
xdotool mousemove "${SHEET_BUTTON_X:-276}" 22 click 1
sleep 1.5
sheet="Decoder-Datenblatt .Controller 0."
xdotool key alt+a
shot decodersheet-read 13
xdotool key alt+v
sleep 1.5
xdotool type "$XDG_CONFIG_HOME/lok2.csv"
xdotool key Return
shot decodersheet-compare 1.5
xdotool key Escape
echo "Decoder sheet screenshots in $out"
