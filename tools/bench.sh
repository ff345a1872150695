#!/usr/bin/env bash
# Runs the benchmarks (not part of the test suite) against the x86_64 build.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
B=${VEK_BUILD:-$root/build}/x86_64
run=$B/wine-run
export VEK_WINEPREFIX=$B/wineprefix
"$root/tests/wine/prefix.sh" start
trap '"$root/tests/wine/prefix.sh" stop' EXIT
probe=$(echo "Z:$B/tests/installers/probe.exe" | tr / '\\')
LANG=zh_CN.UTF-8 "$run" "$B/tests/vek_startup_bench.exe" "$probe" 21
LANG=zh_CN.UTF-8 "$run" "$B/tests/vek_call_bench.exe"
