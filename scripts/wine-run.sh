#!/usr/bin/env bash
# Runs a Windows program under Wine: the emulator of the windows preset's tests.
#   scripts/wine-run.sh program.exe [arguments...]
#   scripts/wine-run.sh --start | --stop
# The Wine prefix lives in build/windows/wine-prefix (or $WINEPREFIX when set) and is created on
# first use, which takes a while; Wine's own diagnostics are silenced so they cannot mix with the
# output the tests compare.
#
# Wine's server and the prefix's services (services.exe, winedevice.exe, ...) outlive the program
# that starts them and keep its standard error open. Started by a test, they would hold CTest's
# output pipe, and CTest would wait for them to exit after every program. --start starts them tied
# to no caller's streams and keeps them running until --stop; ./scripts/test.sh windows does both.
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
  [ -f "$WINEPREFIX/system.reg" ] || wine wineboot --init </dev/null >/dev/null 2>&1
  flock -u 9
fi
case "${1:-}" in
  --start)
    wineserver --persistent </dev/null >/dev/null 2>&1 || true  # already running
    wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
    exit 0
    ;;
  --stop)
    wineserver --kill </dev/null >/dev/null 2>&1 || true
    exit 0
    ;;
esac
exec wine "$@"
