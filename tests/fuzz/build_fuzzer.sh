#!/usr/bin/env bash
# Builds the 7z fuzz target natively with libFuzzer and AddressSanitizer.
#   build_fuzzer.sh <output> <repository root> <third-party include dir> <7-Zip C source dir>
set -euo pipefail
out=$1 root=$2 include=$3 csrc=$4
objects=$(mktemp -d)
trap 'rm -rf "$objects"' EXIT
flags=(-g -O1 -fsanitize=fuzzer-no-link,address,undefined -DZ7_ST -DZ7_PPMD_SUPPORT)
for f in 7zAlloc 7zArcIn 7zBuf 7zBuf2 7zCrc 7zCrcOpt 7zDec 7zStream Bcj2 Bra Bra86 BraIA64 CpuArch Delta \
         Lzma2Dec LzmaDec Ppmd7 Ppmd7Dec; do
    clang-14 "${flags[@]}" -w -c "$csrc/$f.c" -o "$objects/$f.o"
done
clang++-14 -g -O1 -fsanitize=fuzzer,address,undefined -std=c++17 -I"$root" -I"$include" \
    "$root/tests/fuzz/fuzz_7z.cpp" "$root/utility/base/archive/folderdecoder.cpp" "$objects"/*.o -o "$out"
