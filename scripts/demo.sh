#!/usr/bin/env bash
# Builds everything, builds the demo setup program from examples/demo/demo.tsc and runs
# it under Wine, then shows what it installed and its INSTALL.LOG.
#   bash scripts/demo.sh            silent installation (no window needs attention)
#   bash scripts/demo.sh --visible  a visible run; screenshots go to build/demo/
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
visible=0
[ "${1:-}" = "--visible" ] && visible=1

bash scripts/bootstrap.sh
bash scripts/build.sh

out="$root/build/demo"
mkdir -p "$out"
build/native/tarnbuild examples/demo/demo.tsc -o "$out/setup.exe" \
  --stub build/win32/tarnhost.exe --engine build/win32/TARN0132.dll

display_number=$((500 + RANDOM % 400))
Xvfb ":$display_number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display_number"
export WINEPREFIX="$root/build/win32/wineprefix"
trap 'wineserver -k 2>/dev/null; kill $xvfb_pid 2>/dev/null || true' EXIT
sleep 1

target="$WINEPREFIX/drive_c/Tarn Demo"
rm -rf "$target"
if [ "$visible" = 1 ]; then
  sh tests/support/wine-run.sh "$WINEPREFIX" "$out/setup.exe" &
  setup_pid=$!
  sleep 6
  import -window root "$out/welcome.png" || true
  xdotool key Return || true   # the welcome message
  sleep 4
  import -window root "$out/finished.png" || true
  wait $setup_pid || true
  echo "screenshots: $out/welcome.png $out/finished.png"
else
  sh tests/support/wine-run.sh "$WINEPREFIX" "$out/setup.exe" /S || true
fi

echo
echo "== Installed into C:\\Tarn Demo =="
(cd "$target" && find . -type f -printf '%10s  %p\n' | sort -k2)
echo
echo "== Payload check =="
for f in readme.txt docs/notes.txt data.bin; do
  src="examples/demo/payload/$(basename "$f")"
  if cmp -s "$src" "$target/$f"; then echo "identical: $f"; else echo "DIFFERENT: $f"; fi
done
echo
echo "== INSTALL.LOG =="
tr -d '\r' < "$target/INSTALL.LOG"
