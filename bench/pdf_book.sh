#!/usr/bin/env bash
# The PDF calculation book as the user waits for it: the whole
# quorvane-calc --csv ... --pdf process on 1,000 and 10,000 beams, wall and
# CPU time and peak memory, beside the same run without --pdf (the yardstick).
# Aims: 10,000 beams <= 5 s of CPU, peak <= 200 MiB (pages are written as
# they are made).
# Usage: bash bench/pdf_book.sh [BUILD_DIR]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
calc="$build/cli/quorvane-calc"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
measure() {  # measure LABEL COMMAND...: wall and CPU seconds, peak resident MiB
  /usr/bin/time -f "%e %U %S %M" -o "$tmp/time" "${@:2}" >/dev/null 2>&1 || true
  read -r seconds user system kib <"$tmp/time"
  printf '%-34s %7.2f s %7.2f s CPU %8.1f MiB\n' "$1" "$seconds" "$(echo "$user + $system" | bc -l)" \
    "$(echo "$kib / 1024" | bc -l)"
}
for n in 1000 10000; do
  /usr/bin/python3 "$root/bench/make_schedule.py" "$n" >"$tmp/in.csv"
  measure "$n beams, CSV only (yardstick)" "$calc" --csv "$tmp/in.csv" -o "$tmp/out.csv"
  measure "$n beams, CSV and PDF" "$calc" --csv "$tmp/in.csv" -o "$tmp/out.csv" --pdf "$tmp/book.pdf"
  printf '%-34s %7d pages %6.1f MiB file\n' "" "$(pdfinfo "$tmp/book.pdf" | awk '/^Pages/ {print $2}')" \
    "$(echo "$(stat -c %s "$tmp/book.pdf") / 1048576" | bc -l)"
done
