#!/bin/bash
# Builds the worker pool and its tests as a native Linux program under
# ThreadSanitizer: build_pool_tsan.sh <output> <source root>
set -euo pipefail
out=$1 root=$2
gtest=/usr/src/googletest/googletest
objdir=$out.obj
mkdir -p "$objdir"
cxx="clang++-14 -std=c++17 -g -O1 -fsanitize=thread -pthread"
# GoogleTest itself is compiled once.
if [ ! -f "$objdir/gtest-all.o" ]; then
    $cxx -I"$gtest/include" -I"$gtest" -c "$gtest/src/gtest-all.cc" -o "$objdir/gtest-all.o"
    $cxx -I"$gtest/include" -c "$gtest/src/gtest_main.cc" -o "$objdir/gtest_main.o"
fi
$cxx -Wall -Wextra -I"$root" -I"$gtest/include" \
    "$root/stat/threadpool.cpp" "$root/tests/stat/native_apartment.cpp" "$root/tests/stat/threadpool_test.cpp" "$root/tests/stat/csinglet_test.cpp" \
    "$objdir/gtest-all.o" "$objdir/gtest_main.o" -o "$out"
