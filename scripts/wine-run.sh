#!/usr/bin/env bash
# Runs a Windows program under Wine: the emulator of the windows preset's tests.
#   scripts/wine-run.sh program.exe [arguments...]
# The Wine prefix lives in build/windows/wine-prefix (or $WINEPREFIX when set) and is created on
# first use, which takes a while; Wine's own diagnostics are silenced so they cannot mix with the
# output the tests compare.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$repo/build/windows/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  # Several tests may start at once on a fresh prefix; one creates it, the others wait.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  [ -f "$WINEPREFIX/system.reg" ] || wine wineboot --init >/dev/null 2>&1
  flock -u 9
fi
# A wine server that outlives each program by half a minute: most of Wine's start-up is the
# server's, and the tests start hundreds of programs one after another.
wineserver -p30 2>/dev/null || true
exec wine "$@"
