#!/usr/bin/env bash
# Builds a Release of the window and quorvex-cli in a clean folder and makes the Debian package
# with CPack. The package lands in that folder (quorvex_VERSION_ARCH.deb); install it with
#   sudo apt install ./build/package/quorvex_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/deps.sh $(grep -v '^#' scripts/packages.txt) dpkg-dev

BUILD_DIR="${BUILD_DIR:-build/package}"
rm -rf "$BUILD_DIR"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DQUORVEX_BUILD_UI=ON \
  -DQUORVEX_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "${JOBS:-2}" --target quorvex quorvex-cli
(cd "$BUILD_DIR" && cpack -G DEB)
ls "$BUILD_DIR"/*.deb
