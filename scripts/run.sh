#!/usr/bin/env bash
# Builds Quorvane and runs its main job. Installs what is missing (Debian 12).
# Usage: bash scripts/run.sh              the quick calculator's window
#        bash scripts/run.sh schedule [FILE.csv]   the 梁表 window
source "$(dirname "$0")/common.sh"

# fonts-noto-cjk: a fresh machine has no Chinese font, and every caption
# would show as boxes.
install_packages "${BUILD_PACKAGES[@]}" fonts-noto-cjk
build
display=
{ [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; } && display=1
if [ "${1:-}" = schedule ]; then
  shift
  [ -n "$display" ] && exec "$BUILD_DIR/scheduleui/quorvane-schedule" "$@"
  echo "No display: the schedule goes through the command-line calculator instead of the 梁表 window."
  exec "$BUILD_DIR/cli/quorvane-calc" --csv "${1:-$ROOT/docs/examples/三层梁表.csv}"
fi
if [ -n "$display" ]; then
  exec "$BUILD_DIR/app/quorvane"
fi
echo "No display: running the command-line calculator on the default beam instead of the window."
"$BUILD_DIR/cli/quorvane-calc" "$@"
echo
"$BUILD_DIR/cli/quorvane-calc" --report "$@"
