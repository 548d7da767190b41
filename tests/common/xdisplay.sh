# Shared by the shell tests and scripts that drive real windows: a private
# X display, polling instead of fixed waits, and PASS/FAIL lines counted.
# Source it; call stop_x_display from the caller's EXIT trap.

passed=0 failed=0
pass() { passed=$((passed + 1)); echo "PASS: $1"; }
fail() { failed=$((failed + 1)); echo "FAIL: $1${2:+ ($2)}"; }
check() { if "${@:2}"; then pass "$1"; else fail "$1"; fi; }  # check DESCRIPTION COMMAND...

wait_for() {  # wait_for SECONDS COMMAND...: polls until the command succeeds, at most that long
  local end=$((SECONDS + $1))
  while :; do
    "${@:2}" && return 0
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}

x_pids=()
# start_x_display WIDTHxHEIGHT [wm]: Xvfb on a display number it picks
# itself (so parallel tests never share one), DISPLAY set; with "wm",
# openbox as well. Returns once they answer.
start_x_display() {
  local numbers
  numbers="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp -noreset 3>"$numbers" >/dev/null 2>&1 &
  x_pids+=($!)
  wait_for 20 test -s "$numbers" || { echo "Xvfb did not start"; rm -f "$numbers"; return 1; }
  export DISPLAY=":$(head -1 "$numbers")"
  rm -f "$numbers"
  if [ "${2:-}" = wm ]; then
    openbox >/dev/null 2>&1 &
    x_pids+=($!)
    wait_for 20 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"'
  fi
}

stop_x_display() { [ ${#x_pids[@]} -gt 0 ] && kill "${x_pids[@]}" 2>/dev/null; x_pids=(); }
