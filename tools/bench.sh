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
LANG=zh_CN.UTF-8 "$run" "$B/tests/vek_process_bench.exe"

# Deleting a tree of 10,000 small files: Lua_DelFileRecursive under Wine next
# to rm -r of the same tree on the Linux side.
temp_unix=$(ls -d "$VEK_WINEPREFIX"/drive_c/users/*/Temp | grep -v Public | head -1)
user=$(basename "$(dirname "$temp_unix")")
make_tree() {
    rm -rf "$temp_unix/vek-bench-tree"
    for d in $(seq 1 100); do
        mkdir -p "$temp_unix/vek-bench-tree/d$d"
        (cd "$temp_unix/vek-bench-tree/d$d" && for f in $(seq 1 100); do echo "$f" > "f$f.txt"; done)
    done
}
make_tree
echo 'local t0 = os.clock() Lua_DelFileRecursive("%TEMP%\\vek-bench-tree") probe_record(string.format("%.3f", os.clock() - t0))' \
    > "$temp_unix/vek-bench.lua"
rm -f "$temp_unix/vek-bench-records.txt"
VEK_PROBE_SCRIPT="C:\\users\\$user\\Temp\\vek-bench.lua" VEK_PROBE_OUT="C:\\users\\$user\\Temp\\vek-bench-records.txt" \
    "$run" "$B/tests/installers/probe.exe" </dev/null >/dev/null 2>&1
wine_s=$(head -1 "$temp_unix/vek-bench-records.txt" | tr -d '\r')
[ -e "$temp_unix/vek-bench-tree" ] && echo "warning: the tree was not deleted"
make_tree
start=$(date +%s.%N); rm -r "$temp_unix/vek-bench-tree"; end=$(date +%s.%N)
rm_s=$(echo "$end - $start" | bc -l)
printf 'delete 10000 files: Lua_DelFileRecursive %.3f s, rm -r %.3f s, ratio %.1f\n' "$wine_s" "$rm_s" \
    "$(echo "$wine_s / $rm_s" | bc -l)"
rm -f "$temp_unix/vek-bench.lua" "$temp_unix/vek-bench-records.txt"
