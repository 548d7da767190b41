#!/usr/bin/env bash
# Builds the Windows program on Debian: a static Qt cross-compiled from
# Debian's qt6-base source (cached outside the checkout, ccache for
# rebuilds), libxlsxwriter, minizip, expat and libxml2 the same way, then quorvane.exe,
# quorvane-calc.exe and quorvane-schedule.exe (梁表), each one file that
# needs only Windows' own DLLs, packaged into dist/:
#   quorvane-<version>-windows-x64.zip   the three programs and a read-me
#   quorvane-<version>-setup.exe         an installer (NSIS)
# Usage: bash scripts/build-windows.sh [--qt-only | --with-tests]
#   --with-tests  also cross-builds the QtTest suites (for the Wine tests)
source "$(dirname "$0")/common.sh"
# Qt's version comes from the installed qt6-base-dev: install first.
install_packages "${BUILD_PACKAGES[@]}" dpkg-dev ccache g++-mingw-w64-x86-64-posix nsis zip libz-mingw-w64-dev
source "$ROOT/scripts/windows/qt.sh"
source "$ROOT/scripts/windows/xlsxwriter.sh"
source "$ROOT/scripts/windows/expat.sh"
source "$ROOT/scripts/windows/libxml2.sh"
# One build at a time in the shared cache: a second run (the Windows test
# starts one) waits here instead of deleting the folder the first builds in.
mkdir -p "$QT_CACHE"
exec 9>"$QT_CACHE/.lock"
if ! flock -n 9; then
  echo "Another Windows build is using $QT_CACHE; waiting for it..."
  flock 9
fi
build_windows_qt
build_windows_xlsxwriter
build_windows_minizip
build_windows_expat
build_windows_libxml2
[ "${1:-}" = "--qt-only" ] && exit 0

WIN_BUILD="${QUORVANE_WIN_BUILD_DIR:-$ROOT/build-windows}"
testing=OFF werror=OFF
[ "${1:-}" = "--with-tests" ] && testing=ON werror=ON
# CLI11 is header-only; its headers are the same for every machine, but the
# host's include folder must not reach the Windows compiler as a whole.
mkdir -p "$QT_CACHE/cli11"
ln -sfn /usr/include/CLI "$QT_CACHE/cli11/CLI"
# A build folder made against another Qt keeps that Qt's paths in its cache: start it afresh.
if [ -f "$WIN_BUILD/CMakeCache.txt" ] && ! grep -qF "$QT_WIN_PREFIX/" "$WIN_BUILD/CMakeCache.txt"; then
  rm -rf "$WIN_BUILD"
fi
cmake -S "$ROOT" -B "$WIN_BUILD" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$QT_WIN_PREFIX/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$ROOT/scripts/windows/mingw.cmake" \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache \
  -DCMAKE_EXE_LINKER_FLAGS="-static -static-libgcc -static-libstdc++" \
  -DCLI11_INCLUDE_DIR="$QT_CACHE/cli11" \
  -DXLSXWRITER_INCLUDE_DIR="$XLSX_WIN_PREFIX/include" -DXLSXWRITER_LIBRARY="$XLSX_WIN_PREFIX/lib/libxlsxwriter.a" \
  -DMINIZIP_INCLUDE_DIR="$XLSX_WIN_PREFIX/include" -DMINIZIP_LIBRARY="$XLSX_WIN_PREFIX/lib/libminizip.a" \
  -DEXPAT_INCLUDE_DIR="$EXPAT_WIN_PREFIX/include" -DEXPAT_LIBRARY="$EXPAT_WIN_PREFIX/lib/libexpat.a" \
  -DLIBXML2_INCLUDE_DIR="$LIBXML2_WIN_PREFIX/include/libxml2" -DLIBXML2_LIBRARY="$LIBXML2_WIN_PREFIX/lib/libxml2.a" \
  -DZLIB_LIBRARY="$MINGW_ZLIB" -DZLIB_INCLUDE_DIR=/usr/x86_64-w64-mingw32/include \
  -DQUORVANE_BENCH=OFF -DBUILD_TESTING=$testing -DQUORVANE_WERROR=$werror >/dev/null
cmake --build "$WIN_BUILD" --parallel "$(nproc)"

version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$WIN_BUILD/CMakeCache.txt")"
# Nothing but Windows' own DLLs may be needed.
programs=("$WIN_BUILD/app/quorvane.exe" "$WIN_BUILD/cli/quorvane-calc.exe" "$WIN_BUILD/scheduleui/quorvane-schedule.exe")
for exe in "${programs[@]}"; do
  extra="$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' |
    grep -vE '^((kernel32|user32|gdi32|shell32|shlwapi|dwrite|d2d1|ole32|oleaut32|advapi32|comdlg32|winmm|ws2_32|imm32|uxtheme|dwmapi|shcore|version|netapi32|userenv|wtsapi32|setupapi|mpr|authz|uuid|d3d9|d3d11|dxgi|d3d12|dcomp|crypt32|bcrypt|secur32|iphlpapi|dnsapi|comctl32|msvcrt|api-ms-win-.*)\.dll|winspool\.drv)$' || true)"
  if [ -n "$extra" ]; then
    echo "$(basename "$exe") needs DLLs that Windows does not have: $extra" >&2
    exit 1
  fi
done

dist="$ROOT/dist"
stage="$WIN_BUILD/stage"
rm -rf "$stage" && mkdir -p "$stage" "$dist"
cp "${programs[@]}" "$ROOT/app/icons/quorvane.ico" "$ROOT/scheduleui/icons/quorvane-schedule.ico" "$stage/"
x86_64-w64-mingw32-strip "$stage/quorvane.exe" "$stage/quorvane-calc.exe" "$stage/quorvane-schedule.exe"
# The read-me for Notepad on Chinese Windows: UTF-8 with a byte-order mark, CR LF.
{ printf '\xEF\xBB\xBF'; sed 's/$/\r/' "$ROOT/scripts/windows/README.txt"; } >"$stage/README.txt"

zip_name="quorvane-$version-windows-x64.zip"
rm -f "$dist/$zip_name"
(cd "$stage" && mkdir -p "quorvane-$version" && cp quorvane.exe quorvane-calc.exe quorvane-schedule.exe "quorvane-$version/" &&
  cp README.txt "quorvane-$version/" && zip -qr -X "$dist/$zip_name" "quorvane-$version" &&
  rm -rf "quorvane-$version")
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$dist/quorvane-$version-setup.exe" \
  "$ROOT/scripts/windows/installer.nsi" >/dev/null
echo "Windows package written:"
ls -l "$dist/$zip_name" "$dist/quorvane-$version-setup.exe"
