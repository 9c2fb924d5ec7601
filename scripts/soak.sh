#!/usr/bin/env bash
# The long model-based soak: scripts/soak.sh [OPERATIONS] [SEED] (default 100000 operations),
# random edits through the real writers on a Release build, each checked against the model.
set -euo pipefail
cd "$(dirname "$0")/.."

OPERATIONS="${1:-100000}"
SEED="${2:-20240611}"
BUILD_DIR="${SOAK_BUILD_DIR:-build/reliability-release}"
JOBS="${JOBS:-$(nproc)}"

./scripts/deps.sh $(grep -v '^#' scripts/packages.txt)
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DQUORVEX_BUILD_UI=OFF -DQUORVEX_BUILD_TESTS=ON \
  -DQUORVEX_SANITIZE=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" --target quorvex_reliability_tests >/dev/null
QUORVEX_SOAK_OPERATIONS="$OPERATIONS" QUORVEX_SOAK_SEED="$SEED" \
  "$BUILD_DIR/tests/reliability/quorvex_reliability_tests" --gtest_filter='Soak.*'
