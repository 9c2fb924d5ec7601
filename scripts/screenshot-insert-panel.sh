#!/usr/bin/env bash
# Makes docs/insert-panel.png: the window with the insert panel open on the demo scene, as the
# README's "Inserting an object" walk-through describes it. Uses a virtual X display when
# xvfb-run is installed, the offscreen platform otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR="${BUILD_DIR:-build/screenshot}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_BUILD_UI=ON >/dev/null
cmake --build "$BUILD_DIR" -j "${JOBS:-2}" --target quorvex-window-picture

mkdir -p docs
picture=("$BUILD_DIR/scripts/window-picture/quorvex-window-picture" --insert-panel
  "$PWD/docs/insert-panel.png" samples/demo/scene2.bin)
if command -v xvfb-run >/dev/null; then
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "${picture[@]}"
else
  QT_QPA_PLATFORM=offscreen "${picture[@]}"
fi
