#!/usr/bin/env bash
# Installs what is missing, builds, and runs Quorvex on the bundled demo scene.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/deps.sh $(grep -v '^#' scripts/packages.txt)

BUILD_DIR="${BUILD_DIR:-build/release}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DQUORVEX_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target quorvex-cli

exec "$BUILD_DIR/src/cli/quorvex-cli" catalogue samples/demo/scene2.bin
