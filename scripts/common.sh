# Shared by run.sh and test.sh: install what is missing, then configure and build.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${QUORVANE_BUILD_DIR:-$ROOT/build}"

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# install_packages PKG...: apt-get install the ones that are not installed yet.
install_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# ensure_locales NAME...: generate the given locales (e.g. "de_DE.UTF-8 UTF-8").
ensure_locales() {
  local changed=0
  for entry in "$@"; do
    local name="${entry%% *}"
    local norm
    norm="$(echo "$name" | tr 'A-Z' 'a-z' | sed 's/-//g')"
    if ! locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/-//g' | grep -qx "$norm"; then
      if ! grep -qx "$entry" /etc/locale.gen 2>/dev/null; then
        echo "$entry" | as_root tee -a /etc/locale.gen >/dev/null
      fi
      changed=1
    fi
  done
  if [ $changed -eq 1 ]; then as_root locale-gen >/dev/null; fi
}

BUILD_PACKAGES=(g++ cmake ninja-build qt6-base-dev libgl-dev libcli11-dev libgtest-dev libbenchmark-dev libxlsxwriter-dev libminizip-dev libexpat1-dev libxml2-dev zlib1g-dev qt6-translations-l10n fonts-wqy-microhei)

# build [CMAKE-ARGS...]: configure when new (or when given arguments), then build.
build() {
  local generator=()
  command -v ninja >/dev/null && generator=(-G Ninja)
  if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD_DIR" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
  elif [ $# -gt 0 ]; then
    cmake -S "$ROOT" -B "$BUILD_DIR" "$@" >/dev/null
  fi
  cmake --build "$BUILD_DIR" --parallel "$(nproc)"
}
