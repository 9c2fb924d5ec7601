#!/usr/bin/env bash
# Makes docs/insert-panel.png: the window with the insert panel open on the demo scene, as the
# README's "Inserting an object" walk-through describes it. Uses a virtual X display when
# xvfb-run is installed, the offscreen platform otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR="${BUILD_DIR:-build/screenshot}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_BUILD_UI=ON \
  -DQUORVEX_BUILD_TESTS=ON >/dev/null
cmake --build "$BUILD_DIR" -j "${JOBS:-2}" --target quorvex_ui_insert_panel_test

mkdir -p docs
export QUORVEX_SCREENSHOT="$PWD/docs/insert-panel.png"
test_binary="$BUILD_DIR/tests/ui/quorvex_ui_insert_panel_test"
if command -v xvfb-run >/dev/null; then
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" "$test_binary" screenshotForTheReadme
else
  QT_QPA_PLATFORM=offscreen "$test_binary" screenshotForTheReadme
fi
echo "wrote $QUORVEX_SCREENSHOT"
