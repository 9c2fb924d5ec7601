#!/usr/bin/env bash
# The Windows side, checked from Linux: cross-builds the core library, quorvex-cli and the core
# tests as 64-bit Windows executables with mingw-w64, runs the core tests under Wine, then runs
# quorvex-cli under Wine on a scene in a folder with a non-ASCII name and compares every output,
# exit status and rewritten scene with those of the Linux quorvex-cli on the same input. Where Qt
# for Windows is at hand (scripts/windows-qt.sh --find: ../shared/ or the cache), it also builds
# the window and runs the window tests under Wine on Qt's offscreen platform; where it is not, it
# says so and skips them.
#
#   scripts/windows-check.sh               everything
#   scripts/windows-check.sh --tests-only  the core tests and the window tests under Wine (CI)
#   scripts/windows-check.sh --core-only   only the core tests under Wine
#
# Installs what is missing (mingw-w64, Wine, GoogleTest sources, header-only libraries). Wine runs
# headless in a private prefix under the build folder. Environment: WINDOWS_BUILD_DIR (default
# build/windows), NATIVE_CLI (a Linux quorvex-cli to compare with; built when absent), JOBS.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

CORE_ONLY=0
WINDOW=1
case "${1:-}" in
  "") ;;
  --tests-only) CORE_ONLY=1 ;;
  --core-only) CORE_ONLY=1; WINDOW=0 ;;
  *) echo "usage: $0 [--tests-only | --core-only]" >&2; exit 1 ;;
esac

started=$(date +%s)
stamp() { echo "[windows-check $(( $(date +%s) - started ))s] $*"; }

./scripts/deps.sh cmake make g++-mingw-w64-x86-64 wine64 wine googletest nlohmann-json3-dev \
  libcli11-dev
stamp "tools ready"

# Qt for Windows, when at hand; never built here (that takes over an hour).
QT_DIR=""
skipped=()
if [ "$WINDOW" = 1 ]; then
  if QT_DIR=$(./scripts/windows-qt.sh --find 2>/dev/null | tail -1) && [ -n "$QT_DIR" ]; then
    ./scripts/deps.sh qt6-base-dev-tools fonts-dejavu-core  # moc and uic of the same Qt version
    stamp "Qt for Windows: $QT_DIR"
  else
    QT_DIR=""
    WINDOW=0
    skipped+=("the window and the window tests: no Qt for Windows in ../shared/ or the cache;"
      "scripts/windows-qt.sh builds it (about 75 minutes on two cores)")
  fi
fi

BUILD_DIR="${WINDOWS_BUILD_DIR:-build/windows}"
JOBS="${JOBS:-$(nproc)}"
cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DQUORVEX_BUILD_UI="$([ "$WINDOW" = 1 ] && echo ON || echo OFF)" \
  -DQUORVEX_QT_DIR="$QT_DIR" -DQUORVEX_BUILD_TESTS=ON >/dev/null
# Each part is built on its own, so that one that fails to build still lets the others run.
built=()
build() {
  if cmake --build "$BUILD_DIR" -j "$JOBS" --target "$@"; then built+=("$@"); return 0; fi
  return 1
}
core_built=1
build quorvex_core_tests || core_built=0
cli_built=0
if [ "$CORE_ONLY" = 0 ]; then
  build quorvex-cli make_demo_scene && cli_built=1
elif [ "$WINDOW" = 1 ]; then
  build quorvex-cli || true  # the core test of a held scene runs it
fi
window_tests=(form1_test byte_text_edit_test script_edit_test insert_panel_test overview_view_test
  model_name_list_test window_states_test window_truth_test)
window_built=()
if [ "$WINDOW" = 1 ]; then
  build quorvex || true
  for name in "${window_tests[@]}"; do
    if build "quorvex_ui_$name"; then window_built+=("$name"); fi
  done
fi
stamp "cross-built: ${built[*]:-nothing}"

# Wine: 64-bit, private prefix, no display, no downloads of optional components, UTF-8 for the
# Unix side of file names and arguments.
export WINEPREFIX="$ROOT/$BUILD_DIR/wineprefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
stop_wine() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wine wineboot --init >/dev/null 2>&1 || true
  wineserver -w
  stamp "Wine prefix created"
fi

passed=0
failed=0
failures=()
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); failures+=("$1"); echo "FAILED: $1"; }

# --- Core tests ---------------------------------------------------------------------------------
tests_exe="$BUILD_DIR/tests/quorvex_core_tests.exe"
cli_exe="$BUILD_DIR/src/cli/quorvex-cli.exe"
log="$BUILD_DIR/core-tests.log"
cli_env=""
[ -f "$cli_exe" ] && cli_env=$(winepath -w "$ROOT/$cli_exe")
core_status=0
if [ "$core_built" = 1 ]; then
  QUORVEX_CLI="$cli_env" timeout 900 wine "$tests_exe" --gtest_brief=1 2>&1 | tee "$log" \
    || core_status=$?
else
  echo "the core tests did not build for Windows" >"$log"
  core_status=125
fi
core_passed=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
core_failed=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
core_skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) test.*/\1/p' "$log" | tail -1)
core_passed=${core_passed:-0}
core_failed=${core_failed:-0}
if [ "$core_status" -ne 0 ] && [ "$core_failed" = 0 ]; then
  core_failed=1  # did not build, crashed or timed out before gtest could count
  failures+=("core tests: $(head -1 "$log") (status $core_status)")
fi
passed=$((passed + core_passed))
failed=$((failed + core_failed))
[ "$core_failed" = 0 ] || [ "$core_status" = 125 ] ||
  failures+=("core tests: $core_failed failed (see $log)")
stamp "core tests under Wine: $core_passed passed, $core_failed failed, ${core_skipped:-0} skipped"

# --- The window tests under Wine -----------------------------------------------------------------
# Qt's offscreen platform, as on Linux; the Qt DLLs and the compiler's runtime DLLs from where they
# were built (the zip has them beside the programs instead). Wine hands no QT_* variable of Linux
# to a Windows program, so the platform is given on the command line and the scale settings are
# put into the prefix's user environment (HKCU\Environment), which every new program reads. Qt
# Test writes its report into a file: without a console it would go to the debugger channel.
if [ "$WINDOW" = 1 ]; then
  gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
  window_path="$(winepath -w "$QT_DIR/bin");$(winepath -w "$gcc_runtime");$(winepath -w /usr/x86_64-w64-mingw32/lib)"
  window_test() {  # window_test LOG NAME [TEST FUNCTION...]
    local log=$1 name=$2
    shift 2
    rm -f "$log"
    WINEPATH="$window_path" timeout 600 wine "$BUILD_DIR/tests/ui/quorvex_ui_$name.exe" \
      -platform offscreen -o "$(winepath -w "$ROOT/$log"),txt" "$@" >"$log.console" 2>&1
  }
  wine_setting() {  # wine_setting NAME [VALUE]: sets, or without a value removes, a variable
    if [ $# -eq 2 ]; then
      wine reg add 'HKCU\Environment' /v "$1" /d "$2" /f >/dev/null 2>&1
    else
      wine reg delete 'HKCU\Environment' /v "$1" /f >/dev/null 2>&1 || true
    fi
  }
  [ -f "$BUILD_DIR/src/ui/quorvex.exe" ] || fail "quorvex.exe did not build for Windows"
  # The offscreen platform of Qt for Windows reads fonts from files, as on Linux: DejaVu's.
  wine_setting QT_QPA_FONTDIR "$(winepath -w /usr/share/fonts/truetype/dejavu)"
  for name in "${window_tests[@]}"; do
    log="$BUILD_DIR/ui-$name.log"
    if [[ " ${window_built[*]} " != *" $name "* ]]; then
      fail "window test $name did not build for Windows"
      continue
    fi
    status=0
    window_test "$log" "$name" || status=$?
    totals=$(grep -a '^Totals:' "$log" 2>/dev/null | tail -1 | tr -d '\r' || true)
    if [ "$status" -eq 0 ]; then
      pass
      echo "ok: window test $name ($totals)"
    else
      fail "window test $name: status $status, ${totals:-no totals} (see $log)"
      grep -a -A2 '^FAIL!' "$log" 2>/dev/null | head -12 || true
    fi
  done
  # 125 % and 150 %: through the screen's DPI (as Windows reports a scaled display to a program
  # that scales itself) and through Qt's own scale factor.
  if [[ " ${window_built[*]} " == *" form1_test "* ]]; then
    for scale in QT_FONT_DPI=120:125 QT_FONT_DPI=144:150 QT_SCALE_FACTOR=1.25:125 \
      QT_SCALE_FACTOR=1.5:150; do
      setting=${scale%:*}
      log="$BUILD_DIR/ui-scale-${setting#*=}.log"
      wine_setting "${setting%=*}" "${setting#*=}"
      if QUORVEX_EXPECT_SCALE="${scale#*:}" window_test "$log" form1_test \
        theFormKeepsItsProportionsAtTheScreensScale; then
        pass
        echo "ok: the form's proportions at $setting"
      else
        fail "the form's proportions at $setting (see $log)"
      fi
      wine_setting "${setting%=*}"
    done
  fi
  wine_setting QT_QPA_FONTDIR
  stamp "window tests under Wine: ${#window_built[@]} of ${#window_tests[@]} built"
fi

# --- quorvex-cli under Wine against the Linux build ---------------------------------------------
if [ "$CORE_ONLY" = 0 ] && [ "$cli_built" = 0 ]; then
  fail "quorvex-cli did not build for Windows"
elif [ "$CORE_ONLY" = 0 ]; then
  native_cli="${NATIVE_CLI:-}"
  if [ -z "$native_cli" ]; then
    for candidate in build/asan/src/cli/quorvex-cli build/release/src/cli/quorvex-cli; do
      if [ -x "$candidate" ]; then native_cli="$candidate"; break; fi
    done
  fi
  if [ -z "$native_cli" ]; then
    cmake -S . -B build/windows-reference -DCMAKE_BUILD_TYPE=Release -DQUORVEX_BUILD_UI=OFF \
      -DQUORVEX_BUILD_TESTS=OFF >/dev/null
    cmake --build build/windows-reference -j "$JOBS" --target quorvex-cli
    native_cli=build/windows-reference/src/cli/quorvex-cli
  fi
  native_cli=$(realpath "$native_cli")

  work="$ROOT/$BUILD_DIR/smoke"
  rm -rf "$work"
  mkdir -p "$work/linux" "$work/Missionen Ünï 任务 δ"
  win_dir="$work/Missionen Ünï 任务 δ"
  scene_src="$work/scene2.bin"
  if [ -f samples/demo/scene2.bin ]; then
    cp samples/demo/scene2.bin "$scene_src"
  else
    wine "$BUILD_DIR/tests/make_demo_scene.exe" "$(winepath -w "$scene_src")"
  fi
  win_scene_unix="$win_dir/scene2.bin"
  win_scene=$(winepath -w "$win_scene_unix")
  lin_scene="$work/linux/scene2.bin"

  # Texts given to save-script: longer and shorter than most scripts, with CR LF line ends and
  # Windows-1252 bytes, to catch any newline or code-page translation on the way.
  printf 'use_num 1\r\nsay "Caf\xe9 at six"\r\nfin\r\n' >"$work/long.txt"
  printf 'fin' >"$work/short.txt"

  # compare NAME ARGS... : runs quorvex-cli with ARGS on fresh copies of the scene on both sides
  # (SCENE in ARGS stands for the scene path, FILE:x for a file of the smoke folder, STDIN:x feeds
  # that file on standard input), then compares exit status, standard output and the scene bytes.
  compare() {
    local name=$1
    shift
    local stdin_file=/dev/null lin_args=() win_args=() arg
    for arg in "$@"; do
      case "$arg" in
        SCENE) lin_args+=("$lin_scene"); win_args+=("$win_scene") ;;
        FILE:*) lin_args+=("$work/${arg#FILE:}"); win_args+=("$(winepath -w "$work/${arg#FILE:}")") ;;
        STDIN:*) stdin_file="$work/${arg#STDIN:}" ;;
        *) lin_args+=("$arg"); win_args+=("$arg") ;;
      esac
    done
    cp "$scene_src" "$lin_scene"
    cp "$scene_src" "$win_scene_unix"
    rm -f "$lin_scene.save" "$win_scene_unix.save"
    [ -n "${LEFTOVER_SAVE:-}" ] && touch "$lin_scene.save" "$win_scene_unix.save"
    local lin_rc=0 win_rc=0
    "$native_cli" "${lin_args[@]}" <"$stdin_file" >"$work/lin.out" 2>"$work/lin.err" || lin_rc=$?
    wine "$cli_exe" "${win_args[@]}" <"$stdin_file" >"$work/win.out" 2>"$work/win.err" || win_rc=$?
    if [ "$lin_rc" != "$win_rc" ]; then
      fail "$name: exit status Linux $lin_rc, Windows $win_rc ($(head -c 300 "$work/win.err"))"
    elif ! cmp -s "$work/lin.out" "$work/win.out"; then
      fail "$name: standard output differs ($(cmp "$work/lin.out" "$work/win.out" 2>&1 | head -1))"
    elif ! cmp -s "$lin_scene" "$win_scene_unix"; then
      fail "$name: the rewritten scenes differ"
    elif [ -e "$win_scene_unix.save" ] && [ -z "${LEFTOVER_SAVE:-}" ]; then
      fail "$name: a temporary .save file was left behind"
    elif [ "$win_rc" -ne 0 ] && ! cmp -s "$scene_src" "$win_scene_unix"; then
      fail "$name: refused (status $win_rc) but the scene changed"
    elif [ "$win_rc" -ne 0 ] && [ ! -s "$work/win.err" ]; then
      fail "$name: refused (status $win_rc) without a message"
    else
      pass
      echo "ok: $name (status $win_rc)"
    fi
  }

  compare "catalogue" catalogue SCENE
  compare "objects" objects SCENE
  compare "overview" overview SCENE
  compare "models" models SCENE
  compare "script 0" script SCENE 0
  compare "script of a row that does not exist" script SCENE 1000000
  compare "save-script, longer text from a file" save-script SCENE 0 FILE:long.txt
  compare "save-script, shorter text from stdin" save-script SCENE 0 - STDIN:short.txt
  LEFTOVER_SAVE=1 compare "save-script refused by a leftover .save" save-script SCENE 0 \
    FILE:long.txt
  compare "insert a car with a Windows-1252 name" insert SCENE --name "Café Ünï" --category car \
    --translation 1.5,-2,3e2 --size 1,1,1 --rotation 30
  compare "insert, object record only" insert SCENE --name "Quorvex smoke crate" --translation 0,0,0 \
    --size 0.1,0.1,0.1
  compare "insert refused: empty name" insert SCENE --name "" --translation 0,0,0 --size 1,1,1
  compare "insert refused: non-numeric" insert SCENE --name X --translation a,0,0 --size 1,1,1
  compare "modify row 0" modify SCENE 0 --translation 4,5,6 --size 2,2,2 --rotation -45
  compare "missing scene" catalogue "$work/no such scene.bin"
  compare "usage error" catalogue
  stamp "quorvex-cli under Wine compared with $native_cli"
fi

elapsed=$(( $(date +%s) - started ))
echo
what="core tests"
[ "$WINDOW" = 1 ] && what="$what, window tests"
[ "$CORE_ONLY" = 0 ] && what="$what, quorvex-cli"
echo "windows-check summary ($elapsed s, $what):"
for f in "${failures[@]+"${failures[@]}"}"; do echo "  - $f"; done
[ ${#skipped[@]} -eq 0 ] || echo "  skipped: ${skipped[*]}"
echo "windows-check: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
