#!/usr/bin/env bash
# Builds Quorvane and runs its main job. Installs what is missing (Debian 12).
source "$(dirname "$0")/common.sh"

# fonts-noto-cjk: a fresh machine has no Chinese font, and every caption
# would show as boxes.
install_packages "${BUILD_PACKAGES[@]}" fonts-noto-cjk
build
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$BUILD_DIR/app/quorvane"
fi
echo "No display: running the command-line calculator on the default beam instead of the window."
"$BUILD_DIR/cli/quorvane-calc" "$@"
echo
"$BUILD_DIR/cli/quorvane-calc" --report "$@"
