#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Taktora, checks its formatting and runs clang-tidy on it, and runs every test (offscreen,
# with private settings folders; the screen-fit tests start an Xvfb of their own).
set -euo pipefail
cd "$(dirname "$0")/.."
# chromium, chromium-driver, python3-selenium: the browser throttle is tested in a real browser.
bash scripts/deps.sh xvfb xauth chromium chromium-driver python3-selenium
bash scripts/build.sh
# A source clang-format would change, or any clang-tidy finding, fails before the tests run.
bash scripts/lint.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure --timeout 600
# The Debian package as a user receives it, then the licence line in every source file.
bash scripts/package-check.sh
bash scripts/spdx-headers.sh --check
