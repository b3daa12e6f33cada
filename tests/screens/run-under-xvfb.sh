#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs a test program on a screen of its own: run-under-xvfb.sh WIDTHxHEIGHT SCALE PROGRAM [ARGS].
# Xvfb has no panels or title bars, so the screen stands for the inside a desktop leaves a window.
set -euo pipefail
size=$1 scale=$2
shift 2
command -v Xvfb >/dev/null || { echo "Xvfb is missing: bash scripts/deps.sh xvfb xauth" >&2; exit 1; }

exec {fd}<> <(:)
Xvfb -displayfd "$fd" -screen 0 "${size}x24" -dpi 96 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
# Xvfb writes the display number it found free once it accepts clients.
read -r -t 20 -u "$fd" display || { echo "Xvfb did not start" >&2; exit 1; }

DISPLAY=:$display QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$@"
