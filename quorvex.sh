#!/usr/bin/env bash
# Installs what is missing, builds, and opens the Quorvex window on the bundled demo scene.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/deps.sh $(grep -v '^#' scripts/packages.txt)

BUILD_DIR="${BUILD_DIR:-build/release}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DQUORVEX_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)" --target quorvex quorvex-cli

# The window opens with the demo scene selected in its file browser: press "Start" to load it.
# Without a display there is no window; the script list of the demo scene is printed instead.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: showing the demo scene's script list with quorvex-cli instead." >&2
  exec "$BUILD_DIR/src/cli/quorvex-cli" catalogue samples/demo/scene2.bin
fi
exec "$BUILD_DIR/src/ui/quorvex" samples/demo/scene2.bin
