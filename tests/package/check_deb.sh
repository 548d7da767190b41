#!/usr/bin/env bash
# The Debian package as a user meets it: cpack builds it from the build
# folder; it installs into a scratch root (dpkg -x), its programs run from
# there, it names its library dependencies, its AppStream metadata and man
# page are valid, and lintian finds no error in it.
# Usage: check_deb.sh BUILD_DIR   (prints "N passed, N failed" last)
set -u
build="$1"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
passed=0 failed=0
check() {  # check DESCRIPTION COMMAND...
  if "${@:2}"; then passed=$((passed + 1)); echo "PASS: $1"; else failed=$((failed + 1)); echo "FAIL: $1"; fi
}

if ! (cd "$build" && cpack -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1); then
  cat "$tmp/cpack.log"
  echo "0 passed, 1 failed (cpack)"
  exit 1
fi
deb="$(find "$tmp/out" -maxdepth 1 -name 'quorvane_*.deb' | head -1)"
check "cpack writes quorvane_<version>_<arch>.deb" test -n "$deb"
[ -n "$deb" ] || { echo "$passed passed, $failed failed"; exit 1; }

dpkg-deb -f "$deb" Depends >"$tmp/depends"
check "its dependencies come from the libraries it links (Qt, libxlsxwriter, minizip)" \
  sh -c "grep -q libqt6widgets6 '$tmp/depends' && grep -q libxlsxwriter '$tmp/depends' && grep -q libminizip '$tmp/depends'"

root="$tmp/root"
dpkg -x "$deb" "$root"
for f in usr/bin/quorvane usr/bin/quorvane-calc usr/bin/quorvane-schedule \
         usr/share/applications/quorvane.desktop usr/share/applications/quorvane-schedule.desktop \
         usr/share/icons/hicolor/48x48/apps/quorvane.png usr/share/metainfo/cn.quorvane.Quorvane.metainfo.xml \
         usr/share/man/man1/quorvane-calc.1 usr/share/doc/quorvane/copyright; do
  check "it installs /$f" sh -c "test -e '$root/$f' || test -e '$root/$f.gz'"
done
check "the installed quorvane-calc gives the build's digits" \
  cmp -s <("$root/usr/bin/quorvane-calc" DoorWidth=900 WindowWidth=1500) <("$build/cli/quorvane-calc" DoorWidth=900 WindowWidth=1500)
check "the AppStream metadata is valid" appstreamcli validate --no-net "$root/usr/share/metainfo/cn.quorvane.Quorvane.metainfo.xml"
man_page="$(ls "$root"/usr/share/man/man1/quorvane-calc.1* | head -1)"
check "the man page renders without warnings" \
  sh -c "LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l '$man_page' 2>'$tmp/man.err' | grep -q 'quorvane-calc' && ! test -s '$tmp/man.err'"
if command -v lintian >/dev/null; then
  lintian --no-tag-display-limit "$deb" >"$tmp/lintian.txt" 2>&1
  check "lintian finds no error" sh -c "! grep -q '^E:' '$tmp/lintian.txt'"
  grep '^E:' "$tmp/lintian.txt" | head -10
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
