#!/usr/bin/env bash
# Qt for 64-bit Windows (Core, Gui, Widgets, Test as DLLs, the qwindows platform plugin and the
# windowsvista style), cross-built with mingw-w64 from Debian's own qt6-base source, the same
# version as the qt6-base-dev the Linux window is built with. Prints the Qt folder on the last line
# of standard output (progress goes to standard error), for -DQUORVEX_QT_DIR=...
#
#   scripts/windows-qt.sh            find it, or build it when it is nowhere (cold: ~75 min, 2 cores)
#   scripts/windows-qt.sh --find     only find it; exit status 1 when there is none
#   scripts/windows-qt.sh --dry-run  say where it would look and what it would run; change nothing
#
# Where it looks, first hit wins:
#   1. ../shared/qt6-mingw64-VERSION beside the repository (a ready copy, may be read-only);
#   2. ${XDG_CACHE_HOME:-~/.cache}/quorvex/qt6-mingw64-VERSION, which is where a build lands.
# A folder counts only when it is complete (Qt's CMake package, the DLLs, qwindows.dll and the
# style); a build goes into a ".partial" folder that is renamed when it has finished, so a broken
# run never leaves a folder that looks complete. Needs apt for the compiler, the host tools and the
# source package (deb-src is switched on in the existing apt source entry when it is off).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

MODE="build"
case "${1:-}" in
  "") ;;
  --find) MODE="find" ;;
  --dry-run) MODE="dry" ;;
  *) echo "usage: $0 [--find | --dry-run]" >&2; exit 2 ;;
esac

say() { echo "[windows-qt] $*" >&2; }
run() {
  if [ "$MODE" = dry ]; then say "would run: $*"; else "$@"; fi
}
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

# The Qt version: that of the installed qt6-base-dev, else the one apt would install. Debian's
# version "6.4.2+dfsg-10" is Qt 6.4.2.
debian_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)
if [ -z "$debian_version" ]; then
  debian_version=$(apt-cache policy qt6-base-dev 2>/dev/null | sed -n 's/^ *Candidate: //p')
fi
if [ -z "$debian_version" ] || [ "$debian_version" = "(none)" ]; then
  say "qt6-base-dev is neither installed nor known to apt: cannot tell which Qt to use"
  exit 1
fi
qt_version=${debian_version#*:}
qt_version=${qt_version%%[+~-]*}
name="qt6-mingw64-$qt_version"

complete() {
  local dir=$1
  [ -f "$dir/lib/cmake/Qt6/Qt6Config.cmake" ] && [ -f "$dir/lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake" ] &&
    [ -f "$dir/lib/cmake/Qt6Test/Qt6TestConfig.cmake" ] && [ -f "$dir/bin/Qt6Core.dll" ] &&
    [ -f "$dir/bin/Qt6Gui.dll" ] && [ -f "$dir/bin/Qt6Widgets.dll" ] && [ -f "$dir/bin/Qt6Test.dll" ] &&
    [ -f "$dir/plugins/platforms/qwindows.dll" ] && [ -f "$dir/plugins/styles/qwindowsvistastyle.dll" ]
}

cache_root="${XDG_CACHE_HOME:-$HOME/.cache}/quorvex"
candidates=("$ROOT/../shared/$name" "$cache_root/$name")
for dir in "${candidates[@]}"; do
  if complete "$dir"; then
    dir=$(cd "$dir" && pwd)
    say "Qt $qt_version for Windows: $dir"
    if [ "$MODE" = dry ]; then
      say "(a real run stops here; what a cold build would run where none is found:)"
      break
    fi
    echo "$dir"
    exit 0
  fi
  say "not there (or incomplete): $dir"
done
if [ "$MODE" = find ]; then
  say "no Qt $qt_version for Windows; scripts/windows-qt.sh builds it (about 75 minutes on 2 cores)"
  exit 1
fi

# --- Cold build -----------------------------------------------------------------------------------
target="$cache_root/$name"
work="$cache_root/$name.work"
partial="$target.partial"
started=$(date +%s)
stamp() { say "$(( ($(date +%s) - started) / 60 )) min: $*"; }
say "building Qt $qt_version for Windows from Debian's qt6-base $debian_version into $target"
say "a cold build takes about 75 minutes on two cores; later runs find it at once"

packages=(g++-mingw-w64-x86-64-posix qt6-base-dev qt6-base-dev-tools cmake ninja-build dpkg-dev perl
  xz-utils)
run ./scripts/deps.sh "${packages[@]}" >&2

# Source packages need deb-src. Switch it on in the existing entries (deb822 "Types: deb" becomes
# "Types: deb deb-src"; a one-line "deb URI ..." gets its "deb-src URI ..." twin); no server is
# added. Skipped when apt already knows the source package.
if ! apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Package: qt6-base'; then
  changed=0
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    if grep -qE '^Types:[[:space:]]*deb[[:space:]]*$' "$file"; then
      say "switching on deb-src in $file"
      run $SUDO sed -i -E 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb deb-src/' "$file"
      changed=1
    fi
  done
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    if grep -qE '^deb[[:space:]]' "$file" && ! grep -qE '^deb-src[[:space:]]' "$file"; then
      say "switching on deb-src in $file"
      run $SUDO sed -i -E 's/^deb([[:space:]].*)$/deb\1\ndeb-src\1/' "$file"
      changed=1
    fi
  done
  [ "$changed" = 1 ] || say "no apt source entry to switch deb-src on in; trying apt as it is"
  run $SUDO apt-get update -qq >&2
fi

run mkdir -p "$work"
stamp "fetching the source package qt6-base=$debian_version"
if [ "$MODE" = dry ]; then
  say "would run (in $work): apt-get source --download-only qt6-base=$debian_version"
else
  (cd "$work" && apt-get source --download-only "qt6-base=$debian_version" >&2)
fi
# Debian's tarball of Qt's source (repacked as "+dfsg"), without Debian's patches, which are for
# the Linux build.
src="$work/qtbase-everywhere-src-$qt_version"
if [ "$MODE" = dry ]; then
  say "would unpack $work/qt6-base_*.orig.tar.xz into $src"
elif [ ! -f "$src/CMakeLists.txt" ]; then
  tarballs=("$work"/qt6-base_*.orig.tar.*)
  tarball=${tarballs[0]}
  stamp "unpacking $(basename "$tarball")"
  tar -C "$work" -xf "$tarball"
fi

toolchain="$work/toolchain.cmake"
if [ "$MODE" != dry ]; then
  cat >"$toolchain" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
fi

build="$work/build"
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
stamp "configuring (Core, Gui, Widgets, Test; no SQL, network, D-Bus, OpenGL, Vulkan, printing)"
run rm -rf "$build" "$partial"
run cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX="$partial" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_openssl=OFF \
  -DFEATURE_vulkan=OFF -DFEATURE_sql_sqlite=OFF \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
  -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_doubleconversion=OFF \
  -DFEATURE_tabletevent=OFF -DFEATURE_dynamicgl=OFF \
  "${launcher[@]}" >&2
# Debian's source leaves out the tablet header the Windows plugin needs (tablet events off), and
# the plugin does not build with dynamicgl while OpenGL is off.

# Progress: ninja's "[done/total]" count, once a minute, while the build log fills.
log="$work/build.log"
stamp "building with $(nproc) jobs; log: $log"
if [ "$MODE" = dry ]; then
  say "would run: cmake --build $build -j$(nproc) (progress once a minute), then cmake --install"
else
  cmake --build "$build" -j "$(nproc)" >"$log" 2>&1 &
  builder=$!
  while kill -0 "$builder" 2>/dev/null; do
    sleep 60
    step=$(grep -o '^\[[0-9]*/[0-9]*\]' "$log" | tail -1 || true)
    stamp "building ${step:-(starting)}"
  done
  if ! wait "$builder"; then
    tail -30 "$log" >&2
    say "the Qt build failed; the full log is $log"
    exit 1
  fi
  stamp "installing into $partial"
  cmake --install "$build" >>"$log" 2>&1
fi

# Smaller DLLs (the debug sections are of no use to a modder), Qt's licence texts beside them, and
# how the folder was made.
if [ "$MODE" != dry ]; then
  find "$partial" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
  cp -r "$src/LICENSES" "$partial/LICENSES"
  cat >"$partial/HOW-IT-WAS-BUILT.md" <<EOF
# Qt $qt_version for 64-bit Windows (mingw-w64), from Debian's own source

Built by Quorvex's scripts/windows-qt.sh on $(date -u +%Y-%m-%d) from the source package
qt6-base $debian_version (its tarball of Qt's source, without Debian's patches), cross-compiled with
g++-mingw-w64-x86-64-posix against the host tools of qt6-base-dev-tools. The configure line is in
scripts/windows-qt.sh. Qt is under the LGPL 3 (LICENSES/ here, from the source tarball); its
source is that of Debian's qt6-base package ("apt-get source qt6-base=$debian_version").
EOF
  complete "$partial" || { say "the build finished but $partial is incomplete"; exit 1; }
  rm -rf "$target"
  mv "$partial" "$target"
  rm -rf "$build"
fi
if [ "$MODE" = dry ]; then
  say "dry run: nothing was changed"
  exit 0
fi
stamp "Qt $qt_version for Windows is ready"
echo "$target"
