# Sourced by build-windows.sh after qt.sh: a static libxlsxwriter for
# x86_64-w64-mingw32, built from Debian's own libxlsxwriter source (the
# version of the installed libxlsxwriter-dev) against mingw-w64's zlib.
# Cached beside Qt. Numbers are printed by its locale-free dtoa, the
# shortest text that reads back as the same double.
set -euo pipefail

XLSX_VERSION_DEB="$(dpkg-query -W -f='${Version}' libxlsxwriter-dev)"
XLSX_SOURCE_VERSION="${XLSX_VERSION_DEB%+b*}"  # a binary-only rebuild has no source of its own
XLSX_WIN_PREFIX="$QT_CACHE/xlsxwriter-$XLSX_SOURCE_VERSION-mingw64-static"
MINGW_ZLIB=/usr/x86_64-w64-mingw32/lib/libz.a

# fetch_debian_source PACKAGE VERSION DEST: Debian's source of PACKAGE at
# VERSION, once, unpacked into DEST (the folder that holds its top
# CMakeLists.txt).
fetch_debian_source() {
  local package="$1" version="$2" dest="$3"
  [ -f "$dest/CMakeLists.txt" ] && return 0
  enable_debian_sources
  local fetch="$QT_CACHE/src/$package-fetch"
  rm -rf "$fetch" && mkdir -p "$fetch"
  # A security update may have replaced that version's source: then the
  # newest of the release (the same upstream code, patched).
  (cd "$fetch" && { apt-get source -qq "$package=$version" >/dev/null 2>&1 ||
    apt-get source -qq "$package" >/dev/null 2>&1; })
  local top
  top="$(find "$fetch" -mindepth 2 -maxdepth 3 -name CMakeLists.txt | awk '{ print length, $0 }' | sort -n | head -1 | cut -d' ' -f2-)"
  [ -n "$top" ] || { echo "apt-get source $package=$version gave nothing" >&2; return 1; }
  rm -rf "$dest" && mv "$(dirname "$top")" "$dest" && rm -rf "$fetch"
}

fetch_xlsxwriter_source() {
  fetch_debian_source libxlsxwriter "$XLSX_SOURCE_VERSION" "$QT_CACHE/src/libxlsxwriter-$XLSX_SOURCE_VERSION" || return 1
}

# cmake_build_windows NAME SRC PREFIX [CMAKE-ARGS...]: a static library
# from its CMake source for x86_64-w64-mingw32, installed into PREFIX; the
# log in the cache, its end shown when it fails.
cmake_build_windows() {
  local name="$1" src="$2" prefix="$3" build="$QT_CACHE/$1-build" log="$QT_CACHE/$1-build.log"
  shift 3
  rm -rf "$build"
  cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/scripts/windows/mingw.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_C_COMPILER_LAUNCHER=ccache \
    "$@" >"$log" 2>&1 &&
    cmake --build "$build" --parallel "$(nproc)" >>"$log" 2>&1 &&
    cmake --install "$build" >>"$log" 2>&1 || {
      tail -30 "$log" >&2
      echo "Building $name for Windows failed; the log is $log" >&2
      return 1
    }
  rm -rf "$build"
}

# build_debian_library NAME VERSION PREFIX LIBRARY [CMAKE-ARGS...]: Debian's
# source package NAME at VERSION built static into PREFIX, unless PREFIX
# already has LIBRARY (lib/...).
build_debian_library() {
  local name="$1" version="$2" prefix="$3" library="$4"
  shift 4
  if [ -f "$prefix/lib/$library" ]; then return 0; fi
  local src="$QT_CACHE/src/$name-$version"
  fetch_debian_source "$name" "$version" "$src" || return 1
  echo "Building $name $version for Windows (static)..."
  cmake_build_windows "$name" "$src" "$prefix" "$@"
}

build_windows_xlsxwriter() {
  if [ -f "$XLSX_WIN_PREFIX/lib/libxlsxwriter.a" ]; then return 0; fi
  fetch_xlsxwriter_source || return 1
  echo "Building libxlsxwriter $XLSX_SOURCE_VERSION for Windows (static)..."
  cmake_build_windows xlsxwriter "$QT_CACHE/src/libxlsxwriter-$XLSX_SOURCE_VERSION" "$XLSX_WIN_PREFIX" \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF \
    -DUSE_DTOA_LIBRARY=ON -DUSE_SYSTEM_MINIZIP=OFF \
    -DZLIB_LIBRARY="$MINGW_ZLIB" -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include
}

# minizip (unzip and zip, with its I/O layer), for reading and saving
# workbooks: from the same source's third_party/minizip, which is zlib's
# own contrib/minizip.
build_windows_minizip() {
  if [ -f "$XLSX_WIN_PREFIX/lib/libminizip.a" ]; then return 0; fi
  fetch_xlsxwriter_source
  local src="$QT_CACHE/src/libxlsxwriter-$XLSX_SOURCE_VERSION/third_party/minizip" obj="$QT_CACHE/minizip-build"
  echo "Building minizip for Windows (static)..."
  rm -rf "$obj" && mkdir -p "$obj" "$XLSX_WIN_PREFIX/lib" "$XLSX_WIN_PREFIX/include/minizip"
  for part in unzip zip ioapi; do
    x86_64-w64-mingw32-gcc -O2 -DNOCRYPT -DNOUNCRYPT -I"$src" -I/usr/x86_64-w64-mingw32/include \
      -c "$src/$part.c" -o "$obj/$part.o" || return 1
  done
  x86_64-w64-mingw32-ar rcs "$XLSX_WIN_PREFIX/lib/libminizip.a" "$obj/unzip.o" "$obj/zip.o" "$obj/ioapi.o"
  cp "$src/unzip.h" "$src/zip.h" "$src/ioapi.h" "$XLSX_WIN_PREFIX/include/minizip/"
  rm -rf "$obj"
}
