#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs every target in turn, sharing a time budget: scripts/fuzz.sh [SECONDS] (default 70).
# Prints the executions of each target and fails on any crash, hang or broken invariant; the input
# that broke it is kept in build/fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."

BUDGET="${1:-70}"
BUILD_DIR="${FUZZ_BUILD_DIR:-build/fuzz}"
JOBS="${JOBS:-$(nproc)}"
TARGETS=(catalogue object_params overview model_listing script_save insert modify)

./scripts/deps.sh clang libclang-rt-14-dev cmake libcli11-dev nlohmann-json3-dev
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUORVEX_SANITIZE=ON -DQUORVEX_BUILD_FUZZ=ON -DQUORVEX_BUILD_TESTS=OFF -DQUORVEX_BUILD_UI=OFF \
  >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" --target make_fuzz_seeds "${TARGETS[@]/#/fuzz_}" >/dev/null

SEEDS="$BUILD_DIR/seeds"
rm -rf "$SEEDS"
"$BUILD_DIR/fuzz/make_fuzz_seeds" "$SEEDS"
mkdir -p "$BUILD_DIR/artifacts"

PER_TARGET=$(( BUDGET / ${#TARGETS[@]} ))
[ "$PER_TARGET" -lt 1 ] && PER_TARGET=1
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

failed=0
total=0
for target in "${TARGETS[@]}"; do
  corpus="$BUILD_DIR/corpus/$target"
  mkdir -p "$corpus"
  log="$BUILD_DIR/artifacts/$target.log"
  if "$BUILD_DIR/fuzz/fuzz_$target" "$corpus" "$SEEDS" -max_total_time="$PER_TARGET" \
      -timeout=10 -rss_limit_mb=3072 -max_len=65536 -print_final_stats=1 \
      -artifact_prefix="$BUILD_DIR/artifacts/$target-" >"$log" 2>&1; then
    status="ok"
  else
    status="FAILED (see $log)"
    failed=1
  fi
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)
  total=$(( total + ${runs:-0} ))
  printf '%-14s %10s executions in %ss  %s\n' "$target" "${runs:-0}" "$PER_TARGET" "$status"
done
printf '%-14s %10s executions\n' "all targets" "$total"
if [ "$failed" -ne 0 ]; then
  echo "fuzzing found a failure"
  exit 1
fi
