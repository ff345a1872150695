#!/usr/bin/env bash
# Builds the skin fuzz target natively with libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer over every source of the window framework's
# portable core.
#   build_fuzz_skin.sh <output> <repository root> <Debian sources folder>
set -euo pipefail
out=$1 root=$2 src=$3
objdir=$out.obj
mkdir -p "$objdir"
core=$root/utility/vekui/core
zlib=$(echo "$src"/zlib-*/) pugi=$(echo "$src"/pugixml-*/src)
# pugixml configured as the installer builds it (see deps/CMakeLists.txt).
pugi_config=(-DPUGIXML_NO_XPATH -DPUGIXML_NO_STL -DPUGIXML_NO_EXCEPTIONS)
instrument=(-g -O1 -fsanitize=fuzzer-no-link,address,undefined)
# Third-party code is instrumented too (coverage guides the inputs into
# inflate and the XML parser), compiled once per object.
[ -f "$objdir/pugixml.o" ] || clang++-14 -std=c++17 "${instrument[@]}" "${pugi_config[@]}" -w -c "$pugi/pugixml.cpp" -o "$objdir/pugixml.o"
for f in adler32 crc32 inffast inflate inftrees zutil; do
    [ -f "$objdir/z_$f.o" ] || clang-14 "${instrument[@]}" -w -c "$zlib/$f.c" -o "$objdir/z_$f.o"
done
clang++-14 -g -O1 -fsanitize=fuzzer,address,undefined -std=c++17 -I"$root" -I"$pugi" -I"$zlib" "${pugi_config[@]}" \
    "$core"/*.cpp "$root/tests/fuzz/fuzz_skin.cpp" "$objdir"/*.o -o "$out"
