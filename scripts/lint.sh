#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Fails on a source file that clang-format would change, then on any clang-tidy finding
# (.clang-tidy) in the program's sources: every library, the program and the emulator. Needs
# the compile commands of a build in build/ (scripts/build.sh).
#   scripts/lint.sh [--format-only]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh clang-format clang-tidy

echo "== clang-format"
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
[ "${1:-}" = "--format-only" ] && exit 0

echo "== clang-tidy"
dirs="link|gui|roster|turnouts|web|input|about|options|monitor|withrottle|dashboard|locos|programming|decodersheet|settings|sim|app"
[ -f build/compile_commands.json ] || { echo "no build/compile_commands.json: run scripts/build.sh" >&2; exit 1; }
# The quiet run prints only findings (in colour, whatever the output); their check names say what
# to fix.
run-clang-tidy -p build -j "${JOBS:-2}" -quiet "^$PWD/($dirs)/[^/]*\.cpp\$" >build/clang-tidy.log 2>&1 || status=$?
sed 's/\x1b\[[0-9;]*m//g' build/clang-tidy.log | grep -E 'warning:|error:' | sort -u || true
if [ "${status:-0}" -ne 0 ]; then
    echo "clang-tidy found something (whole output in build/clang-tidy.log)" >&2
    exit 1
fi
echo "clang-tidy: no findings"
