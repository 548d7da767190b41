#!/usr/bin/env bash
# Builds Quorvane and runs its main job. Installs what is missing (Debian 12).
source "$(dirname "$0")/common.sh"

install_packages "${BUILD_PACKAGES[@]}"
build
# The default beam: the four results and the copied load, then the report.
"$BUILD_DIR/cli/quorvane-calc" "$@"
echo
"$BUILD_DIR/cli/quorvane-calc" --report "$@"
