#!/usr/bin/env bash
# Installs what the build and the suite need, builds with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs the whole suite through ctest.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-svg-dev libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
    fonts-dejavu-core fonts-liberation
    desktop-file-utils appstream
    dpkg-dev file lintian
    xvfb weston qt6-wayland dbus at-spi2-core python3-pyatspi
    php-cli php-cgi perl default-jdk-headless chromium
    clang libclang-rt-14-dev
)

source tools/install-packages.sh
install_packages "${PACKAGES[@]}"

BUILD=build/asan
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Debug -DQUILLVANE_SANITIZE=ON
cmake --build "$BUILD" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
cd "$BUILD"
ctest --output-on-failure -j"$(nproc)"

# How the test code compares with the program code (non-blank .cpp/.h lines).
cd - >/dev/null
lines() { find "$@" \( -name '*.cpp' -o -name '*.h' \) -exec cat {} + | grep -cv '^\s*$'; }
t=$(lines tests) p=$(lines $(ls -d app convert querystring files platform cli 2>/dev/null))
echo "tests: $t lines, program: $p lines, tests/program: $((100 * t / p)) %"
