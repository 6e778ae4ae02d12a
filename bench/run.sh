#!/usr/bin/env bash
# Benchmarks: our setup against NSIS (zlib, solid LZMA), CopyFileA under Wine and native
# cp -r on three payloads, plus the engine's own figures. Builds the committed code
# (HEAD) in release mode under build-bench/ and prints the table.
#   bash bench/run.sh              5 rounds
#   BENCH_ROUNDS=9 bash bench/run.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out="$root/build-bench"
rounds=${BENCH_ROUNDS:-5}
mkdir -p "$out"

# Packages: the build's own, then the peer installer (rounds alternate the contenders,
# which a per-command timer cannot do, so the timing is bench/measure.py's own).
bash scripts/bootstrap.sh >/dev/null
missing=()
for p in nsis; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  SUDO=""; [ "$(id -u)" != 0 ] && SUDO=sudo
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The committed sources, so that what is measured is a commit (BENCH_KEEP_SOURCE=1 builds
# build-bench/src as it stands).
commit=$(git rev-parse --short HEAD)
if [ "${BENCH_KEEP_SOURCE:-0}" != 1 ]; then
  rm -rf "$out/src" && mkdir -p "$out/src"
  git archive HEAD | tar -x -m -C "$out/src"  # -m: new times, so make rebuilds
else
  commit="$commit+local"
fi
echo "== building $commit (release; log in build-bench/build.log) =="
{
  cmake -S "$out/src" -B "$out/native" -DCMAKE_BUILD_TYPE=Release -DTARN_BENCH=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
  cmake --build "$out/native" -j"$(nproc)" --target tarnbuild \
    $(dpkg -s libbenchmark-dev >/dev/null 2>&1 && echo micro_bench)
  cmake -S "$out/src" -B "$out/win32" -DCMAKE_BUILD_TYPE=Release -DTARN_BENCH=ON \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
  cmake --build "$out/win32" -j"$(nproc)" --target TARN0132 tarnhost copy_payload engine_probe
} >"$out/build.log" 2>&1 || { tail -20 "$out/build.log"; echo "build failed"; exit 1; }

echo "== payloads =="
python3 bench/make_payloads.py "$out/payloads" --huge

echo "== setups =="
mkdir -p "$out/setups"
for p in a b c huge; do
  src="$out/payloads/$p"
  # Our script: every file of the payload to the same place under C:\benchout\tarn.
  tsc="$out/setups/tarn-$p.tsc"
  {
    echo "product \"Bench $p\""
    echo "log \"C:\\benchout\\tarn\\INSTALL.LOG\""
    (cd "$src" && find . -type f ! -name SHA256SUMS | sort | sed 's|^\./||') | while read -r f; do
      echo "install \"$src/$f\" to \"C:\\benchout\\tarn\\${f//\//\\}\""
    done
  } > "$tsc"
  "$out/native/tarnbuild" "$tsc" -o "$out/setups/tarn-$p.exe" \
    --stub "$out/win32/tarnhost.exe" --engine "$out/win32/TARN0132.dll" >/dev/null
  [ "$p" = huge ] && continue
  for c in zlib lzma; do
    exe="$out/setups/nsis-$c-$p.exe"
    [ -f "$exe" ] && [ "$exe" -nt "$src/SHA256SUMS" ] && continue
    compressor="/FINAL zlib"; [ "$c" = lzma ] && compressor="/SOLID /FINAL lzma"
    cat > "$out/setups/nsis-$c-$p.nsi" <<NSI
Unicode false
Name "Bench $p"
OutFile "$exe"
SetCompressor $compressor
RequestExecutionLevel user
InstallDir "C:\\benchout\\nsis-$c"
Section
  SetOutPath "\$INSTDIR"
  File /r /x SHA256SUMS "$src/*"
SectionEnd
NSI
    makensis -V1 "$out/setups/nsis-$c-$p.nsi"
  done
done
ls -l "$out/setups"/*.exe | awk '{printf "  %-40s %12d bytes\n", $9, $5}' | sed "s|$out/setups/||"

# Our own Xvfb display and Wine prefix; one wineserver for the whole measurement.
display_number=${BENCH_DISPLAY:-$((800 + RANDOM % 100))}
Xvfb ":$display_number" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display_number" WINEPREFIX="$out/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true; kill $xvfb_pid 2>/dev/null || true' EXIT
sleep 1
[ -f "$WINEPREFIX/system.reg" ] || { wineboot -i >/dev/null 2>&1; wineserver -w; }
# Every contender runs on one Wine desktop whose shell stays up for the whole measurement,
# as on a user's machine. Without it, each process that makes a window starts the shell
# afresh, and the bare X server (no window manager) holds the removal of a notification
# icon for two seconds while Wine waits for its tray window to be withdrawn.
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null 2>&1
wineserver -k 2>/dev/null || true
wineserver -p
wine explorer /desktop=Default,1024x768 >/dev/null 2>&1 &
sleep 2
wine cmd /c exit >/dev/null 2>&1 || true   # warm the prefix

echo
echo "== machine =="
echo "$(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores, $(free -g | awk '/Mem:/{print $2}') GB; $(wine --version); $(date -u '+%Y-%m-%d %H:%M UTC'); commit $commit"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "== installations =="
python3 bench/measure.py "$out" "$rounds"
echo
echo "== engine =="
probe_dir="$WINEPREFIX/drive_c/benchprobe"
startup=() records0=() records=()
n=20000
for i in $(seq "$rounds"); do
  rm -rf "$probe_dir"; mkdir -p "$probe_dir"
  startup+=("$(wine "$out/win32/bench/engine_probe.exe" startup "$out/win32/TARN0132.dll" 'C:\benchprobe' | tr -d '\r')")
  records0+=("$(wine "$out/win32/bench/engine_probe.exe" records "$out/win32/TARN0132.dll" 0 | tr -d '\r')")
  records+=("$(wine "$out/win32/bench/engine_probe.exe" records "$out/win32/TARN0132.dll" $n | tr -d '\r')")
done
python3 - "$n" "${startup[*]}" "${records0[*]}" "${records[*]}" <<'PY'
import statistics, sys
n = int(sys.argv[1])
s, r0, r = ([float(x) for x in a.split()] for a in sys.argv[2:5])
m0, m = statistics.median(r0), statistics.median(r)
print(f"- TarnMain entry to the first record's data: median {statistics.median(s):.1f} ms "
      f"(min {min(s):.1f}, max {max(s):.1f}) (goal < 50 ms)")
print(f"- interpreter: {n} loops of 5 records executed each: {m - m0:.0f} ms over the empty script "
      f"({m0:.1f} ms): {5 * n / ((m - m0) / 1000):,.0f} records/s")
PY
if [ -x "$out/native/bench/micro_bench" ]; then
  "$out/native/bench/micro_bench" --benchmark_min_time=0.5 2>/dev/null | sed -n '/^BM_/p'
fi
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
