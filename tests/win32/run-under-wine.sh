#!/usr/bin/env bash
# run-under-wine.sh <source dir> <build dir>: builds tests/win32 with mingw-w64 and runs it under
# Wine on $DISPLAY, in a Wine prefix of its own that is removed afterwards. The program runs in
# Wine's virtual desktop: Wine then keeps window stacking, focus, minimising and the monitor to
# itself, instead of waiting on the X window manager. It is chosen in the prefix's registry, not
# with `explorer /desktop=`, which does not pass the program's exit code on. Wine's own messages go
# to a log; only the program's lines and exit code decide.
set -u
fail() { echo "win32_backend: $*"; exit 1; }

cmake -S "$1/tests/win32" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$1/cmake/mingw-w64.cmake" >"$2.log" 2>&1 \
  && cmake --build "$2" -j1 >>"$2.log" 2>&1 || { cat "$2.log"; fail "the mingw-w64 build failed"; }
command -v wine >/dev/null || fail "wine not found: run scripts/install-deps"

scratch=$(mktemp -d)
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all
# No installers for Wine's .NET and HTML engines, and no desktop menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
trap 'wineserver -k 2>/dev/null; rm -rf "$scratch"' EXIT

start=$SECONDS
wine wineboot --init >"$scratch/wine.log" 2>&1 \
  && wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >>"$scratch/wine.log" 2>&1 \
  && wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f \
       >>"$scratch/wine.log" 2>&1 \
  || fail "Wine did not start: $(tail -n 1 "$scratch/wine.log")"
# The desktop setting takes effect with the next Wine session: this one, with the processes
# wineboot left behind, ends here (the registry is written out as the server stops).
wineserver -k
echo "Wine prefix ready in $((SECONDS - start)) s"

wine "$2/win32_backend.exe" 2>>"$scratch/wine.log"
