#!/usr/bin/env bash
# Start-up time (process start to window mapped) and peak memory of quorvane,
# side by side with a minimal Qt 6 window of as many widgets, on a private
# Xvfb. Usage: bench/startup.sh [BUILD_DIR] [RUNS]   Aim: within 1.15x.
set -u
build="${1:-$(dirname "$0")/../build}"
runs="${2:-15}"
tmp="$(mktemp -d)"
export HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/run" QT_QPA_PLATFORM=xcb
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
n=90
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$tmp"' EXIT
export DISPLAY=":$n"
for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.05; done

# measure EXE TITLE: prints "milliseconds peak-kB" for one start.
measure() {
  local start end pid kb
  start=$(date +%s%N)
  "$1" >/dev/null 2>"$tmp/err" &
  pid=$!
  until xdotool search --onlyvisible --name "$2" >/dev/null 2>&1; do
    kill -0 "$pid" 2>/dev/null || { echo "$1 ended before its window showed: $(cat "$tmp/err")" >&2; exit 1; }
  done
  end=$(date +%s%N)
  sleep 0.3  # let the first frame settle before reading the peak
  kb=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
  kill "$pid"; wait "$pid" 2>/dev/null
  echo "$(( (end - start) / 1000000 )) $kb"
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

declare -A ms kb
for name in quorvane minimal; do
  if [ $name = quorvane ]; then exe="$build/app/quorvane"; title='^Quorvane\(Tessmoor\)$'
  else exe="$build/bench/minimal_window"; title='^Minimal window$'; fi
  measure "$exe" "$title" >/dev/null  # warm the caches
  results=$(for _ in $(seq "$runs"); do measure "$exe" "$title"; done)
  ms[$name]=$(echo "$results" | awk '{print $1}' | median)
  kb[$name]=$(echo "$results" | awk '{print $2}' | median)
done
printf '%-10s %8s %10s\n' program "ms" "peak kB"
for name in quorvane minimal; do printf '%-10s %8s %10s\n' $name "${ms[$name]}" "${kb[$name]}"; done
awk -v a="${ms[quorvane]}" -v b="${ms[minimal]}" -v c="${kb[quorvane]}" -v d="${kb[minimal]}" \
  'BEGIN { printf "ratio      %8.2f %10.2f   (aim: <= 1.15)\n", a / b, c / d }'
