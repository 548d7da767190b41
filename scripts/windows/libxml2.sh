# Sourced by build-windows.sh after xlsxwriter.sh: a static libxml2 for
# x86_64-w64-mingw32, built from Debian's own libxml2 source (the version
# of the installed libxml2-dev), for the HTML a spreadsheet puts on the
# clipboard. Only its parsers: no iconv, zlib, lzma, network or Python.
set -euo pipefail

LIBXML2_VERSION_DEB="$(dpkg-query -W -f='${Version}' libxml2-dev)"
LIBXML2_WIN_PREFIX="$QT_CACHE/libxml2-${LIBXML2_VERSION_DEB%+b*}-mingw64-static"

build_windows_libxml2() {
  build_debian_library libxml2 "${LIBXML2_VERSION_DEB%+b*}" "$LIBXML2_WIN_PREFIX" libxml2.a \
    -DBUILD_SHARED_LIBS=OFF -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_ICU=OFF -DLIBXML2_WITH_LZMA=OFF \
    -DLIBXML2_WITH_ZLIB=OFF -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_HTTP=OFF -DLIBXML2_WITH_FTP=OFF \
    -DLIBXML2_WITH_PROGRAMS=OFF -DLIBXML2_WITH_TESTS=OFF -DLIBXML2_WITH_THREADS=ON -DLIBXML2_WITH_MODULES=OFF
}
