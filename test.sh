#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer, and runs
# every test through ctest.
set -euo pipefail
cd "$(dirname "$0")"

./scripts/deps.sh $(grep -v '^#' scripts/packages.txt)

BUILD_DIR="${BUILD_DIR:-build/asan}"
JOBS="${JOBS:-$(nproc)}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_SANITIZE=ON \
  -DQUORVEX_BUILD_UI=ON -DQUORVEX_BUILD_TESTS=ON >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:strict_string_checks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS" --timeout 600
