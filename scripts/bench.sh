#!/usr/bin/env bash
# Builds the benchmarks (optimised, no sanitizers), generates the 1, 16 and 64 MiB scenes, runs
# every benchmark and prints one table of the figures with their targets.
#
#   scripts/bench.sh                  everything
#   LITERAL_MAX_MIB=64 scripts/bench.sh   also run the literal file-read scans on 64 MiB
#                                         (instead of extrapolating from 16 MiB; minutes)
#   QUORVEX_BENCH_ARGS="--benchmark_min_time=1" scripts/bench.sh   extra Google Benchmark flags
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/deps.sh $(grep -v '^#' scripts/packages.txt)

BUILD_DIR="${BUILD_DIR:-build/bench}"
JOBS="${JOBS:-$(nproc)}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEX_SANITIZE=OFF \
  -DQUORVEX_BUILD_BENCH=ON -DQUORVEX_BUILD_TESTS=OFF -DQUORVEX_BUILD_UI=ON >/dev/null
targets=(quorvex_bench_scenes quorvex_bench quorvex-cli)
cmake --build "$BUILD_DIR" --target help 2>/dev/null | grep -q "quorvex_window_bench" \
  && targets+=(quorvex_window_bench)
cmake --build "$BUILD_DIR" -j "$JOBS" --target "${targets[@]}"

SCENES="$BUILD_DIR/scenes"
FIGURES="$BUILD_DIR/figures.tsv"
LOG="$BUILD_DIR/bench.log"
mkdir -p "$SCENES"
: >"$FIGURES"
"$BUILD_DIR/bench/quorvex_bench_scenes" "$SCENES"

status=0
# shellcheck disable=SC2086
"$BUILD_DIR/bench/quorvex_bench" --scenes "$SCENES" --cli "$BUILD_DIR/src/cli/quorvex-cli" \
  --figures "$FIGURES" --literal-max-mib "${LITERAL_MAX_MIB:-16}" ${QUORVEX_BENCH_ARGS:-} \
  --benchmark_color=false >"$LOG" 2>&1 || status=$?
if [ -x "$BUILD_DIR/bench/quorvex_window_bench" ]; then
  QT_QPA_PLATFORM=offscreen "$BUILD_DIR/bench/quorvex_window_bench" \
    --scenes "$SCENES" --figures "$FIGURES" >>"$LOG" 2>&1 || status=$?
else
  printf 'window figures\t16 MiB\tnot built (no Qt 6)\t-\t-\n' >>"$FIGURES"
fi

cpu=$(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //')
mem=$(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)
echo
echo "Quorvex benchmarks — $(nproc) cores, $cpu, $mem RAM, $(uname -sr)"
echo "Scans, overview and window: CPU time of the working thread (best of 3 / median of 5);"
echo "saves and insertion: wall-clock median of 7 (they wait for the disk). Details: $LOG"
echo
{
  printf 'Figure\tScene\tMeasured\tTarget\tMet\n'
  cat "$FIGURES"
} | column -t -s $'\t'
met=$(awk -F'\t' '$5 == "yes"' "$FIGURES" | wc -l)
missed=$(awk -F'\t' '$5 == "NO"' "$FIGURES" | wc -l)
echo
echo "Targets met: $met, not met: $missed"
[ "$status" -eq 0 ] || echo "A benchmark program failed (status $status); see $LOG" >&2
exit "$status"
