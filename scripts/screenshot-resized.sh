#!/usr/bin/env bash
# Makes docs/resized.png: the window grown beyond its design size, with the demo scene loaded and
# a script shown, as the README's "A larger window" shows it. Uses a virtual X display when
# xvfb-run is installed, the offscreen platform otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR="${BUILD_DIR:-build/screenshot}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_BUILD_UI=ON >/dev/null
cmake --build "$BUILD_DIR" -j "${JOBS:-2}" --target quorvex-window-picture

mkdir -p docs
picture=("$BUILD_DIR/scripts/window-picture/quorvex-window-picture" --grown
  "$PWD/docs/resized.png" samples/demo/scene2.bin)
if command -v xvfb-run >/dev/null; then
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1000x24 -dpi 96" "${picture[@]}"
else
  QT_QPA_PLATFORM=offscreen "${picture[@]}"
fi
