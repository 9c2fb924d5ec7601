#!/usr/bin/env bash
# Makes docs/resized.png: the window grown beyond its design size, with a scene loaded and a script
# shown, as the README's "A larger window" shows it. Uses a virtual X display when xvfb-run is
# installed, the offscreen platform otherwise.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR="${BUILD_DIR:-build/screenshot}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_BUILD_UI=ON \
  -DQUORVEX_BUILD_TESTS=ON >/dev/null
cmake --build "$BUILD_DIR" -j "${JOBS:-2}" --target quorvex_ui_form1_test

mkdir -p docs
export QUORVEX_SCREENSHOT="$PWD/docs/resized.png"
test_binary="$BUILD_DIR/tests/ui/quorvex_ui_form1_test"
if command -v xvfb-run >/dev/null; then
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1000x24 -dpi 96" "$test_binary" \
    screenshotOfTheGrownWindow
else
  QT_QPA_PLATFORM=offscreen "$test_binary" screenshotOfTheGrownWindow
fi
echo "wrote $QUORVEX_SCREENSHOT"
