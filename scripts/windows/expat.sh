# Sourced by build-windows.sh after qt.sh and xlsxwriter.sh: a static expat for
# x86_64-w64-mingw32, built from Debian's own expat source (the version of
# the installed libexpat1-dev), for reading workbooks' XML. Cached beside Qt.
set -euo pipefail

EXPAT_VERSION_DEB="$(dpkg-query -W -f='${Version}' libexpat1-dev)"
EXPAT_SOURCE_VERSION="${EXPAT_VERSION_DEB%+b*}"
EXPAT_WIN_PREFIX="$QT_CACHE/expat-$EXPAT_SOURCE_VERSION-mingw64-static"

build_windows_expat() {
  if [ -f "$EXPAT_WIN_PREFIX/lib/libexpat.a" ]; then return 0; fi
  local src="$QT_CACHE/src/expat-$EXPAT_SOURCE_VERSION" build="$QT_CACHE/expat-build"
  fetch_debian_source expat "$EXPAT_SOURCE_VERSION" "$src" || return 1
  # Without document type support: a workbook never has one (and it is refused).
  echo "Building expat $EXPAT_SOURCE_VERSION for Windows (static)..."
  rm -rf "$build"
  cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/scripts/windows/mingw.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$EXPAT_WIN_PREFIX" \
    -DCMAKE_C_COMPILER_LAUNCHER=ccache \
    -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
    -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF \
    -DEXPAT_DTD=OFF \
    >"$QT_CACHE/expat-build.log" 2>&1 &&
    cmake --build "$build" --parallel "$(nproc)" >>"$QT_CACHE/expat-build.log" 2>&1 &&
    cmake --install "$build" >>"$QT_CACHE/expat-build.log" 2>&1 || {
      tail -30 "$QT_CACHE/expat-build.log" >&2
      echo "Building expat for Windows failed; the log is $QT_CACHE/expat-build.log" >&2
      return 1
    }
  # Some versions name the static library after the runtime (libexpatMD.a).
  if [ ! -f "$EXPAT_WIN_PREFIX/lib/libexpat.a" ]; then
    local built
    built="$(find "$EXPAT_WIN_PREFIX/lib" -name 'libexpat*.a' | head -1)"
    [ -n "$built" ] && cp "$built" "$EXPAT_WIN_PREFIX/lib/libexpat.a"
  fi
  rm -rf "$build"
}
