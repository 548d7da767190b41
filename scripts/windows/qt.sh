# Sourced by build-windows.sh: a static Qt for x86_64-w64-mingw32 built from
# Debian's own qt6-base source (the version of the installed qt6-base-dev,
# whose moc/rcc/uic serve as host tools). Cached outside the checkout.
set -euo pipefail

QT_VERSION_DEB="$(dpkg-query -W -f='${Version}' qt6-base-dev)"
QT_VERSION_UPSTREAM="${QT_VERSION_DEB%%+*}"
QT_CACHE="${QUORVANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane}"
QT_WIN_PREFIX="$QT_CACHE/qt-$QT_VERSION_DEB-mingw64-static-print"  # named by what it holds: a cache of another set is not taken
export CCACHE_DIR="${CCACHE_DIR:-$QT_CACHE/ccache}"

# Debian's source index is not enabled by default; add it in a file of its own.
enable_debian_sources() {
  local list=/etc/apt/sources.list.d/quorvane-deb-src.sources
  [ -f "$list" ] && return 0
  as_root tee "$list" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
}

fetch_qt_source() {
  local src="$QT_CACHE/src/qt6-base-$QT_VERSION_DEB"
  if [ ! -f "$src/CMakeLists.txt" ]; then
    enable_debian_sources
    rm -rf "$QT_CACHE/src" && mkdir -p "$QT_CACHE/src"
    (cd "$QT_CACHE/src" && apt-get source -qq "qt6-base=$QT_VERSION_DEB" >/dev/null)
    local unpacked
    unpacked="$(find "$QT_CACHE/src" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -1)"
    [ "$unpacked" = "$src" ] || mv "$unpacked" "$src"
  fi
  echo "$src"
}

# build_windows_qt: makes $QT_WIN_PREFIX unless it is there already.
build_windows_qt() {
  if [ -f "$QT_WIN_PREFIX/lib/cmake/Qt6/qt.toolchain.cmake" ]; then return 0; fi
  local src build
  src="$(fetch_qt_source)"
  build="$QT_CACHE/qt-build"
  rm -rf "$build"
  echo "Building Qt $QT_VERSION_UPSTREAM for Windows (static, about 20 minutes the first time)..."
  # Only what the program and its tests use: Core, Gui, Widgets, PrintSupport
  # (the 梁表 window prints its calculation book), Test and the Windows
  # platform plugin. Debian's source lacks wintab (tablet support),
  # and OpenGL needs turning off through its input. DirectWrite's font
  # engine and database are compiled only with Direct2D, which is off, yet
  # the platform plugin and the print engine would still ask for them: off
  # too (GDI fonts, Qt 6.4's default).
  cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/scripts/windows/mingw.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$QT_WIN_PREFIX" \
    -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(gcc -dumpmachine)/cmake" \
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
    -DBUILD_SHARED_LIBS=OFF \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
    -DFEATURE_pkg_config=OFF \
    -DINPUT_opengl=no -DFEATURE_opengl=OFF \
    -DFEATURE_tabletevent=OFF \
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF \
    -DFEATURE_printsupport=ON -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF \
    -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF -DFEATURE_testlib=ON -DFEATURE_widgets=ON \
    -DFEATURE_directwrite=OFF -DFEATURE_directwrite3=OFF \
    -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF \
    -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF \
    -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF >"$QT_CACHE/qt-configure.log" 2>&1 || {
      tail -40 "$QT_CACHE/qt-configure.log" >&2
      echo "Configuring Qt for Windows failed; the whole log is $QT_CACHE/qt-configure.log" >&2
      return 1
    }
  cmake --build "$build" --parallel "$(nproc)" >"$QT_CACHE/qt-build.log" 2>&1 || {
    tail -40 "$QT_CACHE/qt-build.log" >&2
    echo "Building Qt for Windows failed; the whole log is $QT_CACHE/qt-build.log" >&2
    return 1
  }
  cmake --install "$build" >/dev/null
  rm -rf "$build"
}
