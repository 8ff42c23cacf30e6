#!/usr/bin/env bash
# Runs a Windows program under Wine for CTest: quiet, in a Wine prefix of
# this project's own, with the program's exit code as our exit code.
#
#   cmake/wine-run.sh prog.exe args...           a 64-bit program, under wine64
#   cmake/wine-run.sh --win32 prog.exe args...   a 32-bit program, under 32-bit Wine
#
# The two kinds keep separate prefixes: a 32-bit prefix (WINEARCH=win32) has
# no 64-bit side, so 32-bit programs there run as on 32-bit Windows rather
# than under WoW64.
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
cache=${XDG_CACHE_HOME:-$HOME/.cache}
if [ "${1:-}" = --win32 ]; then
  shift
  export WINEARCH=win32
  export WINEPREFIX=${CAMERA_WINEPREFIX32:-$cache/camera-bridge-wine32}
  wine=/usr/lib/wine/wine
  if [ ! -x "$wine" ]; then
    echo "wine-run.sh: 32-bit Wine is not installed (/usr/lib/wine/wine, package wine32:i386)" >&2
    exit 127
  fi
else
  export WINEPREFIX=${WINEPREFIX:-$cache/camera-bridge-wine}
  wine=/usr/lib/wine/wine64
  [ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
fi
if [ ! -d "$WINEPREFIX/drive_c" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # Serialise the first start: two tests must not create one prefix at once.
  (flock 9; [ -d "$WINEPREFIX/drive_c" ] || "$wine" wineboot --init >/dev/null 2>&1 || true) 9>"$WINEPREFIX.lock"
fi
exec "$wine" "$@"
