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
  # A crashing test must fail, not wait for someone to close the crash dialog.
  flock "$prefix/.create.lock" sh -c '[ -f "$WINEPREFIX/system.reg" ] || { wineboot -i >/dev/null 2>&1;
    wine reg add "HKCU\\Software\\Wine\\WineDbg" /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1; }
    wineserver -w'
fi
# Drive L: of the prefix is a folder whose volume label is INSTALLDISK1 (tests read it).
if [ ! -e "$prefix/dosdevices/l:" ] && [ -d "$prefix/dosdevices" ]; then
  mkdir -p "$prefix/label-drive"
  printf 'INSTALLDISK1\n' > "$prefix/label-drive/.windows-label"
  ln -sfn ../label-drive "$prefix/dosdevices/l:" 2>/dev/null || true
fi
exec wine "$@"
