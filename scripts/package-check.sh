#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package as a user receives it: the menu entry and the AppStream data validate,
# lintian reports no error, and the package unpacked into a temporary root starts offscreen against
# its own taktora-sim, passes the Controller check and finds its manual (the buttons are pressed by
# tests/package/SmokeDriver.cpp, preloaded into the unpacked program).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh lintian desktop-file-utils appstream
deb=$(bash scripts/package.sh | tail -n 1)
driver="$PWD/build/tests/bin/libtaktora_smoke_driver.so"
[ -f "$driver" ] || cmake --build build --target taktora_smoke_driver >/dev/null

root=$(mktemp -d)
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; fi
    rm -rf "$root"
}
trap cleanup EXIT
dpkg -x "$deb" "$root"
echo "== $deb: $(du -k "$deb" | cut -f1) KiB"
dpkg-deb -f "$deb" Depends
# Qt's file dialogs and menus speak German only with Qt's translation installed.
dpkg-deb -f "$deb" Depends | grep -qw qt6-translations-l10n || { echo "no dependency on qt6-translations-l10n" >&2; exit 1; }

echo "== desktop-file-validate, appstreamcli validate"
desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml

echo "== lintian"
lintian --fail-on error --info "$deb" || { echo "lintian found errors" >&2; exit 1; }

echo "== the unpacked program against its emulator"
[ "$(readlink "$root/usr/bin/koradin")" = taktora ] || { echo "no koradin link to taktora" >&2; exit 1; }
export XDG_CONFIG_HOME="$root/config" QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME/KORADIN"
printf '[Taktora]\nSignalOutputTo=COM3\n' >"$XDG_CONFIG_HOME/KORADIN/KORADIN.conf"
coproc SIM { exec "$root/usr/bin/taktora-sim" --register COM3 --controller 0,1; }
sim_pid=$SIM_PID
read -r -t 10 pty <&"${SIM[0]}" || { echo "taktora-sim did not start" >&2; exit 1; }
# The program hands the manual to xdg-open where there is one (a browser installed for the tests
# brings it along); without one on the PATH it goes through Qt's URL handlers, where the driver
# takes it.
out=$(LD_PRELOAD="$driver" timeout 60 env PATH="$root/usr/bin" "$root/usr/bin/taktora" 2>&1) ||
    { echo "$out" >&2; exit 1; }
grep '^smoke:' <<<"$out"
manual="$root/usr/share/doc/taktora/Handbuch_Taktora.pdf"
grep -qF "manual $manual" <<<"$out" || { echo "the program did not open $manual" >&2; exit 1; }
echo "package check passed (emulator on $pty)"
