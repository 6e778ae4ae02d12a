#!/bin/sh
# Runs a Windows program under Wine in the build tree's own prefix (never ~/.wine).
# Usage: wine-run.sh PREFIX PROGRAM [ARGS...]
set -e
prefix=$1
shift
if [ -z "${DISPLAY:-}" ]; then
  echo "wine-run.sh: no DISPLAY; run the tests through scripts/test.sh, which starts Xvfb" >&2
  exit 2
fi
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/system.reg" ]; then
  mkdir -p "$prefix"
  # Several tests may start at once: one of them creates the prefix.
  flock "$prefix/.create.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1; wineserver -w'
fi
exec wine "$@"
