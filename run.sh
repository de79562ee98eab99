#!/usr/bin/env bash
# Installs what is missing, builds the release build and starts Quillvane.
set -euo pipefail
cd "$(dirname "$0")"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Quillvane needs a graphical desktop, and no display was found (DISPLAY and WAYLAND_DISPLAY are empty)." >&2
    exit 1
fi

PACKAGES=(qt6-base-dev qt6-svg-dev libgl-dev libcli11-dev qt6-wayland cmake g++ make fonts-dejavu-core fonts-liberation)

source tools/install-packages.sh
install_packages "${PACKAGES[@]}"

BUILD=build/release
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DQUILLVANE_TESTS=OFF -DQUILLVANE_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target quillvane

exec "$BUILD/app/quillvane" "$@"
