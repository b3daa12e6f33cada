#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Gives every source file of the project the licence line as its first line (after a shebang):
# "// SPDX-License-Identifier: GPL-3.0-or-later" in C++, the "#" form in CMake and shell files.
# Running it again changes nothing. With --check it changes nothing and fails naming each file
# without the line.
set -euo pipefail
cd "$(dirname "$0")/.."
check=false
[ "${1:-}" = "--check" ] && check=true
tag="SPDX-License-Identifier: GPL-3.0-or-later"

# Tracked files and new ones not yet added, without the ignored build folders.
files() {
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files --cached --others --exclude-standard
    else
        find . -path './build*' -prune -o -type f -print | sed 's|^\./||'
    fi | grep -E '(\.(cpp|h|h\.in|cmake|sh)|(^|/)CMakeLists\.txt)$' | sort -u
}

missing=0
while IFS= read -r f; do
    [ -f "$f" ] || continue # deleted but still in the index
    case "$f" in
    *.cpp | *.h | *.h.in) line="// $tag" ;;
    *) line="# $tag" ;;
    esac
    first="" second=""
    { IFS= read -r first && IFS= read -r second; } <"$f" || true
    if [[ "$first" == '#!'* ]]; then
        [ "$second" = "$line" ] && continue
    else
        [ "$first" = "$line" ] && continue
    fi
    if $check; then
        echo "no licence line: $f" >&2
        missing=$((missing + 1))
    elif [[ "$first" == '#!'* ]]; then
        sed -i "1a $line" "$f"
    else
        sed -i "1i $line" "$f"
    fi
done < <(files)
if [ "$missing" -gt 0 ]; then
    echo "$missing file(s) without \"$tag\"; scripts/spdx-headers.sh adds it." >&2
    exit 1
fi
