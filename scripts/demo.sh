#!/usr/bin/env bash
# Builds everything and runs a sample installation under Wine through the engine DLL.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh
bash scripts/build.sh
display_number=$((500 + RANDOM % 400))
Xvfb ":$display_number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
export DISPLAY=":$display_number"
sleep 1
cd build/win32
sh "$root/tests/support/wine-run.sh" "$root/build/win32/wineprefix" sample_install.exe TARN0132.dll "${1:-}"
