#!/usr/bin/env bash
# Beam-schedule throughput: a generated schedule through quorvane-calc --csv
# end to end (no reports), beside the first schedule version of the tool
# (commit 5555acc, built once into the cache) and the plain-Python
# yardstick, in the same run, interleaved so that a loaded machine slows
# all alike. Usage: bench/schedule_throughput.sh [BUILD_DIR] [ROWS] [ROUNDS]
# Aims: 1,000,000 rows/s on one core, at least 30x the script, and no more
# CPU time than the first version (at most 1.0x).
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/.." && pwd)"
build="${1:-$here/../build}"
rows="${2:-1000000}"
rounds="${3:-3}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
python3 "$here/make_schedule.py" "$rows" > "$tmp/in.csv"

# The first schedule version, from this repository's history, built once.
baseline_commit=5555acc
cache="${QUORVANE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quorvane}/bench-$baseline_commit"
baseline="$cache/build/cli/quorvane-calc"
if [ ! -x "$baseline" ] && git -C "$root" cat-file -e "$baseline_commit^{commit}" 2>/dev/null; then
  rm -rf "$cache" && mkdir -p "$cache"
  git -C "$root" archive "$baseline_commit" | tar -x -C "$cache" --one-top-level=src
  cmake -S "$cache/src" -B "$cache/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DQUORVANE_BENCH=OFF -DQUORVANE_GUI=OFF >/dev/null && cmake --build "$cache/build" --target quorvane-calc >/dev/null ||
    echo "note: the first version did not build; compared with the script only" >&2
fi

cpu_ms() {  # cpu_ms COMMAND...: user+system CPU time of one run, pinned to one core
  { /usr/bin/time -f '%U %S' taskset -c 0 "$@" >/dev/null; } 2>&1 | tail -1 | awk '{ printf "%d", ($1 + $2) * 1000 }'
}
best() { sort -n | head -1; }
now=() old=() py=()
for _ in $(seq "$rounds"); do
  now+=("$(cpu_ms "$build/cli/quorvane-calc" --csv "$tmp/in.csv" -o "$tmp/out.csv")")
  [ -x "$baseline" ] && old+=("$(cpu_ms "$baseline" --csv "$tmp/in.csv" -o "$tmp/old.csv")")
  py+=("$(cpu_ms python3 "$here/schedule_reference.py" "$tmp/in.csv" "$tmp/ref.csv")")
done
calc_ms=$(printf '%s\n' "${now[@]}" | best)
py_ms=$(printf '%s\n' "${py[@]}" | best)
old_ms=$( [ ${#old[@]} -gt 0 ] && printf '%s\n' "${old[@]}" | best || echo 0)
# Results to standard output, never to a device given as a file.
peak_kb=$( { /usr/bin/time -f %M "$build/cli/quorvane-calc" --csv "$tmp/in.csv" >/dev/null; } 2>&1 | tail -1)
awk -v n="$rows" -v c="$calc_ms" -v p="$py_ms" -v o="$old_ms" -v kb="$peak_kb" 'BEGIN {
  if (c < 1) c = 1
  printf "quorvane-calc  %10.0f rows/s  (%d ms CPU, best of the rounds; peak %d kB)\n", n / (c / 1000), c, kb
  if (o > 0) printf "first version  %10.0f rows/s  (%d ms CPU)\n", n / (o / 1000), o
  printf "python csv     %10.0f rows/s  (%d ms CPU)\n", n / (p / 1000), p
  printf "vs script      %10.1fx  (aim: >= 30x, and >= 1,000,000 rows/s)\n", p / c
  if (o > 0) printf "vs first       %10.2fx CPU time  (aim: <= 1.00x)\n", c / o
}'
# Same digits as the yardstick in every result column, found by name (a
# column added or moved cannot shift the comparison); a difference fails.
python3 - "$tmp/out.csv" "$tmp/ref.csv" <<'PY'
import csv, sys
results = ["BeamSelfWeight", "MasonryWeight", "TotalDeadLoad", "CadInputLoad", "CopiedLoad"]
with open(sys.argv[1], encoding="utf-8-sig", newline="") as a, open(sys.argv[2], encoding="utf-8-sig", newline="") as b:
    ours, theirs = csv.DictReader(a), csv.DictReader(b)
    missing = [c for c in results if c not in (ours.fieldnames or []) or c not in (theirs.fieldnames or [])]
    if missing:
        sys.exit("results cannot be compared: no column " + ", ".join(missing))
    for n, (x, y) in enumerate(zip(ours, theirs), 2):
        for c in results:
            if x[c] != y[c]:
                sys.exit("line %d, %s: %s here, %s in the yardstick" % (n, c, x[c], y[c]))
PY
