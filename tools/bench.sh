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

# Statistics module: report latency to a listener on the dispatch port, and
# how long Shutdown takes with a live, a silent (nobody listening) and an
# unresolvable dispatch server. The module loads the libraries beside itself.
statdir=$B/tests/statbench
rm -rf "$statdir"; mkdir -p "$statdir"
cp "$B/tests/vek_stat_bench.exe" "$B/product/qorstat.dll" "$B/product/udp_qor.dll" "$statdir/"
"$run" "$statdir/vek_stat_bench.exe" latency 500
for host in 127.0.0.2 stat.invalid dispatch.stat.tovikclean.com; do
    "$run" "$statdir/vek_stat_bench.exe" shutdown "$host" 1000
done
# The same with a name service that never answers (a local server that
# swallows every query, seen only by this process tree through a private
# mount of resolv.conf): the longest Shutdown and HTTP report can block.
if unshare -m true 2>/dev/null && ! ss -lun 2>/dev/null | grep -q '127.0.0.1:53 '; then
    printf 'nameserver 127.0.0.1\noptions timeout:5 attempts:2\n' > "$statdir/resolv.conf"
    python3 -c 'import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 53))
while True: s.recvfrom(4096)' &
    blackhole=$!
    sleep 0.5
    unshare -m bash -c "mount --bind '$statdir/resolv.conf' /etc/resolv.conf
        for host in a.example b.example c.example; do '$run' '$statdir/vek_stat_bench.exe' shutdown \$host 1000; done
        '$run' '$statdir/vek_stat_bench.exe' post http://stat.example/api/InstallStat"
    kill $blackhole
fi
rm -rf "$statdir"

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
    "$run" "$B/tests/installers/probe.exe" /InstallSlience true </dev/null >/dev/null 2>&1
wine_s=$(head -1 "$temp_unix/vek-bench-records.txt" | tr -d '\r')
[ -e "$temp_unix/vek-bench-tree" ] && echo "warning: the tree was not deleted"
make_tree
start=$(date +%s.%N); rm -r "$temp_unix/vek-bench-tree"; end=$(date +%s.%N)
rm_s=$(echo "$end - $start" | bc -l)
printf 'delete 10000 files: Lua_DelFileRecursive %.3f s, rm -r %.3f s, ratio %.1f\n' "$wine_s" "$rm_s" \
    "$(echo "$wine_s / $rm_s" | bc -l)"
rm -f "$temp_unix/vek-bench.lua" "$temp_unix/vek-bench-records.txt"

# Payload extraction: a generated payload of 160 MB packed with 16 MiB,
# 32 MiB and 64 MiB solid blocks and as one block, each extracted from a
# probe installer's own payload resource under Wine next to 7zz x -mmt1 and
# -mmt2 on the same archive (whole-process wall times, in turns); packed
# size, ratio, blocks and our peak memory per block size.
python3 "$root/tests/bench/extract_bench.py" "$(dirname "$B")" --sizes 16m,32m,64m,on

# A whole silent install (median of 5 fresh prefixes) next to 7zz extracting
# the same payload; peak memory; installer and payload sizes.
python3 "$root/tests/bench/install_bench.py" "$(dirname "$B")" 5

# The installer window: first frame and private memory, shipped skin beside a
# plain one-view window, under Wine's X11 driver on a virtual display.
xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/python3 "$root/tests/bench/window_bench.py" "$B"

# The installer window: first frame and private memory beside the bare
# framework showing the same skin, CPU while the install view only waits,
# and the size of the stripped i686 installer.
xvfb-run -a -s "-screen 0 1280x1024x24" /usr/bin/python3 "$root/tests/bench/installer_window_bench.py" "$(dirname "$B")"

# What the stripped i686 host weighs without resources, part by part.
if [ -f "$(dirname "$B")/i686/vekpack.json" ]; then
    python3 "$root/tests/bench/host_size.py" "$(dirname "$B")/i686"
fi
