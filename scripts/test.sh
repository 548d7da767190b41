#!/usr/bin/env bash
# Builds Quorvane and runs every test. Installs what is missing (Debian 12).
source "$(dirname "$0")/common.sh"

# Xvfb and xdotool drive two real copies of the program for the single-copy test.
install_packages "${BUILD_PACKAGES[@]}" locales xvfb xdotool
# A comma-decimal locale proves the number text ignores the locale; a GBK
# locale proves the report follows the system's code page.
ensure_locales "de_DE.UTF-8 UTF-8" "zh_CN.GBK GBK"
build
cd "$BUILD_DIR"
ctest --output-on-failure --timeout 300
