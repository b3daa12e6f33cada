#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every libFuzzer target of tests/fuzz for SECONDS each (default 60), starting from its seed
# corpus, and prints one line per target: executions, seed inputs, inputs found worth keeping.
# New inputs stay in build-asan/fuzz-corpus/; a crashing input is left in build-asan/fuzz-findings/
# and the run fails. Copy it into tests/fuzz/corpus/<target>/ once the fault is fixed.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
bash scripts/sanitize.sh --build-only >&2 # the table alone goes to stdout
source scripts/sanitizer-env.sh
export QT_QPA_PLATFORM=offscreen
# Leaks are the sanitizer build's tests' business; libFuzzer's own check would stop at Qt's caches.
export ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0"
mkdir -p build-asan/fuzz-findings
status=0
printf '%-20s %8s %12s %6s %6s\n' target seconds executions seeds kept
for target in build-asan/fuzz/fuzz_*; do
    name="$(basename "$target")"
    work="build-asan/fuzz-corpus/$name"
    mkdir -p "$work"
    log="build-asan/fuzz-findings/$name.log"
    if ! "$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="build-asan/fuzz-findings/$name-" "$work" "tests/fuzz/corpus/$name" >"$log" 2>&1; then
        echo "$name: FINDING, see $log and build-asan/fuzz-findings/" >&2
        tail -n 40 "$log" >&2
        status=1
        continue
    fi
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    printf '%-20s %8s %12s %6s %6s\n' "$name" "$seconds" "${runs:-?}" \
        "$(find "tests/fuzz/corpus/$name" -type f | wc -l)" "$(find "$work" -type f | wc -l)"
done
exit "$status"
