#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes the README's screenshots of the real program under Xvfb, attached to the emulator.
# Coordinates are those of the window at the top left of a 1400x900 screen without a window
# manager; look at the results after layout changes.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh xvfb xauth xdotool imagemagick
bash scripts/build.sh

out=docs/screenshots
mkdir -p "$out"
export DISPLAY=:${SHOT_DISPLAY:-97}
export XDG_CONFIG_HOME
XDG_CONFIG_HOME=$(mktemp -d)
# No system bus: the phone server announces nothing on the network while the shots are taken.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/taktora-screenshots
mkdir -p "$XDG_CONFIG_HOME/KORADIN"
# An older traffic file where the monitor's save dialog opens.
mkdir -p "$XDG_CONFIG_HOME/Verkehr"
echo older >"$XDG_CONFIG_HOME/Verkehr/verkehr.csv"
printf '[Taktora]\nSignalOutputTo=COM3\nSlider00=3\nSlider01=1000\nSlider02=7\nSlider03=5\nWiThrottleDevices=maria-1\nTrafficFolder=%s\n' \
    "$XDG_CONFIG_HOME/Verkehr" >"$XDG_CONFIG_HOME/KORADIN/KORADIN.conf"

Xvfb "$DISPLAY" -screen 0 1400x900x24 -dpi 96 >/dev/null 2>&1 &
xvfb=$!
# A dozen locos for the loco list; the four the throttles show keep their speed steps.
coproc SIM {
    exec build/bin/taktora-sim --register COM3 --controller 0,1 \
        --locos "3:28,1000:126,7:14,5:28,44:28,218:126,12:14,2001:28,81:126,150:28,10239:126,64:28" \
        --verify-ms 35,145 --write-ms 60 --cv 29=38,17=199,18=31,8=200 --link "$XDG_CONFIG_HOME/ttyTaktora"
}
cleanup() { kill "${app:-}" "$SIM_PID" "$xvfb" 2>/dev/null || true; rm -rf "$XDG_CONFIG_HOME"; }
trap cleanup EXIT
read -r -t 10 _ <&"${SIM[0]}"
sleep 1

shot() { sleep "${2:-0.8}"; import -window root -crop "${CROP:-1400x900+0+0}" +repage "$out/$1.png"; }
source scripts/window-area.sh
# The area that two top-level windows cover together.
union() {
    local a b
    a=$(area "$1")
    b=$(area "$2")
    awk -v a="$a" -v b="$b" 'BEGIN {
        split(a, p, /[x+]/); split(b, q, /[x+]/)
        x = p[3] < q[3] ? p[3] : q[3]; y = p[4] < q[4] ? p[4] : q[4]
        r = p[3] + p[1] > q[3] + q[1] ? p[3] + p[1] : q[3] + q[1]
        s = p[4] + p[2] > q[4] + q[2] ? p[4] + p[2] : q[4] + q[2]
        printf "%dx%d+%d+%d", r - x, s - y, x, y }'
}
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.4; }
drag() { xdotool mousemove "$1" "$2" mousedown 1 mousemove "$1" $(( ($2 + $3) / 2 )) mousemove "$1" "$3" mouseup 1; sleep 0.4; }

build/bin/taktora &
app=$!
sleep 0.8
sleep 0.4
CROP=$(area Info) shot splash 0.1
sleep 2.5
CROP=$(area "KORADIN Taktora")
shot main-before-check
xdotool search --name "KORADIN Taktora" windowactivate 2>/dev/null || true
xdotool key alt+p
shot main-after-check 1.5

# Drive: throttle 0 at about two thirds, light on, F1 and F3; throttle 1 slow, light on;
# load circuit raised.
drag 101 548 220
click 153 592
click 214 175
click 214 223
drag 352 548 450
click 404 592
click 213 703
shot main-driving 1

# The keyboard drives throttle 2 (loco 7): chosen with Ctrl+3, which marks it, then 42 steps
# faster, light and F2 on.
xdotool key ctrl+3 Prior Prior Prior Prior Up Up ctrl+l ctrl+F2
shot main-keyboard-throttle 1

# A window is closed with its own Escape, the newest of a title first (a question before the
# dialog that asked it); the main window gets the keys again. Without a window manager the keys
# go where the focus was put, so each window is given it by name.
close_window() {
    for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tac); do
        xdotool windowfocus --sync "$id" key Escape
        sleep 0.3
    done
    sleep 0.6
    xdotool windowfocus --sync "$(xdotool search --onlyvisible --name "^KORADIN Taktora\$" | tail -1)"
    sleep 0.6
}

# The traffic monitor, opened from its toolbar button, lists what a few clicks on the dashboard
# send: throttle 0's light off and its STOP, then the load circuit button.
click 198 22
sleep 1
click 153 592
click 130 641
click 213 703
CROP=$(area Datenverkehr) shot monitor-driving 1
# Its save dialog with "verkehr" typed where verkehr.csv exists: the suffix is added and the
# dialog asks before replacing.
read -r w h x y < <(area Datenverkehr | tr 'x+' '  '; echo)
click $((x + w - 70)) $((y + 21))
sleep 0.8
xdotool type --delay 40 verkehr
xdotool key Return
CROP=$(xdotool search --onlyvisible --name "^Datenverkehr speichern\$" | head -1 |
    xargs xdotool getwindowgeometry --shell | awk -F= '{v[$1]=$2} END {printf "%sx%s+%s+%s", v["WIDTH"], v["HEIGHT"], v["X"], v["Y"]}') \
    shot monitor-save-dialog 1
close_window "Datenverkehr speichern"
close_window Datenverkehr

# The phone throttles' dialog, switched on from its toolbar button, with two phones on this
# computer: the approved one drives loco 3 at half speed with its light on, the other is new and
# waits for approval, which the status bar shows in bold.
click 236 22
sleep 1
xdotool key alt+e
sleep 1
exec 3<>/dev/tcp/127.0.0.1/12090 4<>/dev/tcp/127.0.0.1/12090
printf 'NMarias Handy\nHUmaria-1\nMT+S3<;>S3\nMTAS3<;>V63\nMTAS3<;>F10\n' >&3
printf 'NWerkstatt-Tablet\nHUtablet-2\nMT+L1000<;>L1000\n' >&4
CROP=$(area "Handregler per Smartphone") shot phones-dialog 1.5
read -r w h x y < <(area "KORADIN Taktora" | tr 'x+' '  '; echo)
CROP="600x34+${x}+$((y + h - 34))" shot main-phone-waiting 0
exec 3>&- 4>&- # the phones go: their locos stop
# The browser throttle's dialog from its button there, switched on: the address to open.
xdotool key alt+b
sleep 1
xdotool key alt+b
CROP=$(area "Handregler im Browser") shot web-dialog 1
close_window "Handregler im Browser"
close_window "Handregler per Smartphone"

# The Controller settings dialog, read-only, then editable after the warning is answered Yes.
xdotool key alt+e
sleep 1.2
dialog=$(area "Controller-Einstellungen .*")
CROP=$dialog shot settings-readonly 0
read -r _ h x y < <(echo "$dialog" | tr 'x+' '  ')
click $((x + 40)) $((y + h - 22)) # Einstellungen ändern
xdotool key alt+j # "&Ja"
CROP=$dialog shot settings-edit 0.6
close_window "Controller-Einstellungen .*"

xdotool mousemove 23 22 click 1
sleep 1.2
CROP=$(area Einstellungen) shot options-dialog 0
close_window Einstellungen
xdotool mousemove 105 22 click 1
sleep 1.2
CROP=$(area Info) shot about-box 0
xdotool key space
sleep 0.6

# The loco list of Controller 0: as it opens (sorted, scrolled to the last loco), after a click on
# the speed steps of loco 1000, and while the input dialog of "Lokeintrag hinzufügen" asks. The
# options dialog asked for a new check first.
click 214 76
sleep 1.5
click 880 703
sleep 1.5
locos="Lok-Konfiguration / Programmierung .Controller 0."  # a title pattern: "." for each bracket
CROP=$(area "$locos") shot locolist 0
eval "$(xdotool getwindowgeometry --shell "$(xdotool search --onlyvisible --name "^$locos\$" | tail -1)")"
click $((X + 105)) $((Y + 187))
CROP=$(area "$locos") shot locolist-node 0
click $((X + 76)) $((Y + 325))
xdotool type 300
CROP=$(union "$locos" "Lok-Nummer") shot locolist-input 0.6
xdotool key Escape
sleep 0.4

# The programming tab in its three modes, during a register search with the decoder's timing
# (register 8 holds 200, so the search runs for half a minute until "Abbruch"), and after
# recognising the decoder's long address 1823 (CV 17 = 199, CV 18 = 31), which the loco list
# then holds as well.
click $((X + 200)) $((Y + 21))
CROP=$(area "$locos") shot programming-cv 0.2
click $((X + 42)) $((Y + 139))
CROP=$(area "$locos") shot programming-bit 0.2
click $((X + 42)) $((Y + 165))
CROP=$(area "$locos") shot programming-register 0.2
xdotool mousemove $((X + 222)) $((Y + 113)) click --repeat 3 1
xdotool key ctrl+a
xdotool type 8
click $((X + 337)) $((Y + 165))
CROP=$(area "$locos") shot programming-reading 5
click $((X + 337)) $((Y + 196))
sleep 0.6
click $((X + 337)) $((Y + 285))
CROP=$(area "$locos") shot programming-recognised 4
xdotool key Escape
sleep 0.6

# The cable is pulled: the port error once, then the status bar marks the port, shown with its
# tooltip (the window moved to the screen's bottom, so that the tooltip opens above the cursor);
# when the cable is back, the check area asks for a new check.
kill -USR1 "$SIM_PID"
sleep 1.5
xdotool key Return
sleep 0.5
read -r w h _ _ < <(area "KORADIN Taktora" | tr 'x+' '  '; echo)
xdotool windowmove "$(xdotool search --onlyvisible --name "^KORADIN Taktora\$" | tail -1)" 0 $((900 - h))
sleep 0.5
read -r w h x y < <(area "KORADIN Taktora" | tr 'x+' '  '; echo)
xdotool mousemove $((x + 600)) $((y + 300)) click 1
sleep 0.5
xdotool mousemove $((x + 820)) $((y + h - 12)) sleep 0.3 mousemove $((x + 826)) $((y + h - 10))
CROP="$((w - 560))x110+$((x + 560))+$((y + h - 110))" shot main-port-lost 1.8
xdotool mousemove $((x + 600)) $((y + 300))
kill -USR2 "$SIM_PID"
CROP="800x90+${x}+${y}" shot main-port-back 1.5
kill "$app" 2>/dev/null || true
wait "$app" 2>/dev/null || true

# The program alone on a screen of its own (size, scale), then the picture: "checked" presses
# "Prüfen" and takes the whole screen, "splash" takes the about box shown at start-up.
own_screen() {
    local name=$1 size=$2 scale=$3 display=:$4 what=$5
    Xvfb "$display" -screen 0 "${size}x24" -dpi 96 >/dev/null 2>&1 &
    local screen=$!
    sleep 1
    DISPLAY=$display QT_SCALE_FACTOR=$scale build/bin/taktora &
    app=$!
    if [ "$what" = checked ]; then
        sleep 3.5
        DISPLAY=$display xdotool search --name "KORADIN Taktora" windowactivate 2>/dev/null || true
        DISPLAY=$display xdotool key alt+p
        sleep 1.5
        DISPLAY=$display import -window root "$out/$name.png"
    else
        sleep 1.2
        DISPLAY=$display import -window root -crop "$(DISPLAY=$display area Info)" +repage "$out/$name.png"
    fi
    kill "$app" "$screen" 2>/dev/null || true
    wait "$app" "$screen" 2>/dev/null || true
}
SHOT_DISPLAY=$((${DISPLAY#:} + 2)) bash scripts/screenshots-decodersheet.sh
SHOT_DISPLAY=$((${DISPLAY#:} + 3)) bash scripts/screenshots-roster.sh
SHOT_DISPLAY=$((${DISPLAY#:} + 4)) bash scripts/screenshots-turnouts.sh
# The checked main window on the inside a desktop leaves a window on a 1366 x 768 laptop, on a
# 1920 x 1080 one at 150 % and on a 1024 x 600 netbook; the start-up splash, the about box, on a
# 3840 x 2160 screen at 200 %, cut to the box.
own_screen main-1366x768 1366x698 1 $((${DISPLAY#:} + 1)) checked
own_screen main-150-percent 1920x1010 1.5 $((${DISPLAY#:} + 1)) checked
own_screen main-1024x600 1024x600 1 $((${DISPLAY#:} + 1)) checked
own_screen about-200-percent 3840x2020 2 $((${DISPLAY#:} + 1)) splash
echo "Screenshots in $out"
