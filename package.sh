#!/usr/bin/env bash
# Installs what is missing, makes a release build and packs it into
# build/package/quillvane_<version>_<arch>.deb. The release build is the one that
# run.sh uses, so either script reuses what the other built.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(qt6-base-dev qt6-svg-dev libgl-dev libcli11-dev cmake g++ make dpkg-dev file)

source tools/install-packages.sh
install_packages "${PACKAGES[@]}"

BUILD=build/release
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQUILLVANE_TESTS=OFF -DQUILLVANE_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)"
rm -f build/package/quillvane_*.deb
(cd "$BUILD" && cpack -B "$PWD/../package" >/dev/null)
ls build/package/quillvane_*.deb
