#!/usr/bin/env bash
# Builds Quorvane and runs every test. Installs what is missing (Debian 12).
source "$(dirname "$0")/common.sh"

# Xvfb and xdotool drive two real copies of the program for the single-copy
# test; mingw-w64 and Wine build and run the Windows platform layer's tests;
# the caption test measures the layout font (Noto Sans Mono CJK SC); clang
# with its runtime runs the fuzz targets.
# dpkg-dev, appstream, man-db and lintian build and check the Debian package;
# LibreOffice Calc writes a workbook as other programs do; qpdf checks the
# book's structure as written (poppler repairs a broken one without a word).
install_packages "${BUILD_PACKAGES[@]}" locales xvfb xdotool g++-mingw-w64-x86-64-posix wine wine64 \
  python3 g++-aarch64-linux-gnu qemu-user fonts-noto-cjk clang libclang-rt-14-dev \
  dpkg-dev appstream man-db groff-base lintian libreoffice-calc-nogui poppler-utils qpdf
# A comma-decimal locale proves the number text ignores the locale; a GBK
# locale proves the report follows the system's code page; Wine takes its
# code page (936) from zh_CN.UTF-8.
ensure_locales "de_DE.UTF-8 UTF-8" "zh_CN.GBK GBK" "zh_CN.UTF-8 UTF-8"
# The test build treats any warning as an error.
build -DQUORVANE_WERROR=ON
cd "$BUILD_DIR"
ctest --output-on-failure --timeout 300
