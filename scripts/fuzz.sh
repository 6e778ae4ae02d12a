#!/usr/bin/env bash
# Runs one fuzz target for a given number of seconds: scripts/fuzz.sh fuzz_script 600
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${1:?target: fuzz_script or fuzz_expand}
seconds=${2:-600}
corpus="$root/build/native/fuzz-corpus/$target"
mkdir -p "$corpus"
"$root/build/native/$target" -max_total_time="$seconds" -rss_limit_mb=4096 -print_final_stats=1 \
  "$corpus" "$root/tests/fuzz/seeds/$target"
echo "corpus: $(ls "$corpus" | wc -l) files"
