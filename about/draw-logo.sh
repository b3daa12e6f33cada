#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Draws the about box's logo at a whole-number scale from its parts, for screens scaled to more
# than 100 %: draw-logo.sh SCALE OUT.png (about/logo@2x.png is drawn with SCALE 2). The
# background's colour run comes from the 100 % logo itself (a smooth gradient keeps its sharpness
# when stretched); wheel, track and lettering are drawn anew at the scale.
set -euo pipefail
s=$1 out=$(realpath -m "$2")
cd "$(dirname "$0")"
fonts=/usr/share/fonts/truetype/dejavu
w=$((491 * s)) h=$((85 * s))
# n: a length of the 100 % logo at the scale; p: a point, where pixel centres lie at whole numbers.
n() { awk -v v="$1" -v s="$s" 'BEGIN { printf "%g", v * s }'; }
p() { awk -v v="$1" -v s="$s" 'BEGIN { printf "%g", (v + 0.5) * s - 0.5 }'; }

# The track: sleepers every 11 pixels under two rails, each rail two pixels high.
track="fill rgba(200,210,220,0.195)"
for x in $(seq -4 11 491); do
    track+=" rectangle $((x * s)),$((67 * s)) $(((x + 5) * s - 1)),$((82 * s - 1))"
done
track+=" fill rgba(220,235,255,0.535) rectangle 0,$((69 * s)) $w,$((71 * s - 1))"
track+=" rectangle 0,$((78 * s)) $w,$((80 * s - 1))"

# The wheel, centred at (45.5, 40.5): a gold rim, lighter above, ten spokes and a hub.
cx=$(p 45.5) cy=$(p 40.5)
rim="fill white circle $(n 27),$(n 27) $(n 27),0"
wheel="stroke none fill rgb(12,40,78) circle $cx,$cy $cx,$(awk -v c="$cy" -v r="$(n 21.5)" 'BEGIN { print c - r }')"
wheel+=" stroke rgb(255,214,102) stroke-width $(n 2)"
for k in $(seq 0 9); do
    wheel+=" $(awk -v k="$k" -v cx="$cx" -v cy="$cy" -v r="$(n 21.5)" 'BEGIN { a = (-6 + 36 * k) * atan2(0, -1) / 180
        printf "line %g,%g %g,%g", cx, cy, cx + r * sin(a), cy - r * cos(a) }')"
done
wheel+=" stroke none fill rgb(255,214,102) circle $cx,$cy $cx,$(awk -v c="$cy" -v r="$(n 5)" 'BEGIN { print c - r }')"
wheel+=" fill rgb(12,40,78) circle $cx,$cy $cx,$(awk -v c="$cy" -v r="$(n 2.2)" 'BEGIN { print c - r }')"

convert logo.png -crop 491x1+0+5 +repage -filter Triangle -resize "${w}x${h}!" \
    -draw "$track" \
    -draw "fill rgba(0,0,0,0.4) circle $(p 46),$(p 41.2) $(p 46),$(p 13.8)" \
    \( -size "$(n 54)x$(n 54)" gradient:'rgb(246,190,72)-rgb(235,160,34)' -alpha set \
       \( -size "$(n 54)x$(n 54)" xc:none -draw "$rim" \) -compose DstIn -composite \) \
    -geometry +"$(n 18.5)"+"$(n 13.5)" -compose over -composite \
    -draw "$wheel" \
    -font "$fonts/DejaVuSans-Bold.ttf" -pointsize "$(n 11)" -kerning "$(n 3.3)" -fill 'rgb(242,194,86)' \
    -annotate +"$(n 95)"+"$(n 26)" 'KORADIN' \
    -font "$fonts/DejaVuSansCondensed-Bold.ttf" -pointsize "$(n 36.5)" -kerning 0 \
    -fill 'rgba(0,10,30,0.55)' -annotate +"$(n 94.5)"+"$(n 61.5)" 'Taktora' \
    -fill white -annotate +"$(n 92.5)"+"$(n 60)" 'Taktora' \
    -gravity NorthEast \
    -font "$fonts/DejaVuSansCondensed-Oblique.ttf" -pointsize "$(n 12.5)" -fill 'rgb(200,222,242)' \
    -annotate +"$(n 16)"+"$(n 24)" 'Digitale Modellbahnsteuerung' \
    -font "$fonts/DejaVuSans.ttf" -pointsize "$(n 10.6)" -kerning "$(n 1.1)" -fill 'rgb(240,196,96)' \
    -annotate +"$(n 18)"+"$(n 43)" 'DCC · USB · Programmiergleis' \
    "$out"
