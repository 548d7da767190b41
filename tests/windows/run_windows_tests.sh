#!/usr/bin/env bash
# The Windows program, built here and tested under Wine as a user of Chinese
# Windows would meet it: on a private X server with a window manager, in a
# private Wine prefix under zh_CN.UTF-8 (code page 936), SimSun mapped to a
# CJK font with half-width Latin letters.
#   (a) the QtTest suites, cross-built, under Wine;
#   (b) the packaged quorvane.exe driven with xdotool: start, a refused
#       letter, compute, copy, keep on top, the report viewer, a second copy,
#       exit; then once more at 150 % (per-monitor DPI);
#   (c) quorvane-calc.exe with Chinese file and folder names, to a file and
#       to a console, and its PDF calculation book as a reader reads it;
#   (d) quorvane-schedule.exe: a GBK schedule opened, a block pasted from
#       the clipboard, the question before closing, saved back;
#   (e) quorvane.exe for a user who may not write to Program Files.
# The first run builds Qt for Windows (about 30 minutes); later runs reuse it.
# Usage: bash tests/windows/run_windows_tests.sh   (prints "N passed, N failed")
source "$(cd "$(dirname "$0")/../.." && pwd)/scripts/common.sh"
set +e
here="$ROOT/tests/windows"
install_packages xvfb openbox xdotool xclip x11-utils imagemagick wine wine64 fonts-noto-cjk locales bsdutils unzip poppler-utils
ensure_locales "zh_CN.UTF-8 UTF-8" "zh_CN.GBK GBK"
bash "$ROOT/scripts/build-windows.sh" --with-tests || { echo "0 passed, 1 failed (the Windows build)"; exit 1; }
build  # the Linux quorvane-calc: the reports and results the Windows ones must equal
win="${QUORVANE_WIN_BUILD_DIR:-$ROOT/build-windows}"
linux_calc="$BUILD_DIR/cli/quorvane-calc"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win/CMakeCache.txt")"

tmp="$(mktemp -d)"
export WINEPREFIX="$tmp/prefix" WINEDEBUG=-all HOME="$tmp/home"
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
mkdir -p "$HOME"
source "$ROOT/tests/common/xdisplay.sh"
cleanup() {
  wineserver -k 2>/dev/null
  stop_x_display
  rm -rf "$tmp"
}
trap cleanup EXIT

start_x_display 1280x1024 wm || exit 1

wineboot -i >/dev/null 2>&1
wineserver -w
# SimSun, as every Chinese Windows has it: a CJK font with half-width Latin.
for face in SimSun NSimSun; do
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d "Noto Sans Mono CJK SC" /f >/dev/null 2>&1
done
check "the prefix runs in code page 936" \
  sh -c "wine reg query 'HKLM\\System\\CurrentControlSet\\Control\\Nls\\CodePage' /v ACP 2>/dev/null | grep -q 936"

# --- (a) the QtTest suites -------------------------------------------------
run_suite() {  # run_suite EXE LOG
  (cd "$(dirname "$1")" && QT_QPA_PLATFORM=windows timeout 300 wine "$1" -o "$2,txt" >/dev/null 2>&1)
}
for suite in $(find "$win/tests" -name 'tst_*.exe' | sort); do
  name="$(basename "$suite" .exe)"
  out="$tmp/$name.log"
  # QtTest's log goes to a file: a Windows program's standard output may not reach a pipe.
  # (The working folder is on drive Z:, so the Unix path names the same file.)
  rm -f "$out"
  run_suite "$suite" "$out"
  status=$?
  # Wine now and then loses a program's start: a suite that wrote no log
  # never ran, and is started again. One that ran and failed has failed.
  if [ ! -s "$out" ]; then
    echo "  $name wrote no log (exit $status): started again"
    run_suite "$suite" "$out"
    status=$?
  fi
  if [ "$status" -eq 0 ]; then
    pass "suite $name: $(grep -a '^Totals' "$out" | tr -d '\r' | cut -d, -f1-3)"
  else
    fail "suite $name" "$(grep -a -E '^(FAIL|Totals)' "$out" 2>/dev/null | tr -d '\r' | head -5 | tr '\n' ' ')"
    grep -a -A3 '^FAIL' "$out" 2>/dev/null | tr -d '\r' | head -20
  fi
done

# --- the installer ------------------------------------------------------------
wine "$ROOT/dist/quorvane-$version-setup.exe" /S >/dev/null 2>&1
wineserver -w
installed="$WINEPREFIX/drive_c/Program Files/Quorvane"
check "the installer puts the three programs into Program Files" \
  test -f "$installed/quorvane.exe" -a -f "$installed/quorvane-calc.exe" -a -f "$installed/quorvane-schedule.exe" \
    -a -f "$installed/说明.txt"
check "the installer adds start-menu entries, 梁表 among them" \
  sh -c "find '$WINEPREFIX/drive_c' -path '*Start Menu*' -name 'Quorvane 梁表.lnk' | grep -q ."
check "the installer registers an uninstaller" \
  sh -c "wine reg query 'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvane' /v UninstallString 2>/dev/null | grep -q uninstall.exe"
wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvane' 2>/dev/null | tr -d '\r' >"$tmp/uninstall.reg"
check "the uninstall entry names the publisher, the version and the size" \
  sh -c "grep -q 'Publisher.*Tessmoor' '$tmp/uninstall.reg' && grep -q 'DisplayVersion.*$version' '$tmp/uninstall.reg' &&
         grep -q 'EstimatedSize.*0x[0-9a-f]*[1-9a-f]' '$tmp/uninstall.reg'"
has_version() {  # has_version EXE: its version resource names the product and this version
  local texts  # read whole first: grep -q would stop strings half way (pipefail)
  texts="$(strings -el "$1")"
  [ "$(grep -A1 -x ProductVersion <<<"$texts" | tail -1)" = "$version" ] && grep -qx Quorvane <<<"$texts"
}
for exe in quorvane quorvane-calc quorvane-schedule; do
  check "$exe.exe says who it is (version $version)" has_version "$installed/$exe.exe"
done
wine "$installed/uninstall.exe" /S >/dev/null 2>&1
wineserver -w
wait_for 10 test ! -f "$installed/quorvane.exe"
check "the uninstaller removes the programs" test ! -e "$installed/quorvane.exe"

# --- (c) quorvane-calc.exe ---------------------------------------------------
work="$tmp/工作"
mkdir -p "$work"
unzip -q "$ROOT/dist/quorvane-$version-windows-x64.zip" -d "$tmp/zip"
pkg="$tmp/zip/quorvane-$version"
printf 'Mark,DoorWidth,WindowWidth,ReductionRatio\r\nKL1,900,1500,1\r\n梁2,1414,0,0.9\r\n' >"$work/梁表.csv"
(cd "$work" && wine "$pkg/quorvane-calc.exe" --csv 梁表.csv -o 荷载.csv --report-dir 计算书 2>"$tmp/calc.err")
status=$?
check "quorvane-calc.exe takes Chinese file and folder names" test "$status" -eq 0 -a -s "$work/荷载.csv"
"$linux_calc" --csv "$work/梁表.csv" -o "$tmp/linux.csv" --report-dir "$tmp/linux-reports"
check "its results equal the Linux build's" cmp -s "$work/荷载.csv" "$tmp/linux.csv"
same_report() {  # same_report WINDOWS-REPORT LINUX-REPORT: GBK vs UTF-8, date line aside
  [ -f "$1" ] && [ -f "$2" ] &&
    cmp -s <(iconv -f GBK -t UTF-8 "$1" | sed '24d') <(sed '24d' "$2") &&
    [ "$(grep -c $'\r$' "$1")" -eq 25 ] && [ "$(wc -l <"$1")" -eq 25 ]
}
check "its reports are GBK, CR LF, equal to Linux's but for the date" \
  same_report "$work/计算书/梁2.txt" "$tmp/linux-reports/梁2.txt"
(cd "$work" && wine "$pkg/quorvane-calc.exe" --csv 梁表.csv -o 荷载.csv --pdf 计算书.pdf --project 某住宅楼 \
  2>"$tmp/pdf.err")
status=$?
pdf_book_reads() {  # the text a reader finds: the title block, both beams and their loads; fonts embedded
  local text
  text="$(pdftotext -raw "$work/计算书.pdf" - 2>/dev/null)" || return 1
  for word in 某住宅楼 "梁号 KL1" "梁号 梁2" "第 4 页 共 4 页" \
    "$(cut -d, -f20 "$tmp/linux.csv" | sed -n 2p)" "$(cut -d, -f23 "$tmp/linux.csv" | sed -n 3p)"; do
    grep -qF -- "$word" <<<"$text" || { echo "  not in the book: $word"; return 1; }
  done
  ! pdffonts "$work/计算书.pdf" | tail -n +3 | awk '{print $(NF-4)}' | grep -qv yes
}
check "quorvane-calc.exe --pdf writes a calculation book a reader searches (exit $status)" pdf_book_reads
python3 "$ROOT/tests/cli/make_workbook.py" "$work/二层.xlsx"
(cd "$work" && wine "$pkg/quorvane-calc.exe" --csv 二层.xlsx --sheet 2 -o 二层荷载.csv 2>"$tmp/book.err")
"$linux_calc" --csv "$work/二层.xlsx" --sheet 2 -o "$tmp/linux-book.csv"
check "an Excel workbook reads as on Linux" cmp -s "$work/二层荷载.csv" "$tmp/linux-book.csv"
# A result file that another program holds open, as Excel holds a workbook.
x86_64-w64-mingw32-gcc -municode -O1 "$here/hold.c" -o "$tmp/hold.exe"
cp "$work/荷载.csv" "$tmp/before.csv"
wine "$tmp/hold.exe" "$work/荷载.csv" "$work/held" "$work/release" >/dev/null 2>&1 &
holder=$!
wait_for 10 test -s "$work/held"
(cd "$work" && wine "$pkg/quorvane-calc.exe" --csv 梁表.csv -o 荷载.csv 2>"$tmp/held.err")
status=$?
touch "$work/release"
wait "$holder"
check "a result file held open by another program: exit 2, its content kept, the cause named in Chinese" \
  sh -c "[ $status -eq 2 ] && cmp -s '$work/荷载.csv' '$tmp/before.csv' && iconv -f UTF-8 -t UTF-8 '$tmp/held.err' | grep -q '其他程序使用' &&
         grep -q '荷载.csv' '$tmp/held.err' && ! grep -q 'Permission' '$tmp/held.err'"
(cd "$work" && wine "$pkg/quorvane-calc.exe" DoorWidth=900 WindowWidth=1500 >"$tmp/out.txt")
check "standard output to a file is UTF-8 with CR LF once" \
  cmp -s "$tmp/out.txt" <("$linux_calc" DoorWidth=900 WindowWidth=1500 | sed 's/$/\r/')
(cd "$work" && wine "$pkg/quorvane-calc.exe" --report >"$tmp/report.txt")
crlf_once() {  # crlf_once FILE LINES: that many lines, each ended by exactly CR LF
  ! grep -q $'\r\r' "$1" && [ "$(wc -l <"$1")" -eq "$2" ] && [ "$(grep -c $'\r$' "$1")" -eq "$2" ]
}
check "the report to a file ends its 25 lines in CR LF, never CR CR LF" crlf_once "$tmp/report.txt" 25
script -qec "stty -onlcr; wine '$pkg/quorvane-calc.exe' DoorWidth=900 WindowWidth=1500" /dev/null >"$tmp/console.txt"
check "a console shows the Chinese text (code page 936)" grep -q "砌体自重: 5.30075 KN/M" "$tmp/console.txt"
(cd "$work" && wine "$pkg/quorvane-calc.exe" --csv 没有.csv 2>"$tmp/missing.err")
status=$?
check "a missing input file is a message and exit 2, not a crash" \
  sh -c "[ $status -eq 2 ] && grep -q '没有.csv' '$tmp/missing.err'"

# --- (b) the window ---------------------------------------------------------
x86_64-w64-mingw32-gcc -municode -mwindows -O1 "$here/viewer.c" -o "$WINEPREFIX/drive_c/viewer.exe"
wine reg add 'HKCR\.txt' /ve /d txtfile /f >/dev/null 2>&1
wine reg add 'HKCR\txtfile\shell\open\command' /ve /d '"C:\viewer.exe" "%1"' /f >/dev/null 2>&1
wineserver -w
export QUORVANE_VIEWED='C:\viewed.txt'
viewed="$WINEPREFIX/drive_c/viewed.txt"
report="$WINEPREFIX/drive_c/Program Files/计算过程.txt"
exe="$pkg/quorvane.exe"

find_window() {  # find_window TITLE-REGEX: the first matching window id, waiting up to 20 s
  local id
  for _ in $(seq 100); do
    id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}
count_windows() { xdotool search --onlyvisible --name "$1" 2>/dev/null | wc -l; }
window_count_is() { [ "$(count_windows "$1")" -eq "$2" ]; }
title_shown() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
above() { xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }
not_above() { ! above "$1"; }
clipboard_is() { [ "$(xclip -o -selection clipboard 2>/dev/null)" = "$1" ]; }
# Twips of the client area to pixels at the given dots per inch.
px() { echo $(( ($1 * $2 + 720) / 1440 )); }
click_at() {  # click_at WINDOW LEFT-TWIPS TOP-TWIPS DPI
  xdotool mousemove --window "$1" "$(px "$2" "$4")" "$(px "$3" "$4")" click 1
}
geometry() { xdotool getwindowgeometry "$1" | sed -n 's/.*Position: \([0-9,]*\).*/\1/p; s/.*Geometry: //p' | tr '\n' ' '; }

wine "$exe" >/dev/null 2>&1 &
app=$!
main="$(find_window '^Quorvane\(Tessmoor\)$')"
check "the window opens, titled Quorvane(Tessmoor)" test -n "$main"
check "start-up creates the report, empty" test -f "$report" -a ! -s "$report"
xdotool windowactivate --sync "$main" 2>/dev/null
# The focus starts in the wall's width box; a letter there is refused.
xdotool type --delay 100 x
box="$(find_window '^Quorvane$')"
check "a letter gives exactly one 数据输入有误! box" test -n "$box" -a "$(count_windows '^Quorvane$')" -eq 1
xdotool key Return
check "Return closes the box" wait_for 20 window_count_is '^Quorvane$' 0
xdotool windowactivate --sync "$main" 2>/dev/null
xdotool key alt+s
"$linux_calc" --report WallWidth= | tr -d '\r' >"$tmp/linux-report.txt"
report_as_linux() { cmp -s <(iconv -f GBK -t UTF-8 "$report" 2>/dev/null | sed '24d') <(sed '24d;s/$/\r/' "$tmp/linux-report.txt"); }
check "Alt+S writes the report: GBK, CR LF, the emptied box as 0, equal to Linux's but for the date" \
  wait_for 20 report_as_linux
copied="$("$linux_calc" WallWidth= | sed -n 's/^复制: //p')"
click_at "$main" $((240 + 3600 + 450)) $((2760 + 187 + 180)) 96   # 复制 (Command8)
check "复制 puts the copied load ($copied) on the clipboard" wait_for 20 clipboard_is "$copied"
before="$(geometry "$main")"
click_at "$main" $((4080 + 127)) $((3950 + 90)) 96               # 置顶 (Check1)
check "置顶 puts the window in the stay-on-top state" wait_for 20 above "$main"
check "置顶 keeps the window's place and size" test "$(geometry "$main")" = "$before"
click_at "$main" $((4080 + 127)) $((3950 + 90)) 96
check "unticking 置顶 leaves the stay-on-top state" wait_for 20 not_above "$main"
click_at "$main" $((240 + 1080 + 727)) $((2760 + 600 + 187)) 96   # 计算过程 (Command4)
wait_for 10 test -s "$viewed"
check "计算过程 starts the text viewer with the report" grep -qi -e '计算过程.txt' "$viewed"
# The window as it looks under Wine (docs/screenshot-wine.png is one of these).
mkdir -p "$win/screenshots"
import -frame -window "$main" "$win/screenshots/quorvane-wine.png" 2>/dev/null

wine "$exe" >/dev/null 2>&1 &
second=$!
refusal="$(find_window '^Quorvane$')"
check "a second copy is refused with one message" test -n "$refusal"
xdotool windowactivate --sync "$refusal" 2>/dev/null
xdotool key Return
wait_for 10 sh -c "! kill -0 $second 2>/dev/null"
check "the refused copy ends and the first keeps its window" \
  sh -c "! kill -0 $second 2>/dev/null && xdotool search --name '^Quorvane\\(Tessmoor\\)\$' >/dev/null"
xdotool windowactivate --sync "$main" 2>/dev/null
xdotool key alt+q
find_window '^Quorvane$' >/dev/null && xdotool key Return
wait_for 10 sh -c "! kill -0 $app 2>/dev/null"
check "Alt+Q and 是 end the program" sh -c "! kill -0 $app 2>/dev/null"
wineserver -w

# --- (d) quorvane-schedule.exe: open a GBK schedule, paste, save -------------
printf 'Mark,DoorWidth,WindowWidth,ReductionRatio\r\nKL1,900,1500,1\r\n梁2,1414,0,0.9\r\n' |
  iconv -f UTF-8 -t GBK >"$work/三层梁表.csv"
(cd "$work" && wine "$pkg/quorvane-schedule.exe" 三层梁表.csv >/dev/null 2>&1) &
sched=$!
table="$(find_window '^三层梁表\.csv - Quorvane 梁表$')"
check "quorvane-schedule.exe opens a GBK schedule named on its command line" test -n "$table"
xdotool windowactivate --sync "$table" 2>/dev/null
# A block as Excel puts it on the clipboard: a header of captions, CR LF,
# with a column the schedule does not have (left out, never shifted).
block='梁号\t备注\t门宽度(mm)\r\n框架梁1\t靠楼梯\t1000\r\n梁2\t\t1414\r\n悬挑梁3\t外挑\t600\r\n'
printf "$block" | xclip -selection clipboard
wait_for 20 clipboard_is "$(printf "$block")"
xdotool key ctrl+Home ctrl+v
check "the pasted block marks the schedule unsaved" wait_for 20 title_shown '^三层梁表\.csv\* - Quorvane 梁表$'
xdotool key ctrl+q
ask="$(find_window '^Quorvane 梁表$')"
check "closing with unsaved changes asks first" test -n "$ask"
xdotool key Escape
wait_for 20 window_count_is '^Quorvane 梁表$' 0
check "cancelling the question keeps the window" \
  sh -c "kill -0 $sched 2>/dev/null && test \"\$(xdotool search --onlyvisible --name '^三层梁表' | wc -l)\" -ge 1"
xdotool windowactivate --sync "$table" 2>/dev/null
xdotool key ctrl+s
printf 'Mark,DoorWidth,WindowWidth,ReductionRatio\n框架梁1,1000,1500,1\n梁2,1414,0,0.9\n悬挑梁3,600,0,1\n' >"$tmp/expected-inputs.csv"
# Edited, it is saved with its loads: the inputs as pasted (备注 nowhere), then
# the loads as the Linux quorvane-calc gives them, all in GBK with CR LF.
"$linux_calc" --csv "$tmp/expected-inputs.csv" | tr -d '\r' | cut -d, -f20-25 >"$tmp/expected-loads.csv"
saved_as_expected() {
  [ "$(grep -c $'\r$' "$work/三层梁表.csv")" -eq 4 ] && [ "$(wc -l <"$work/三层梁表.csv")" -eq 4 ] &&
    iconv -f GBK -t UTF-8 "$work/三层梁表.csv" 2>/dev/null | tr -d '\r' >"$tmp/saved-utf8.csv" &&
    cmp -s <(cut -d, -f1-4 "$tmp/saved-utf8.csv") "$tmp/expected-inputs.csv" &&
    cmp -s <(cut -d, -f5-10 "$tmp/saved-utf8.csv") "$tmp/expected-loads.csv" &&
    ! grep -q 备注 "$tmp/saved-utf8.csv"
}
check "Ctrl+S saves it back in GBK, CR LF, with the pasted rows and their loads, the unknown column left out" \
  wait_for 20 saved_as_expected
check "the saved schedule reads in quorvane-calc" "$linux_calc" --csv "$work/三层梁表.csv" -o "$tmp/saved-loads.csv"
import -frame -window "$table" "$win/screenshots/quorvane-schedule-wine.png" 2>/dev/null
# The PDF calculation book from the menu: its title block, then where it goes
# (the suggested name beside the schedule), then the message saying so.
xdotool windowactivate --sync "$table" 2>/dev/null
xdotool key alt+f d
asked="$(find_window '^计算书的标题栏$')"
check "导出 PDF 计算书 asks for the title block" test -n "$asked"
xdotool type --delay 30 "Block A"
xdotool key Return
save_dialog="$(find_window '^Quorvane 梁表$')"  # the file dialog, named as the program's dialogs are
[ -n "$save_dialog" ] && xdotool windowactivate --sync "$save_dialog" 2>/dev/null && xdotool key Return
wait_for 20 test -s "$work/三层梁表计算书.pdf"
told="$(find_window '^Quorvane 梁表$')" && xdotool windowactivate --sync "$told" 2>/dev/null && xdotool key Return
window_book_reads() {
  local text
  text="$(pdftotext -raw "$work/三层梁表计算书.pdf" - 2>/dev/null)" || return 1
  for word in "Block A" "梁号 框架梁1" "梁号 悬挑梁3" "第 5 页 共 5 页"; do
    grep -qF -- "$word" <<<"$text" || { echo "  not in the book: $word"; return 1; }
  done
}
check "the window's PDF book holds the title block and a page for each beam" wait_for 20 window_book_reads
# (the message box gone, the keys go to the window only once it is active again)
xdotool windowactivate --sync "$table" 2>/dev/null
xdotool key ctrl+q
wait_for 10 sh -c "! kill -0 $sched 2>/dev/null"
check "once saved, Ctrl+Q ends it without a question" sh -c "! kill -0 $sched 2>/dev/null"
wineserver -w

# --- (e) a user who may not write to Program Files ------------------------------
# An ordinary account of its own, with a prefix whose Program Files it cannot
# write: the report goes to that user's Documents instead.
user=quorvane-wine
if id "$user" >/dev/null 2>&1 || useradd -m -s /bin/bash "$user" 2>/dev/null; then
  uprefix="$(runuser -u "$user" -- mktemp -d)/prefix"
  as_user() { runuser -u "$user" -- env WINEPREFIX="$uprefix" WINEDEBUG=-all DISPLAY="$DISPLAY" LANG=zh_CN.UTF-8 \
                LC_ALL=zh_CN.UTF-8 WINEDLLOVERRIDES="$WINEDLLOVERRIDES" "$@"; }
  as_user wineboot -i >/dev/null 2>&1
  as_user wineserver -w
  chown root:root "$uprefix/drive_c/Program Files" && chmod 755 "$uprefix/drive_c/Program Files"
  check "the other user cannot write to Program Files" \
    sh -c "! runuser -u '$user' -- touch '$uprefix/drive_c/Program Files/probe' 2>/dev/null"
  # (the package's folder is private to root: the program goes where the user can read it)
  uexe="$(dirname "$uprefix")/quorvane.exe"
  cp "$exe" "$uexe" && chown "$user" "$uexe"
  as_user wine "$uexe" >/dev/null 2>&1 &
  uapp=$!
  umain="$(find_window '^Quorvane\(Tessmoor\)$')"
  # (Wine's Documents is a link to the user's home or its Documents folder)
  report_in_documents() { [ -f "$uprefix/drive_c/users/$user/Documents/计算过程.txt" ]; }
  check "the window starts for that user" test -n "$umain"
  check "its report goes to the user's Documents" wait_for 20 report_in_documents
  check "and nothing into Program Files" test ! -e "$uprefix/drive_c/Program Files/计算过程.txt"
  kill "$uapp" 2>/dev/null
  as_user wineserver -k 2>/dev/null
  rm -rf "$(dirname "$uprefix")" "$(getent passwd "$user" | cut -d: -f6)/计算过程.txt"
else
  fail "an ordinary user for the Program Files check" "useradd failed"
fi

# Per-monitor DPI: at 150 % everything scales evenly.
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
wineserver -w
wine "$exe" >/dev/null 2>&1 &
app=$!
main="$(find_window '^Quorvane\(Tessmoor\)$')"
compact_at_150() {
  size="$(xdotool getwindowgeometry "$main" 2>/dev/null | sed -n 's/.*Geometry: //p')"
  width="${size%x*}" height="${size#*x}"
  [ "${width:-0}" -ge 702 ] && [ "${width:-0}" -le 705 ] && [ "${height:-0}" -ge 420 ] && [ "${height:-0}" -le 424 ]
}
wait_for 20 compact_at_150
size="$(xdotool getwindowgeometry "$main" 2>/dev/null | sed -n 's/.*Geometry: //p')"
width="${size%x*}" height="${size#*x}"
check "at 150 % the compact window is 1.5 times its size ($size, about 704x422)" \
  test "${width:-0}" -ge 702 -a "${width:-0}" -le 705 -a "${height:-0}" -ge 420 -a "${height:-0}" -le 424
kill "$app" 2>/dev/null
wineserver -k 2>/dev/null

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
