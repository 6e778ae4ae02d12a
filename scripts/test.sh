#!/usr/bin/env bash
# Builds both trees and runs every test: the pure logic natively under sanitizers (with a
# short smoke run of each fuzzer), and everything else under Wine with an Xvfb display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

bash scripts/bootstrap.sh
bash scripts/build.sh

# A private X display for anything that opens a window.
if [ -z "${TARN_KEEP_DISPLAY:-}" ]; then
  display_number=$((90 + RANDOM % 400))
  Xvfb ":$display_number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$display_number"
fi
export WINEPREFIX="$root/build/win32/wineprefix"
cleanup() {
  WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
sleep 1

# Create the prefix once and keep one wineserver for the whole run: each test is a process.
sh tests/support/wine-run.sh "$WINEPREFIX" cmd /c exit >/dev/null 2>&1 || true
WINEDEBUG=-all wineserver -p 2>/dev/null || true  # already running from the prefix creation: fine

status=0
ctest --test-dir build/native --output-on-failure || status=1
# Windows tests share one display and one prefix; a test that fails for reasons of the
# moment (a window of a parallel test, a slow start under load) gets one more try.
ctest --test-dir build/win32 --output-on-failure -j2 --timeout 150 --repeat until-pass:2 || status=1
exit $status
