#!/usr/bin/env bash
# An Excel workbook as LibreOffice Calc writes it: the example floor
# schedule converted by LibreOffice (headless, a private profile) reads in
# quorvane-calc to the same results as the CSV it came from.
# Usage: libreoffice_workbook.sh QUORVANE-CALC EXAMPLE.csv   (prints "N passed, N failed")
set -u
calc="$1" example="$2"
command -v soffice >/dev/null || { echo "missing: soffice (scripts/test.sh installs libreoffice-calc-nogui)"; echo "0 passed, 1 failed"; exit 1; }
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
cp "$example" "$tmp/floor.csv"
# 76: UTF-8, the example's encoding.
soffice -env:UserInstallation="file://$tmp/profile" --headless --convert-to xlsx --infilter="CSV:44,34,76" \
  --outdir "$tmp" "$tmp/floor.csv" >"$tmp/soffice.log" 2>&1
passed=0 failed=0
check() { if "${@:2}"; then passed=$((passed + 1)); echo "PASS: $1"; else failed=$((failed + 1)); echo "FAIL: $1"; fi; }
check "LibreOffice writes the workbook" test -s "$tmp/floor.xlsx"
"$calc" --csv "$tmp/floor.xlsx" -o "$tmp/from-book.csv" 2>"$tmp/book.err"
"$calc" --csv "$tmp/floor.csv" -o "$tmp/from-csv.csv" 2>"$tmp/csv.err"
# The workbook's results come as UTF-8 with a byte-order mark; the rest is the same.
check "its results equal the CSV's, digit for digit" \
  cmp -s <(sed '1s/^\xEF\xBB\xBF//' "$tmp/from-book.csv") <(sed '1s/^\xEF\xBB\xBF//' "$tmp/from-csv.csv")
check "every beam is there" test "$(wc -l <"$tmp/from-book.csv")" -eq "$(wc -l <"$tmp/from-csv.csv")" -a "$(wc -l <"$tmp/from-csv.csv")" -gt 2
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
