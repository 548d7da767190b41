#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (address and undefined-behaviour
# sanitizers) and runs each for a bounded number of inputs, starting from
# the committed seeds. A crash leaves its input in the build folder; add it
# to corpus/<target>/ as a regression case once fixed.
# Usage: run_fuzz.sh BUILD_DIR [RUNS]   (default: 200000 number texts, 100000 schedules)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$1"
runs="${2:-}"
command -v clang++ >/dev/null || { echo "missing: clang++ (scripts/test.sh installs clang)"; exit 1; }
mkdir -p "$build"
flags=(-std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
       -ffp-contract=off -I"$root/calc" -I"$root/schedule" -I"$root/platform")
calc=("$root"/calc/{numtext,params,loads,report,files,encoding}.cpp "$root/platform/os_posix.cpp")
for target in numtext schedule; do
  extra=()
  [ "$target" = schedule ] && extra=("$root"/schedule/{csv,schedule,row,book,document,xlsxread}.cpp -lminizip -lz)
  if [ ! "$build/fuzz_$target" -nt "$here/fuzz_$target.cpp" ] || [ -n "$(find "$root/calc" "$root/schedule" -newer "$build/fuzz_$target" -name '*.cpp' | head -1)" ]; then
    clang++ "${flags[@]}" "$here/fuzz_$target.cpp" "${calc[@]}" "${extra[@]}" -o "$build/fuzz_$target"
  fi
  n="${runs:-$([ "$target" = numtext ] && echo 200000 || echo 100000)}"
  work="$build/corpus-$target"
  mkdir -p "$work"
  echo "fuzz_$target: $n runs"
  (cd "$build" && ASAN_OPTIONS=detect_leaks=1 "./fuzz_$target" -runs="$n" -max_len=4096 \
     -print_final_stats=0 "$work" "$here/corpus/$target" 2>&1 | tail -3)
done
