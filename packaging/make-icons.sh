#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Renders the program's icon at the sizes of the hicolor theme into packaging/icons/ (run after
# the icon changes; the PNGs are committed, so building needs no ImageMagick).
set -euo pipefail
cd "$(dirname "$0")/.."
source=dashboard/icons/taktora_256.png
for size in 16 22 24 32 48 64 128 256; do
    convert "$source" -filter Lanczos -resize "${size}x${size}" -strip "PNG32:packaging/icons/taktora_${size}.png"
done
