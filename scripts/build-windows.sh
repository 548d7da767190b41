#!/usr/bin/env bash
# Builds the Windows program on Debian: a static Qt cross-compiled from
# Debian's qt6-base source (cached outside the checkout), then quorvane.exe
# and quorvane-calc.exe, packaged into dist/ as a zip and an installer.
#   bash scripts/build-windows.sh            everything
#   bash scripts/build-windows.sh --qt-only  just the cached Qt
source "$(dirname "$0")/common.sh"
source "$ROOT/scripts/windows/qt.sh"

install_packages "${BUILD_PACKAGES[@]}" dpkg-dev ccache g++-mingw-w64-x86-64-posix nsis zip
build_windows_qt
[ "${1:-}" = "--qt-only" ] && exit 0
