# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the screenshot scripts: the area of the newest visible top-level window whose title
# matches the pattern, as WIDTHxHEIGHT+X+Y, for import's -crop.
area() {
    local id
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1)
    xdotool getwindowgeometry --shell "$id" | awk -F= '{v[$1]=$2} END {printf "%sx%s+%s+%s", v["WIDTH"], v["HEIGHT"], v["X"], v["Y"]}'
}
