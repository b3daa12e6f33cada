#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Taktora and starts it attached to the bundled Controller emulator as COM3.
# The demo keeps its settings in build/demo-config, so your own settings stay as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh

export XDG_CONFIG_HOME="$PWD/build/demo-config"
conf="$XDG_CONFIG_HOME/KORADIN/KORADIN.conf"
if ! grep -qs '^SignalOutputTo=' "$conf"; then
    mkdir -p "$(dirname "$conf")"
    printf '[Taktora]\nSignalOutputTo=COM3\n' >>"$conf"
fi

# Answers as Controller 0 (the number the main window starts with) and as Controller 1.
coproc SIM { exec build/bin/taktora-sim --register COM3 --controller 0,1 "$@"; }
trap 'kill "$SIM_PID" 2>/dev/null || true' EXIT
read -r -t 10 pty <&"${SIM[0]}" || { echo "The emulator did not start." >&2; exit 1; }
echo "Emulator on $pty (COM3). Press \"Prüfen\" in the main window."
build/bin/taktora
