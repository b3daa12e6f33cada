#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package build/taktora_<version>_<arch>.deb: the program, its koradin link,
# taktora-sim, the manual, menu entry, icons and AppStream data, stripped, with the dependencies
# dpkg-shlibdeps finds in the binaries. Install it with: sudo apt install ./build/taktora_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh dpkg-dev file
# Only what goes into the package; cpack then packs it without a second pass over every target.
TARGETS="taktora taktora-sim taktora_manual_pdf" bash scripts/build.sh -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
version=$(sed -n 's/^project(Taktora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
deb="build/taktora_${version}_$(dpkg --print-architecture).deb"
rm -f "$deb"
(cd build && cpack -G DEB >cpack.log 2>&1) || { cat build/cpack.log >&2; exit 1; }
[ -f "$deb" ] || { echo "cpack made no $deb" >&2; cat build/cpack.log >&2; exit 1; }
echo "$deb"
