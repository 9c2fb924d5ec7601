#!/usr/bin/env bash
# The long crash-safety run: scripts/crash.sh [KILLS] [MIB] (default 300 kills on a 48 MiB scene).
# quorvex-cli is killed at random moments during length-changing saves and insertions; after each
# kill the scene must be exactly the old or the new content. Also scans a 2 GiB - 1 byte scene, the
# largest the 32-bit lengths allow.
set -euo pipefail
cd "$(dirname "$0")/.."

KILLS="${1:-300}"
MIB="${2:-48}"
BUILD_DIR="${CRASH_BUILD_DIR:-build/reliability-release}"
JOBS="${JOBS:-$(nproc)}"

./scripts/deps.sh $(grep -v '^#' scripts/packages.txt)
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DQUORVEX_BUILD_UI=OFF -DQUORVEX_BUILD_TESTS=ON \
  -DQUORVEX_SANITIZE=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" --target quorvex_reliability_tests quorvex-cli >/dev/null
QUORVEX_CRASH_KILLS="$KILLS" QUORVEX_CRASH_MIB="$MIB" QUORVEX_LARGE_FILES=1 \
  "$BUILD_DIR/tests/reliability/quorvex_reliability_tests" --gtest_filter='CrashSafety.*:Hostile.TheLargestScene*'
