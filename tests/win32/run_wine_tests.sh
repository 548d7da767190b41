#!/usr/bin/env bash
# The Windows platform layer, for real: tst_win32.exe cross-compiled with
# mingw-w64 and run under Wine on a private Xvfb, in private prefixes, under
# a Chinese locale (code page 936) and under C.UTF-8 (a code page that
# cannot hold the report's text). Prints "N passed, N failed" last.
# Usage: run_wine_tests.sh [BUILD_DIR]   (a mingw-w64 build of the libraries)
set -u
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
for tool in x86_64-w64-mingw32-g++-posix wine wineserver Xvfb iconv; do
  command -v "$tool" >/dev/null || { echo "missing: $tool"; echo "0 passed, 1 failed"; exit 1; }
done
source "$root/tests/common/xdisplay.sh"
tmp="$(mktemp -d)"
cleanup() {
  WINEPREFIX="$tmp/prefix-zh" wineserver -k 2>/dev/null
  WINEPREFIX="$tmp/prefix-c" wineserver -k 2>/dev/null
  stop_x_display
  rm -rf "$tmp"
}
trap cleanup EXIT

# The libraries from their own CMake source lists, cross-compiled.
build="${1:-$tmp/build}"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if ! { cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE="$root/scripts/windows/mingw.cmake" \
         -DCMAKE_BUILD_TYPE=Release -DQUORVANE_GUI=OFF -DQUORVANE_BENCH=OFF -DBUILD_TESTING=OFF \
         -DQUORVANE_WIN32_TESTS=ON >"$tmp/build.log" 2>&1 &&
       cmake --build "$build" --target tst_win32 >>"$tmp/build.log" 2>&1; }; then
  cat "$tmp/build.log"
  echo "0 passed, 1 failed"
  exit 1
fi
exe="$build/tests/win32/tst_win32.exe"

start_x_display 1024x768 || { echo "0 passed, 1 failed"; exit 1; }
export HOME="$tmp/home" WINEDEBUG=-all
# No desktop menu entries, no Mono or Gecko installers in the prefix.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
mkdir -p "$HOME"
cat >"$tmp/browser" <<SCRIPT
#!/bin/sh
echo "\$@" >> "$tmp/browsed.txt"
SCRIPT
chmod +x "$tmp/browser"

for locale in zh_CN.UTF-8 C.UTF-8; do
  short=$([ "$locale" = C.UTF-8 ] && echo c || echo zh)
  export WINEPREFIX="$tmp/prefix-$short" LANG="$locale" LC_ALL="$locale"
  timeout 120 wine wineboot -i >/dev/null 2>&1
  timeout 60 wineserver -w
  c="$WINEPREFIX/drive_c"
  # Two fixes a fresh prefix needs for the viewer command: Wine makes up
  # its own short names, so the literal C:\PROGRA~1 has to exist as a link
  # to Program Files; and .txt needs an association, here a stand-in (the
  # test program itself) that records what it was asked to open.
  ln -sfn "Program Files" "$c/PROGRA~1"
  wine reg add 'HKCR\.txt' /ve /d txtfile /f >/dev/null 2>&1
  wine reg add 'HKCR\txtfile\shell\open\command' /ve /d '"C:\tst_win32.exe" --record "%1"' /f >/dev/null 2>&1
  # The web browser hand-off goes to a stand-in that records the address.
  wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$tmp/browser" /f >/dev/null 2>&1
  cp "$exe" "$c/"
  rm -f "$tmp/browsed.txt"

  output="$(timeout 180 wine 'C:\tst_win32.exe' 2>/dev/null | tr -d '\r')"
  echo "$output" | grep -E '^(PASS|FAIL|ACP|DATE)' | sed "s/^/[$locale] /"
  summary="$(echo "$output" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -1)"
  if [ -z "$summary" ]; then
    failed=$((failed + 1)); echo "FAIL: [$locale] the test program did not finish"
  else
    passed=$((passed + ${summary%% passed*}))
    rest="${summary#*, }"; failed=$((failed + ${rest%% failed*}))
  fi

  report="$c/Program Files/计算过程.txt"
  if [ "$short" = zh ]; then
    same_as_iconv() { iconv -f UTF-8 -t CP936 "$c/expected-utf8.txt" | cmp -s - "$report"; }
    check "[$locale] the report is byte-identical to iconv's CP936 of its lines" same_as_iconv
  else
    utf8_with_bom() { { printf '\357\273\277'; cat "$c/expected-utf8.txt"; } | cmp -s - "$report"; }
    check "[$locale] a code page without the text gives UTF-8 with a BOM, nothing lost" utf8_with_bom
  fi
  browsed() {
    wait_for 10 grep -q 'quorvane.cn' "$tmp/browsed.txt" 2>/dev/null
  }
  check "[$locale] Explorer hands the address to the browser" browsed
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
