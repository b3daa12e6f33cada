#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the whole tree with AddressSanitizer and UndefinedBehaviorSanitizer (clang) into
# build-asan/ and runs every test there. The first report of either ends the test process, so
# any finding fails the run. The same build holds the fuzz targets (scripts/fuzz.sh).
#   scripts/sanitize.sh [--build-only] [ctest arguments]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh clang libclang-rt-dev
# Line tables are all a report needs; full debug information would double the build time.
# Warnings are errors here: clang warns of things GCC lets pass, and nobody reads CI logs for them.
BUILD_DIR=build-asan bash scripts/build.sh -DCMAKE_CXX_COMPILER=clang++ -DTAKTORA_SANITIZE=ON \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only -DNDEBUG"
[ "${1:-}" = "--build-only" ] && exit 0
export QT_QPA_PLATFORM=offscreen
source scripts/sanitizer-env.sh
# The normal build soaks 10,000 exchanges; under the sanitizers a shorter soak still walks every
# window and fault kind at a fraction of the time.
export TAKTORA_SOAK_EXCHANGES="${TAKTORA_SOAK_EXCHANGES:-3000}"
ctest --test-dir build-asan --output-on-failure --timeout 900 "$@"
