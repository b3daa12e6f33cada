#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Configures and builds everything into build/ (executables in build/bin/).
# BUILD_DIR chooses another folder, TARGETS (space-separated) builds only those; further arguments
# go to cmake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${BUILD_DIR:-build}"
launcher=()
# Several checkouts on one machine share compiled objects through ccache when it is there.
if command -v ccache >/dev/null 2>&1; then
    export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(dirname "$PWD")}"
    export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j"${JOBS:-2}" ${TARGETS:+--target $TARGETS}
