#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building and testing Taktora needs on Debian, and nothing when it is all there.
set -euo pipefail

# qt6-translations-l10n: Qt's own dialogs and menus in German, as the program speaks it.
# qt6-httpserver-dev, qt6-websockets-dev: the browser throttle's page and its live line.
packages=(cmake g++ make pkg-config ccache qt6-base-dev qt6-serialport-dev qt6-translations-l10n libavahi-client-dev
          qt6-httpserver-dev qt6-websockets-dev
          "$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
