#!/usr/bin/env bash
# The Windows zip: dist/quorvex-VERSION-windows-x64.zip, made from Linux. Builds quorvex.exe and
# quorvex-cli.exe with mingw-w64 against Qt for Windows (scripts/windows-qt.sh finds it, or builds
# it once: about 75 minutes on two cores), puts beside them every DLL they and their Qt plugins
# load that is not part of Windows, the licence texts and a README.txt, zips the folder and checks
# the zip: unpacked into a folder with a non-ASCII name, in a fresh Wine prefix (a machine with
# nothing installed), both programs must start from there and do their work.
#
#   scripts/package-windows.sh              build, zip and check
#   scripts/package-windows.sh --no-check   build and zip only
#   scripts/package-windows.sh --screenshot build, zip, check, and keep the window's picture from
#                                           the check as docs/windows.png
#
# Environment: WINDOWS_PACKAGE_BUILD_DIR (default build/windows-package), JOBS.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD

CHECK=1
SCREENSHOT=0
case "${1:-}" in
  "") ;;
  --no-check) CHECK=0 ;;
  --screenshot) SCREENSHOT=1 ;;
  *) echo "usage: $0 [--no-check | --screenshot]" >&2; exit 2 ;;
esac

started=$(date +%s)
stamp() { echo "[package-windows $(( $(date +%s) - started ))s] $*"; }
die() { echo "package-windows: $*" >&2; exit 1; }

./scripts/deps.sh cmake make g++-mingw-w64-x86-64 qt6-base-dev-tools nlohmann-json3-dev \
  libcli11-dev zip unzip wine64 wine xvfb xauth
QT_DIR=$(./scripts/windows-qt.sh | tail -1)
[ -d "$QT_DIR" ] || die "no Qt for Windows"
stamp "tools and Qt for Windows ready ($QT_DIR)"

VERSION=$(sed -n 's/^project(quorvex VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$VERSION" ] || die "no version in CMakeLists.txt"
NAME="quorvex-$VERSION-windows-x64"
BUILD_DIR="${WINDOWS_PACKAGE_BUILD_DIR:-build/windows-package}"
JOBS="${JOBS:-$(nproc)}"

cmake -S . -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-mingw64.cmake" \
  -DQUORVEX_QT_DIR="$QT_DIR" -DCMAKE_BUILD_TYPE=Release -DQUORVEX_BUILD_UI=ON \
  -DQUORVEX_BUILD_TESTS=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" --target quorvex quorvex-cli quorvex-window-picture
stamp "built quorvex.exe, quorvex-cli.exe and the check's quorvex-window-picture.exe"

# --- The folder --------------------------------------------------------------------------------
stage="$ROOT/dist/$NAME"
rm -rf "$stage" "$ROOT/dist/$NAME.zip"
mkdir -p "$stage/platforms" "$stage/styles" "$stage/licenses/Qt" "$stage/licenses/compiler-runtime"
cp "$BUILD_DIR/src/ui/quorvex.exe" "$BUILD_DIR/src/cli/quorvex-cli.exe" "$stage/"
# The platform plugin is what Qt cannot start a window without; the style gives the native look.
cp "$QT_DIR/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$QT_DIR/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.exe

# Every DLL the programs and the plugins import, followed through the DLLs found: from Qt's bin
# folder or the compiler's runtime, copied beside the programs; a DLL of Windows itself (an API set,
# or one that a fresh Wine prefix has in system32, as every Windows 10 and 11 has) stays out;
# anything else is a DLL the zip would miss, and stops the script.
gcc_runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
search=("$QT_DIR/bin" "$gcc_runtime" /usr/x86_64-w64-mingw32/lib /usr/x86_64-w64-mingw32/bin)
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
check_prefix="$ROOT/$BUILD_DIR/wineprefix-clean"
rm -rf "$check_prefix"
WINEPREFIX="$check_prefix" DISPLAY="" wine wineboot --init >/dev/null 2>&1 || true
WINEPREFIX="$check_prefix" wineserver -w
system32="$check_prefix/drive_c/windows/system32"
[ -d "$system32" ] || die "Wine did not create $system32"
imports() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'; }
find_in() {  # find_in DLL DIR... : the file, matched without regard to case
  local dll=$1 dir
  shift
  for dir in "$@"; do
    find "$dir" -maxdepth 1 -iname "$dll" -print -quit 2>/dev/null
  done | head -1
}
queue=("$stage"/*.exe "$stage"/platforms/*.dll "$stage"/styles/*.dll)
declare -A seen=()
while [ ${#queue[@]} -gt 0 ]; do
  file=${queue[0]}
  queue=("${queue[@]:1}")
  for dll in $(imports "$file"); do
    key=${dll,,}
    [ -n "${seen[$key]:-}" ] && continue
    seen[$key]=1
    if [ -n "$(find_in "$dll" "$stage")" ]; then continue; fi
    found=$(find_in "$dll" "${search[@]}")
    if [ -n "$found" ]; then
      cp "$found" "$stage/"
      queue+=("$stage/$(basename "$found")")
    elif [[ $key == api-ms-win-* || $key == ext-ms-* ]]; then
      continue  # an API set: a name the loader of Windows 10 and 11 maps to its own DLLs
    elif [ -z "$(find_in "$dll" "$system32")" ]; then
      die "$(basename "$file") needs $dll, which is neither in Qt, nor the compiler's runtime, nor Windows"
    fi
  done
done
# The runtime DLLs come with their debug sections; a modder has no use for them.
find "$stage" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
stamp "DLLs: $(cd "$stage" && find . -name '*.dll' | sed 's|^\./||' | sort | tr '\n' ' ')"

# Licence texts: Quorvex's own, Qt's (LGPL 3, which builds on the GPL 3, and the licences of the
# libraries bundled into Qt) with where Qt's source comes from, and the compiler runtime's.
[ -f LICENSE ] || die "LICENSE is missing"
sed 's/$/\r/' LICENSE >"$stage/LICENSE.txt"
cp "$QT_DIR"/LICENSES/*.txt "$stage/licenses/Qt/"
debian_qt=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || echo unknown)
qt_version=$(basename "$QT_DIR" | sed 's/^qt6-mingw64-//')
cp /usr/share/doc/gcc-mingw-w64-x86-64-posix-runtime/copyright \
  "$stage/licenses/compiler-runtime/gcc-runtime-copyright.txt"
cp /usr/share/doc/mingw-w64-x86-64-dev/copyright \
  "$stage/licenses/compiler-runtime/mingw-w64-copyright.txt"
sed 's/$/\r/' >"$stage/licenses/Qt/SOURCE.txt" <<EOF
Qt $qt_version (Qt Core, Gui, Widgets, the qwindows platform plugin and the windowsvista style)

The Qt DLLs beside quorvex.exe (Qt6Core.dll, Qt6Gui.dll, Qt6Widgets.dll, platforms\\qwindows.dll,
styles\\qwindowsvistastyle.dll) are Qt $qt_version, used under the GNU Lesser General Public
License version 3 (LGPL-3.0-only.txt here, which builds on GPL-3.0-only.txt). Qt bundles zlib,
libpng, libjpeg, FreeType, HarfBuzz, PCRE2 and double-conversion; their licences are the other
texts in this folder.

Source: Debian's source package qt6-base, version $debian_qt: its tarball, Qt's
qtbase-everywhere-src-$qt_version with the few files removed that Debian's free-software rules
exclude, built without Debian's patches. From any Debian 12 mirror:
    apt-get source qt6-base=$debian_qt
or https://snapshot.debian.org/package/qt6-base/$debian_qt/ ; the same source is published by
the Qt project (complete) as qtbase-everywhere-src-$qt_version.tar.xz at
https://download.qt.io/archive/qt/.
It was cross-compiled with mingw-w64 (GCC) by scripts/windows-qt.sh in Quorvex's source, with the
options given there. You may replace these DLLs with your own build of Qt $qt_version.
EOF
sed 's/$/\r/' >"$stage/README.txt" <<EOF
Quorvex $VERSION for Windows (64-bit)
$(printf '%*s' "$(printf 'Quorvex %s for Windows (64-bit)' "$VERSION" | wc -c)" '' | tr ' ' =)

Quorvex edits the mission scene files (scene2.bin) of the game: it lists every script of a
scene, shows and edits them and saves them back, shows all scripts in one searchable overview,
inserts objects or moves existing ones, and lists the model files a scene uses.

Start
-----
Unpack the whole zip into a folder of your choice (for example your Documents folder) and
double-click quorvex.exe. Keep the files together: the programs load the DLLs and the
"platforms" and "styles" folders beside them. Nothing is installed; to remove Quorvex, delete
the folder.

Pick the drive, the mission folder and its scene2.bin in the left column, press "Start", pick a
script on the right, edit it and press "Save". Quorvex changes only the scene you picked.
Keep a copy of your mission folder until you trust your edits.

quorvex-cli.exe is the same tool for the command line (cmd or PowerShell), for example:
    quorvex-cli.exe catalogue "C:\\Games\\Missions\\mission01\\scene2.bin"
    quorvex-cli.exe --help

What it needs
-------------
64-bit Windows 10 or 11. Nothing else: the Qt and compiler runtime DLLs are in this folder.

Licences
--------
Quorvex: LICENSE.txt (MIT). Qt: licenses\\Qt (LGPL 3; SOURCE.txt says where its source comes
from). The compiler's runtime DLLs (libstdc++, libgcc, winpthreads): licenses\\compiler-runtime.
EOF
(cd "$ROOT/dist" && zip -q -r -X "$NAME.zip" "$NAME")
zip_size=$(stat -c %s "$ROOT/dist/$NAME.zip")
stamp "dist/$NAME.zip: $((zip_size / 1024)) KiB, $(unzip -Z1 "$ROOT/dist/$NAME.zip" | grep -cv '/$') files"

[ "$CHECK" = 1 ] || exit 0

# --- The check: unpack where a modder might, start both programs under Wine ----------------------
# A fresh prefix (nothing on its PATH but Windows), the zip unpacked under a folder whose name is
# not ASCII, the programs started from there with that folder as the working folder.
export WINEPREFIX="$check_prefix"
stop_wine() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT
unset WINEPATH
where="$ROOT/$BUILD_DIR/check/Quorvex Ünï 任务"
rm -rf "$ROOT/$BUILD_DIR/check"
mkdir -p "$where"
unzip -q "$ROOT/dist/$NAME.zip" -d "$where"
app="$where/$NAME"
cp samples/demo/scene2.bin "$app/scene2.bin"
cd "$app"
fails=0
check() {  # check DESCRIPTION COMMAND...
  local desc=$1
  shift
  if "$@"; then echo "ok: $desc"; else echo "FAILED: $desc"; fails=$((fails + 1)); fi
}
scene_w=$(winepath -w "$app/scene2.bin")
native_cli=""
for candidate in "$ROOT"/build/release/src/cli/quorvex-cli "$ROOT"/build/asan/src/cli/quorvex-cli; do
  if [ -x "$candidate" ]; then native_cli=$candidate; break; fi
done

cli_version() {
  wine ./quorvex-cli.exe --version >cli.out 2>cli.err && [ "$(tr -d '\r' <cli.out)" = "quorvex-cli $VERSION" ]
}
cli_catalogue() {
  wine ./quorvex-cli.exe catalogue "$scene_w" >cli.out 2>cli.err && [ -s cli.out ] &&
    { [ -z "$native_cli" ] || "$native_cli" catalogue "$app/scene2.bin" | cmp -s - cli.out; }
}
cli_insert() {  # the same bytes as the Linux quorvex-cli writes for the same insertion
  local args=(--name "Café Ünï" --category car --translation "1,2,3" --size "1,1,1") ok=0
  cp "$app/scene2.bin" "$app/linux.bin"
  wine ./quorvex-cli.exe insert "$scene_w" "${args[@]}" >/dev/null 2>&1 &&
    "$native_cli" insert "$app/linux.bin" "${args[@]}" >/dev/null &&
    cmp -s "$app/scene2.bin" "$app/linux.bin" && ok=1
  cp "$ROOT/samples/demo/scene2.bin" "$app/scene2.bin"
  rm -f "$app/linux.bin"
  [ "$ok" = 1 ]
}
window_version() {  # loads every DLL quorvex.exe imports from the zip
  wine ./quorvex.exe --version >window.out 2>&1 && [ "$(tr -d '\r' <window.out)" = "quorvex $VERSION" ]
}
# The window on Wine's own display driver (an X display from Xvfb), with the qwindows plugin and
# the style from the zip, on a scene in a mission folder on drive C: with a non-ASCII name: the
# picture tool, put beside quorvex.exe for the check only (it is not in the zip), drives the same
# window with the zip's DLLs and plugins: it loads the scene, shows a row, saves a picture of the
# window and quits.
missions="$check_prefix/drive_c/Missionen/Quorvex Ünï"
mkdir -p "$missions"
cp "$ROOT/samples/demo/scene2.bin" "$missions/scene2.bin"
cp "$ROOT/$BUILD_DIR/scripts/window-picture/quorvex-window-picture.exe" "$app/"
# Wine's loader log shows that both plugins were loaded from the zip's folders.
window_starts() {
  WINEDEBUG=+loaddll timeout 180 xvfb-run -a -s "-screen 0 1280x900x24 -dpi 96" \
    wine ./quorvex-window-picture.exe "$(winepath -w "$app/window.png")" \
    'C:\Missionen\Quorvex Ünï\scene2.bin' >window.out 2>&1 && [ -s "$app/window.png" ] &&
    grep -q 'Loaded .*\\platforms\\\\qwindows\.dll' window.out &&
    grep -q 'Loaded .*\\styles\\\\qwindowsvistastyle\.dll' window.out
}
check "quorvex-cli.exe --version" cli_version
check "quorvex-cli.exe catalogue of a scene in the non-ASCII folder${native_cli:+, as the Linux one}" \
  cli_catalogue
if [ -n "$native_cli" ]; then
  check "quorvex-cli.exe insert with a non-ASCII name: the same scene as the Linux one" cli_insert
else
  echo "skipped: comparing with the Linux quorvex-cli (none built in build/release or build/asan)"
fi
check "quorvex.exe --version (the DLLs it imports, from the zip)" window_version
check "the window loads the scene and draws itself (DLLs and plugins from the zip)" window_starts
stop_wine
if [ "$fails" -ne 0 ]; then
  echo "package-windows: $fails check(s) of the zip failed (the unpacked copy: $app)" >&2
  exit 1
fi
if [ "$SCREENSHOT" = 1 ]; then
  cp "$app/window.png" "$ROOT/docs/windows.png"
  stamp "docs/windows.png taken"
fi
rm -rf "$ROOT/$BUILD_DIR/check"
stamp "dist/$NAME.zip checked under Wine from a folder named \"Quorvex Ünï 任务\""
