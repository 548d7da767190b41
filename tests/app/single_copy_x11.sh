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
pids=()
cleanup() { kill -9 "${pids[@]}" 2>/dev/null; wait 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT

n=90
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$n"
for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.05; done

passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); echo "PASS: $1"; else failed=$((failed + 1)); echo "FAIL: $1"; fi
}
main_windows() { xdotool search --onlyvisible --name '^Quorvane\(Tessmoor\)$' 2>/dev/null | wc -l; }
wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local end=$((SECONDS + $1))
  while [ $SECONDS -lt $end ]; do "${@:2}" && return 0; sleep 0.1; done
  return 1
}
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
