#!/usr/bin/env bash
# Configures and builds the two trees: build/native (Linux, sanitizers, fuzzers) and
# build/win32 (mingw-w64 i686: the engine DLL, the programs, the Wine tests).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build_type=${TARN_BUILD_TYPE:-Debug}
cmake -S . -B build/native -DCMAKE_BUILD_TYPE="$build_type" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/native -j"$(nproc)"
cmake -S . -B build/win32 -DCMAKE_BUILD_TYPE="$build_type" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32 -j"$(nproc)"
