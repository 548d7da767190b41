#!/usr/bin/env bash
# quorvane-calc built for ARM64 (where the compiler may fuse multiply-add)
# and checked against the reference model under qemu-user.
# Usage: run_arm64.sh BUILD_DIR [check_schedule.py options]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
build="$1"
shift
for tool in aarch64-linux-gnu-g++ qemu-aarch64; do
  command -v "$tool" >/dev/null || { echo "missing: $tool (scripts/test.sh installs it)"; exit 1; }
done
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$here/aarch64.cmake" \
    -DQUORVANE_GUI=OFF -DQUORVANE_BENCH=OFF -DBUILD_TESTING=OFF >/dev/null
fi
cmake --build "$build" --target quorvane-calc >/dev/null
readelf -h "$build/cli/quorvane-calc" | grep -q AArch64 || { echo "not an ARM64 program"; exit 1; }
exec "${PYTHON:-python3}" "$here/check_schedule.py" "$@" -- \
  qemu-aarch64 -L /usr/aarch64-linux-gnu "$build/cli/quorvane-calc"
