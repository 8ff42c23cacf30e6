#!/usr/bin/env bash
# Runs a Windows program under wine64 for CTest: quiet, in a Wine prefix of
# this project's own, with the program's exit code as our exit code.
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
export WINEPREFIX=${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/camera-bridge-wine}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
if [ ! -d "$WINEPREFIX" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # Serialise the first start: two tests must not create one prefix at once.
  (flock 9; [ -d "$WINEPREFIX/drive_c" ] || "$wine" wineboot --init >/dev/null 2>&1 || true) 9>"$WINEPREFIX.lock"
fi
exec "$wine" "$@"
