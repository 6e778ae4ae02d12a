#!/bin/sh
# End to end under Wine: the Windows build of tarnbuild compiles a script and its payload
# into a setup program, the setup program installs silently, and every installed file is
# byte-identical to its payload; a second build with a damaged archive installs nothing
# and keeps the files that were there.
# Usage: setup_e2e.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
source=$2
prefix="$build/wineprefix"
run() { sh "$source/tests/support/wine-run.sh" "$prefix" "$@"; }
work="$build/e2e"
rm -rf "$work"
mkdir -p "$work/payload/sub"
target="$prefix/drive_c/tarn-e2e"
rm -rf "$target"

# A payload with compressible, incompressible and empty files.
head -c 300000 /dev/urandom > "$work/payload/random.bin"
seq 1 40000 > "$work/payload/sub/numbers.txt"
: > "$work/payload/empty.dat"
cat > "$work/e2e.tsc" <<'SCRIPT'
title "End to end"
log "C:\tarn-e2e\INSTALL.LOG"
install "payload/random.bin" to "C:\tarn-e2e\random.bin"
install "payload/sub/numbers.txt" to "C:\tarn-e2e\sub\numbers.txt"
install "payload/empty.dat" to "C:\tarn-e2e\empty.dat"
SCRIPT

cd "$build"
run tarnbuild.exe "$work/e2e.tsc" -o "$work/setup.exe" --stub tarnhost.exe --engine TARN0132.dll
run tarnbuild.exe --dump "$work/setup.exe" > "$work/dump.txt"
[ "$(grep -c OP_INSTALL_FILE "$work/dump.txt")" = 3 ] || { echo "dump lists $(cat "$work/dump.txt")"; exit 1; }
run "$work/setup.exe" /S || true

status=0
for f in random.bin sub/numbers.txt empty.dat; do
  if cmp -s "$work/payload/$f" "$target/$f"; then
    echo "identical: $f"
  else
    echo "NOT INSTALLED OR DIFFERENT: $f"
    status=1
  fi
done
grep -q "File Copy: C:\\\\tarn-e2e\\\\sub\\\\numbers.txt" "$target/INSTALL.LOG" || { echo "log:"; cat "$target/INSTALL.LOG"; status=1; }

# A damaged copy of the setup program: bytes in the middle of the first file's data are
# changed. The run fails and the installed files stay as they were.
echo "changed" > "$work/payload/sub/numbers.txt"
run tarnbuild.exe "$work/e2e.tsc" -o "$work/damaged.exe" --stub tarnhost.exe --engine TARN0132.dll
python3 - "$work/damaged.exe" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
# random.bin is stored (it does not compress) and comes first in the file data, which
# ends with numbers.txt and empty.dat (about 10 bytes) at the end of the file.
middle = len(data) - 10 - 150000
for i in range(middle, middle + 40):
    data[i] ^= 0x5A
open(path, 'wb').write(bytes(data))
PY
run "$work/damaged.exe" /S || true
if ! seq 1 40000 | cmp -s - "$target/sub/numbers.txt" || ! cmp -s "$work/payload/random.bin" "$target/random.bin"; then
  echo "a damaged archive changed an installed file"
  status=1
fi
ls "$target"/~ZEH* "$target"/sub/~ZEH* >/dev/null 2>&1 && { echo "temporary files left behind"; status=1; }
# A split build: the setup program and SETUP.W02, SETUP.W03, ... of 100000 bytes each;
# files whose data crosses from one part into the next install all the same.
seq 1 40000 > "$work/payload/sub/numbers.txt"
rm -rf "$target"
split="$work/split"
mkdir -p "$split"
sed 's/^title .*/title "Split"\ndisk-size 100000/' "$work/e2e.tsc" > "$work/split.tsc"
run tarnbuild.exe "$work/split.tsc" -o "$split/setup.exe" --stub tarnhost.exe --engine TARN0132.dll
parts=$(ls "$split" | grep -c '^SETUP.W0')
[ "$parts" -ge 2 ] || { echo "the split build made $parts further parts"; status=1; }
run "$split/setup.exe" /S || true
for f in random.bin sub/numbers.txt empty.dat; do
  if cmp -s "$work/payload/$f" "$target/$f"; then
    echo "identical across parts: $f"
  else
    echo "NOT INSTALLED OR DIFFERENT from the split build: $f"
    status=1
  fi
done

[ $status = 0 ] && echo "setup end to end: all files identical"
exit $status
