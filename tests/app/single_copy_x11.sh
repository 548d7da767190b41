#!/usr/bin/env bash
# Two real copies of the program on a private X server: the second one says
# that the program is running, shows no window of its own and ends on OK,
# leaving the first one running; a killed first copy does not block the next.
# Usage: single_copy_x11.sh PATH-TO-quorvane
set -u
exe="$1"
tmp="$(mktemp -d)"
export HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run" QT_QPA_PLATFORM=xcb
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
source "$(dirname "$0")/../common/xdisplay.sh"
pids=()
cleanup() { kill -9 "${pids[@]}" 2>/dev/null; stop_x_display; wait 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT

start_x_display 1024x768 || exit 1
main_windows() { xdotool search --onlyvisible --name '^Quorvane\(Tessmoor\)$' 2>/dev/null | wc -l; }
has_main_window() { [ "$(main_windows)" -ge 1 ]; }

"$exe" >/dev/null 2>&1 &
first=$!
pids+=($first)
check "first copy shows its window" wait_for 20 has_main_window

"$exe" >/dev/null 2>&1 &
second=$!
pids+=($second)
message_window() { xdotool search --onlyvisible --pid "$second" --name '^Quorvane$' 2>/dev/null | head -1; }
has_message() { [ -n "$(message_window)" ]; }
check "second copy shows its message" wait_for 20 has_message
check "second copy shows no main window" [ "$(main_windows)" -eq 1 ]
w="$(message_window)"
xdotool windowfocus --sync "$w" key Return 2>/dev/null
second_gone() { ! kill -0 "$second" 2>/dev/null; }
check "second copy ends after OK" wait_for 10 second_gone
wait "$second" 2>/dev/null
check "second copy exits cleanly" [ $? -eq 0 ]
check "first copy keeps running" kill -0 "$first"
check "first copy keeps its window" [ "$(main_windows)" -eq 1 ]

kill -9 "$first"
wait "$first" 2>/dev/null
"$exe" >/dev/null 2>&1 &
pids+=($!)
check "a killed copy does not block the next start" wait_for 20 has_main_window

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
