#!/usr/bin/env bash
# Takes the README's screenshots of the window on a private X server with a
# window manager: docs/screenshot-{compact,full,medium,about,message}.png,
# the 梁表 window: docs/screenshot-schedule.png, with floors as tabs: docs/screenshot-schedule-floors.png,
# its 另存为 dialog: docs/screenshot-schedule-saveas.png,
# and a page of the PDF calculation book: docs/screenshot-pdf-book.png.
# Usage: bash scripts/screenshots.sh   (builds first, as run.sh does)
source "$(dirname "$0")/common.sh"
install_packages "${BUILD_PACKAGES[@]}" xvfb openbox xdotool imagemagick x11-utils fonts-noto-cjk poppler-utils
build
set +e
source "$ROOT/tests/common/xdisplay.sh"
tmp="$(mktemp -d)"
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null
  stop_x_display
  rm -rf "$tmp"
}
trap cleanup EXIT
export HOME="$tmp" XDG_RUNTIME_DIR="$tmp/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
start_x_display 1280x800 wm || exit 1
"$BUILD_DIR/app/quorvane" >/dev/null 2>&1 &
app=$!
find_window() { for _ in $(seq 100); do xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 && return 0; sleep 0.1; done; return 1; }
px() { echo $(( ($1 + 7) / 15 )); }  # twips to pixels at 96 dpi
shoot() { sleep 0.7; import -frame -window "$1" "$ROOT/docs/screenshot-$2.png" && echo "docs/screenshot-$2.png"; }
main="$(find_window '^Quorvane\(Tessmoor\)$')" || { echo "the window did not appear" >&2; exit 1; }
xdotool windowactivate --sync "$main"
xdotool key alt+s
shoot "$main" compact
tick() { xdotool mousemove --window "$main" "$(px $((5640 + 127)))" "$(px $(($1 + 90)))" click 1; }
tick 3950        # compact -> full
shoot "$main" full
tick 5760        # full -> medium
shoot "$main" medium
tick 4800        # medium -> full
tick 5760        # full -> compact
xdotool mousemove --window "$main" "$(px $((840 + 600)))" "$(px $((3950 + 120)))" click 1  # the credit label
about="$(find_window '^版权信息$')" && shoot "$about" about
xdotool key --window "$about" Return
xdotool windowactivate --sync "$main"
xdotool mousemove --window "$main" "$(px $((900 + 400)))" "$(px $((352 + 130)))" click 1   # 梁 宽度
xdotool key End x
box="$(find_window '^Quorvane$')" && shoot "$box" message
xdotool key Return
kill "$app" 2>/dev/null

# The 梁表 window with a floor's schedule (docs/examples/三层梁表.csv): a
# refused height and a zero length among the beams.
"$BUILD_DIR/scheduleui/quorvane-schedule" "$ROOT/docs/examples/三层梁表.csv" >/dev/null 2>&1 &
app=$!
table="$(find_window '三层梁表\.csv - Quorvane 梁表$')" || { echo "the 梁表 window did not appear" >&2; exit 1; }
xdotool windowactivate --sync "$table"
xdotool windowsize "$table" 1260 560
xdotool key ctrl+Home  # as it starts: the marks with their loads beside them
shoot "$table" schedule
# A page of the PDF calculation book of the same schedule, as a reader shows it.
"$BUILD_DIR/cli/quorvane-calc" --csv "$ROOT/docs/examples/三层梁表.csv" -o "$tmp/结果.csv" --pdf "$tmp/计算书.pdf" \
  --project "某住宅楼" --part "三层" --prepared-by "张三" --checked-by "李四" >/dev/null 2>&1
pdftoppm -r 80 -png -f 2 -l 2 "$tmp/计算书.pdf" "$tmp/page" && cp "$tmp"/page*.png "$ROOT/docs/screenshot-pdf-book.png" &&
  echo "docs/screenshot-pdf-book.png"
# Floors as sheet tabs: a second floor added from the 工作表 menu, then back to the first.
xdotool key alt+w i
xdotool key ctrl+Prior
shoot "$table" schedule-floors
xdotool key ctrl+Next ctrl+z  # (the new floor taken away again)
# A standard dialog of Qt's own, in Chinese: 另存为 (F12).
xdotool key F12
dialog="$(find_window '^Quorvane 梁表$')" && shoot "$dialog" schedule-saveas && xdotool key Escape
