#!/usr/bin/env python3
"""A whole silent install under Wine, each round in a fresh prefix, next to
7zz extracting the same payload on the Linux side; the installer's peak
memory; then the product's silent uninstall in the same prefix; the sizes of
the shipped installers, their payload and the uninstaller.

  install_bench.py BUILD_ROOT [ROUNDS]

The installer is the shipped one with its statistics addressed to a closed
loopback port (the report fails at once instead of waiting on a name that
does not resolve). The install script waits 2 s for ended programs to go
away; that pause is part of the time and is also shown taken off.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
from bench import Bench, packer_switches, timed, wine_command  # noqa: E402

SCRIPT_PAUSE_S = 2.0
# The uninstall script waits 1 s after ending the service, 1 s after the
# unpinning and 6 s before it closes the statistics library.
UNINSTALL_PAUSES_S = (2.0, 6.0)
CLOSED = {"udp_other": 9, "http_ok": 9}


def install_round(build, number):
    bench = Bench(build, "bench-%d" % number)
    try:
        installer = bench.pack("TovikCleanSetup.exe", stat_ports=CLOSED)
        seconds, peak_kb = timed(wine_command(installer, "/InstallSlience", "true"), env=bench.env)
        if bench.inspect("reg:HKLM\\SOFTWARE\\TovikClean") is None:
            raise SystemExit("round %d: the install did not complete" % number)
        uninstaller = "C:\\Program Files\\TovikClean\\Uninstall.exe"
        uninstall_s, _ = timed(wine_command(uninstaller, "/S"), env=bench.env)
        if bench.inspect("reg:HKLM\\SOFTWARE\\TovikClean") is not None:
            raise SystemExit("round %d: the uninstall did not complete" % number)
        return seconds, peak_kb, uninstall_s
    finally:
        bench.stop()
        shutil.rmtree(bench.root, ignore_errors=True)


def sevenzip_round(payload, work):
    archive = os.path.join(work, "app.7z")
    if not os.path.exists(archive):  # packed as the packager does
        subprocess.run(["7zz", "a", "-t7z"] + packer_switches() + ["-bd", "-y", archive] + sorted(os.listdir(payload)),
                       cwd=payload, check=True, stdout=subprocess.DEVNULL)
    out = os.path.join(work, "out")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    return timed(["7zz", "x", "-bd", "-y", "-o" + out, archive])


def main():
    build_root = os.path.abspath(sys.argv[1])
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    build = os.path.join(build_root, "x86_64")
    payload = os.path.join(build, "payload")
    installs, extracts = [], []
    with tempfile.TemporaryDirectory() as work:
        for number in range(rounds):
            installs.append(install_round(build, number))
            extracts.append(sevenzip_round(payload, work))
        archive_size = os.path.getsize(os.path.join(work, "app.7z"))
    install_s = statistics.median(r[0] for r in installs)
    uninstall_s = statistics.median(r[2] for r in installs)
    sevenzip_s = statistics.median(s for s, _ in extracts)
    print("silent install, median of %d fresh prefixes: %.2f s (%.2f s without the script's %.0f s pause); "
          "rounds %s" % (rounds, install_s, install_s - SCRIPT_PAUSE_S, SCRIPT_PAUSE_S,
                         " ".join("%.2f" % r[0] for r in installs)))
    print("silent uninstall, median: %.2f s (%.2f s without the script's %.0f s of pauses and its %.0f s wait "
          "before closing the statistics); rounds %s" % (
              uninstall_s, uninstall_s - sum(UNINSTALL_PAUSES_S), UNINSTALL_PAUSES_S[0], UNINSTALL_PAUSES_S[1],
              " ".join("%.2f" % r[2] for r in installs)))
    print("7zz x of the same payload, median: %.3f s" % sevenzip_s)
    print("peak resident memory: installer process %.1f MB (largest of the rounds), 7zz %.1f MB" % (
        max(r[1] for r in installs) / 1024, max(kb for _, kb in extracts) / 1024))
    payload_bytes = sum(os.path.getsize(os.path.join(payload, n)) for n in os.listdir(payload))
    print("payload: %d files, %d bytes, packed %d bytes" % (len(os.listdir(payload)), payload_bytes, archive_size))
    for arch in ("i686", "x86_64"):
        for name in ("TovikCleanSetup.exe", "payload/Uninstall.exe"):
            path = os.path.join(build_root, arch, name)
            if os.path.exists(path):
                print("%s %s: %d bytes" % (arch, os.path.basename(name), os.path.getsize(path)))


if __name__ == "__main__":
    main()
