#!/usr/bin/env bash
# Makes docs/screenshot.png: the window on the demo scene after "Start", with a script shown.
# Runs the real window on a virtual X display (xvfb-run).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/deps.sh xvfb xauth imagemagick

BUILD_DIR="${BUILD_DIR:-build/release}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DQUORVEX_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "${JOBS:-2}" --target quorvex-window-picture

mkdir -p docs
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1366x768x24 -dpi 96" \
  "$BUILD_DIR/scripts/window-picture/quorvex-window-picture" "$PWD/docs/screenshot.png" \
  samples/demo/scene2.bin
