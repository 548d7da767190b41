# Sourced by build-windows.sh after qt.sh and xlsxwriter.sh: a static expat for
# x86_64-w64-mingw32, built from Debian's own expat source (the version of
# the installed libexpat1-dev), for reading workbooks' XML. Cached beside Qt.
set -euo pipefail

EXPAT_VERSION_DEB="$(dpkg-query -W -f='${Version}' libexpat1-dev)"
EXPAT_WIN_PREFIX="$QT_CACHE/expat-${EXPAT_VERSION_DEB%+b*}-mingw64-static"

build_windows_expat() {
  # Without document type support: a workbook never has one (and it is refused).
  build_debian_library expat "${EXPAT_VERSION_DEB%+b*}" "$EXPAT_WIN_PREFIX" libexpat.a \
    -DEXPAT_SHARED_LIBS=OFF -DEXPAT_BUILD_TOOLS=OFF -DEXPAT_BUILD_EXAMPLES=OFF \
    -DEXPAT_BUILD_TESTS=OFF -DEXPAT_BUILD_DOCS=OFF -DEXPAT_BUILD_PKGCONFIG=OFF -DEXPAT_DTD=OFF
}
