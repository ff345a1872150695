#!/usr/bin/env bash
# Builds the window framework's portable core and its tests as a native
# Linux program under AddressSanitizer and UndefinedBehaviorSanitizer.
#   build_native.sh <output> <repository root> <Debian sources folder>
set -euo pipefail
out=$1 root=$2 src=$3
gtest=/usr/src/googletest/googletest
objdir=$out.obj
mkdir -p "$objdir"
san=(-g -O1 -fsanitize=address,undefined -fno-sanitize-recover=undefined)
cxx=(clang++-14 -std=c++17 "${san[@]}")
zlib=$(echo "$src"/zlib-*/) pugi=$(echo "$src"/pugixml-*/src)
# pugixml configured as the installer builds it (see deps/CMakeLists.txt).
pugi_config=(-DPUGIXML_NO_XPATH -DPUGIXML_NO_STL -DPUGIXML_NO_EXCEPTIONS)
# Third-party code and GoogleTest are compiled once, each object when it is
# missing (the tests deflate their own archives).
[ -f "$objdir/gtest-all.o" ] || "${cxx[@]}" -I"$gtest/include" -I"$gtest" -c "$gtest/src/gtest-all.cc" -o "$objdir/gtest-all.o"
[ -f "$objdir/gtest_main.o" ] || "${cxx[@]}" -I"$gtest/include" -c "$gtest/src/gtest_main.cc" -o "$objdir/gtest_main.o"
[ -f "$objdir/pugixml.o" ] || "${cxx[@]}" "${pugi_config[@]}" -w -c "$pugi/pugixml.cpp" -o "$objdir/pugixml.o"
for f in adler32 crc32 deflate inffast inflate inftrees trees zutil; do
    [ -f "$objdir/z_$f.o" ] || clang-14 "${san[@]}" -w -c "$zlib/$f.c" -o "$objdir/z_$f.o"
done
"${cxx[@]}" -Wall -Wextra -Wno-unused-parameter -I"$root" -I"$gtest/include" -I"$pugi" -I"$zlib" "${pugi_config[@]}" \
    "$root"/utility/vekui/core/*.cpp "$root"/tests/vekui/native/*.cpp \
    "$objdir"/*.o -o "$out"
