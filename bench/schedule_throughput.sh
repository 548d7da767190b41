#!/usr/bin/env bash
# Beam-schedule throughput: a generated schedule through quorvane-calc --csv
# end to end (no reports), and through the plain-Python yardstick, in the
# same run. Usage: bench/schedule_throughput.sh [BUILD_DIR] [ROWS]
# Aim: 1,000,000 rows/s on one core and at least 30x the script.
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
build="${1:-$here/../build}"
rows="${2:-1000000}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
python3 "$here/make_schedule.py" "$rows" > "$tmp/in.csv"

seconds() {  # seconds COMMAND...: wall time of one run, pinned to one core
  local start end
  start=$(date +%s%N)
  taskset -c 0 "$@" >/dev/null
  end=$(date +%s%N)
  echo "$(( (end - start) / 1000000 ))"
}
calc_ms=$(seconds "$build/cli/quorvane-calc" --csv "$tmp/in.csv" -o "$tmp/out.csv")
peak_kb=$( { /usr/bin/time -f %M "$build/cli/quorvane-calc" --csv "$tmp/in.csv" -o /dev/null; } 2>&1 | tail -1)
py_ms=$(seconds python3 "$here/schedule_reference.py" "$tmp/in.csv" "$tmp/ref.csv")
awk -v n="$rows" -v c="$calc_ms" -v p="$py_ms" -v kb="$peak_kb" 'BEGIN {
  printf "quorvane-calc  %10.0f rows/s  (%d ms, peak %d kB)\n", n / (c / 1000), c, kb
  printf "python csv     %10.0f rows/s  (%d ms)\n", n / (p / 1000), p
  printf "ratio          %10.1fx  (aim: >= 30x, and >= 1,000,000 rows/s)\n", p / c
}'
# Same digits as the yardstick, Error column aside (the script checks nothing).
if ! cmp -s <(cut -d, -f20-24 "$tmp/out.csv" | tr -d '\r') <(cut -d, -f20-24 "$tmp/ref.csv" | tr -d '\r'); then
  echo "note: results differ from the yardstick's" >&2
fi
