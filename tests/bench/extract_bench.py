#!/usr/bin/env python3
"""Payload extraction: the installer extracting its own payload resource
under Wine next to 7zz on the Linux side, on the same archives, in one run.

  extract_bench.py BUILD_ROOT [--mb 160] [--rounds 5] [--sizes 16m,32m,64m,on]

A generated payload (text, incompressible data and a few large files) is
packed as vekpack packs it, once per solid block size; each archive goes
into a probe installer (tools/vekpack) whose script extracts APP.7Z as the
install does. Reported per archive: packed size and ratio, solid blocks,
the installer's whole-process wall time (median), its peak resident memory
and the peak private bytes Windows reports, and `7zz x -mmt1` / `-mmt2`
wall times of the same archive with the throughput ratios.
"""
import argparse
import os
import random
import re
import shutil
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from bench import Bench, packer_switches, timed, wine_command  # noqa: E402

EXTRACT = """\
local counters = RawBuffer.New(80)
counters:OffsetSetAsUInt32(0, 80)
local ok = Lua_UnCompress7z('APP.7Z', [[%s]])
GLibTab.psapi:Get("GetProcessMemoryInfo", "bool")(GLibTab.kernel32:Get("GetCurrentProcess", "ptr")(), counters, 80)
-- PeakPagefileUsage (peak private bytes) sits at offset 64 on 64-bit builds
probe_record(tostring(ok), counters:OffsetGetAsUInt32(64) + counters:OffsetGetAsUInt32(68) * 4294967296)
"""


def make_payload(folder, megabytes):
    rng = random.Random(7)
    words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9))) for _ in range(5000)]
    total, i = 0, 0
    big_share = megabytes * 1_000_000 * 2 // 5
    while total < megabytes * 1_000_000 - big_share:
        sub = os.path.join(folder, "d%02d" % (i % 40), "s%d" % (i % 7))
        os.makedirs(sub, exist_ok=True)
        if i % 3 == 0:
            data = os.urandom(rng.randint(10000, 60000))
        else:
            data = b" ".join(rng.choice(words) for _ in range(rng.randint(4000, 12000)))
        with open(os.path.join(sub, "f%04d.%s" % (i, "bin" if i % 3 == 0 else "txt")), "wb") as f:
            f.write(data)
        total += len(data)
        i += 1
    os.makedirs(os.path.join(folder, "big"), exist_ok=True)
    for j in range(4):
        chunk = os.urandom(big_share // 8) + b"".join(rng.choice(words) for _ in range(big_share // 8 // 6))
        with open(os.path.join(folder, "big", "blob%d.dat" % j), "wb") as f:
            f.write(chunk)
        total += len(chunk)
    return i + 4, total


def pack(tree, archive, block):
    # as tools/vekpack packs a payload folder, but for the block size
    subprocess.run(["7zz", "a", "-t7z"] + packer_switches(block) + ["-bd", "-y", archive] + sorted(os.listdir(tree)),
                   cwd=tree, check=True, stdout=subprocess.DEVNULL)
    listing = subprocess.run(["7zz", "l", "-slt", archive], capture_output=True, text=True, check=True).stdout
    return len(set(re.findall(r"^Block = (\d+)", listing, re.M)))


def ours(bench, installer):
    out = bench.unix("C:\\bench-out")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    records = bench.unix("C:\\bench-records.txt")
    if os.path.exists(records):
        os.remove(records)
    with open(bench.unix("C:\\bench-extract.lua"), "w") as f:
        f.write(EXTRACT % "C:\\bench-out")
    env = dict(bench.env, VEK_PROBE_SCRIPT="C:\\bench-extract.lua", VEK_PROBE_OUT="C:\\bench-records.txt")
    seconds, kb = timed(wine_command(installer, "/InstallSlience", "true"), env=env)
    with open(records) as f:
        line = [l.split("\t") for l in f.read().splitlines() if l.startswith(("true", "false"))][0]
    if line[0] != "true":
        raise SystemExit("the installer's extraction failed")
    return seconds, kb / 1024, int(line[1]) / 1048576, out


def sevenzip(archive, threads, work):
    out = os.path.join(work, "out-7zz")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    return timed(["7zz", "x", "-bd", "-y", "-mmt%d" % threads, "-o" + out, archive])[0]


def measure(bench, installer, archive, work, rounds):
    """Medians of `rounds` rounds, each running the three one after the
    other, so that a slow spell of the machine falls on all of them."""
    runs = {"ours": [], 1: [], 2: []}
    rss, private = [], []
    for _ in range(rounds):
        seconds, rss_mb, private_mb, out = ours(bench, installer)
        runs["ours"].append(seconds)
        rss.append(rss_mb)
        private.append(private_mb)
        runs[1].append(sevenzip(archive, 1, work))
        runs[2].append(sevenzip(archive, 2, work))
    medians = {k: statistics.median(v) for k, v in runs.items()}
    return medians, max(rss), max(private), out


def same_tree(a, b):
    return subprocess.run(["diff", "-rq", a, b], stdout=subprocess.DEVNULL).returncode == 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build_root")
    parser.add_argument("--mb", type=int, default=160)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--sizes", default="16m,32m,64m,on")
    args = parser.parse_args()
    build = os.path.join(os.path.abspath(args.build_root), "x86_64")
    bench = Bench(build, "extract-bench")
    work = tempfile.mkdtemp(prefix="vek-extract-bench-")
    try:
        tree = os.path.join(work, "tree")
        files, total = make_payload(tree, args.mb)
        scripts = os.path.join(work, "scripts")
        os.makedirs(scripts)
        shutil.copy(os.path.join(ROOT, "scripts", "GLOBAL_VAR.lua"), scripts)
        shutil.copy(os.path.join(ROOT, "tests", "fixtures", "probe", "INSTSCRIPT.lua"), scripts)
        print("payload: %d files, %.1f MB; 7zz %s, -ms as below; %d cores; medians of %d rounds" % (
            files, total / 1e6, " ".join(packer_switches()), os.cpu_count(), args.rounds))
        print("%-9s %7s %6s %6s | %8s %8s %9s | %8s %8s | %6s %6s | %s" % (
            "block", "packed", "ratio", "blocks", "ours s", "RSS MB", "private", "7zz-mmt1", "7zz-mmt2",
            "x mmt1", "x mmt2", "files"))
        for block in args.sizes.split(","):
            archive = os.path.join(work, "payload-%s.7z" % block)
            blocks = pack(tree, archive, block)
            installer = os.path.join(work, "extract-%s.exe" % block)
            subprocess.run([sys.executable, os.path.join(ROOT, "tools", "vekpack"), "--arch", "x86_64",
                            "--build", build, "--scripts", scripts, "--payload", archive, "-o", installer],
                           check=True, stdout=subprocess.DEVNULL)
            bench.start()
            try:
                medians, rss_mb, private_mb, out = measure(bench, installer, archive, work, args.rounds)
                identical = same_tree(tree, out)
                shutil.rmtree(out, ignore_errors=True)
            finally:
                bench.stop()
            seconds, one, two = medians["ours"], medians[1], medians[2]
            packed = os.path.getsize(archive)
            print("%-9s %5.1fMB %5.1f%% %6d | %8.2f %8.0f %9.0f | %8.2f %8.2f | %6.2f %6.2f | %s" % (
                block, packed / 1e6, 100.0 * packed / total, blocks, seconds, rss_mb, private_mb, one, two,
                one / seconds, two / seconds, "identical" if identical else "DIFFERENT"))
            os.remove(archive)
            os.remove(installer)
    finally:
        shutil.rmtree(work, ignore_errors=True)
        shutil.rmtree(bench.root, ignore_errors=True)


if __name__ == "__main__":
    main()
