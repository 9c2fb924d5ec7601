#!/usr/bin/env bash
# Builds a Release of the window and quorvex-cli in a clean folder and makes the Debian package
# with CPack, with the manual pages (help2man), the licence and the changelog. Then checks it as
# Debian does: desktop-file-validate on the desktop entry and lintian (default profile) on the
# package must both report nothing, or the script fails. The package lands in that folder
# (quorvex_VERSION_ARCH.deb); install it with
#   sudo apt install ./build/package/quorvex_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/deps.sh $(grep -v '^#' scripts/packages.txt) dpkg-dev lintian desktop-file-utils

BUILD_DIR="${BUILD_DIR:-build/package}"
rm -rf "$BUILD_DIR"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DQUORVEX_BUILD_UI=ON \
  -DQUORVEX_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "${JOBS:-2}" --target quorvex quorvex-cli quorvex_man_pages \
  quorvex_changelog
(cd "$BUILD_DIR" && cpack -G DEB)
deb=$(ls "$BUILD_DIR"/*.deb)
echo "$deb"

report=$(desktop-file-validate packaging/quorvex.desktop 2>&1) || true
if [ -n "$report" ]; then
  echo "desktop-file-validate packaging/quorvex.desktop:" >&2
  echo "$report" >&2
  exit 1
fi
# Only lintian's findings on standard output count: it also warns on standard error when run as
# root. Status 2 is lintian failing to check at all.
status=0
report=$(lintian "$deb" 2>"$BUILD_DIR/lintian.stderr") || status=$?
if [ -n "$report" ] || [ "$status" -gt 1 ]; then
  echo "lintian $deb (status $status):" >&2
  echo "$report" >&2
  cat "$BUILD_DIR/lintian.stderr" >&2
  exit 1
fi
echo "desktop-file-validate and lintian: nothing to report"
