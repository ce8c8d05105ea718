#!/usr/bin/env bash
# Runs a Windows program under wine in a scratch prefix of the project's own, never the
# user's ~/.wine: TRELWICK_WINEPREFIX, else /tmp/trelwick-wine-<uid>. The prefix is made
# on first use. CMake runs the cross-built tests through this script
# (cmake/mingw-w64-x86_64.cmake); scripts/test-windows.sh ends its wineserver.
set -euo pipefail
export WINEPREFIX=${TRELWICK_WINEPREFIX:-/tmp/trelwick-wine-$(id -u)}
export WINEDEBUG=-all
export WINEARCH=win64
# No desktop integration and no prompts for Mono or Gecko in a scratch prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export DISPLAY=
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1 || true
  wineserver -w
fi

exec wine "$@"
