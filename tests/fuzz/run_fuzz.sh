#!/usr/bin/env bash
# Builds the libFuzzer targets with clang through CMake (address and undefined-behaviour
# sanitizers) and runs each for a bounded number of inputs, starting from
# the committed seeds. A crash leaves its input in the build folder; add it
# to corpus/<target>/ as a regression case once fixed.
# Usage: run_fuzz.sh BUILD_DIR [RUNS]   (default: 200000 number texts, 100000 schedules, 20000 workbooks)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$(mkdir -p "$1" && cd "$1" && pwd)"
runs="${2:-}"
command -v clang++ >/dev/null || { echo "missing: clang++ (scripts/test.sh installs clang)"; exit 1; }
mkdir -p "$build"
# A build of its own: clang, every library instrumented, the targets made by CMake.
if [ ! -f "$build/CMakeCache.txt" ]; then
  CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DQUORVANE_FUZZ=ON -DQUORVANE_GUI=OFF \
    -DQUORVANE_BENCH=OFF -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$build" --target fuzz_numtext fuzz_schedule fuzz_workbook >/dev/null
for target in numtext schedule workbook; do
  case "$target" in numtext) n=200000 ;; schedule) n=100000 ;; *) n=20000 ;; esac
  n="${runs:-$n}"
  work="$build/corpus-$target"
  mkdir -p "$work"
  echo "fuzz_$target: $n runs"
  (cd "$build" && ASAN_OPTIONS=detect_leaks=1 "tests/fuzz/fuzz_$target" -runs="$n" -max_len=4096 \
     -print_final_stats=0 "$work" "$here/corpus/$target" 2>&1 | tail -3)
done
