#!/usr/bin/python3
"""The window's start-up cost, beside a reference in the same run: vekuiview
shows the shipped skin and, as the reference, a skin of one plain view of
the same size (what a window costs without our layout and pictures). For
each, 21 starts under Wine's X11 driver (run inside xvfb-run): the time
from process start to the first frame shown, and the process's private
memory once the window is up.
    window_bench.py <build/x86_64>"""
import os
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "wine"))
from x11bench import Log, WINE, ensure_prefix, restart_server, stop_server, wine_env, windows_path  # noqa: E402

RUNS = 21
REFERENCE_LAYOUT = """<?xml version="1.0" encoding="utf-8"?>
<Window size="600,460" caption="0,0,0,66" bktrans="true" showshadow="true">
  <Include source="font.xml"/>
  <VerticalLayout bkcolor="#FFF4FBF7"/>
</Window>
"""
REFERENCE_FONTS = '<Fonts><Font id="0" name="微软雅黑" size="12" default="true"/></Fonts>\n'


def private_kib(pid):
    total = 0
    with open("/proc/%d/smaps_rollup" % pid) as f:
        for line in f:
            if line.startswith(("Private_Clean:", "Private_Dirty:")):
                total += int(line.split()[1])
    return total


def print_starts(title, results):
    """{name: [(first frame ms, private KiB)]} as medians and ranges."""
    print(title)
    width = max(len(name) for name in results)
    for name, samples in results.items():
        times = [t for t, _ in samples]
        memory = [m for _, m in samples]
        print("  %-*s first frame %5.0f ms (%.0f-%.0f)   private memory %6.1f MiB" % (
            width, name, statistics.median(times), min(times), max(times), statistics.median(memory) / 1024))


def one_start(build, skin, log_path):
    if os.path.exists(log_path):
        os.remove(log_path)
    log = Log(log_path)
    proc = subprocess.Popen([WINE, os.path.join(build, "tests", "vekuiview.exe"), "--skin", windows_path(skin),
                             "--show", "--log", windows_path(log_path)], env=wine_env(build),
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        first = float(log.wait(r"firstframe [0-9.]+", "first frame").split()[1])
        log.wait(r"ready", "window ready")
        memory = private_kib(proc.pid)
    finally:
        proc.kill()
        proc.wait()
    return first, memory


def main():
    build = os.path.abspath(sys.argv[1])
    ensure_prefix(build)
    restart_server(build)
    with tempfile.TemporaryDirectory() as reference:
        os.makedirs(os.path.join(reference, "Layout"))
        with open(os.path.join(reference, "Layout", "Layout.xml"), "w", encoding="utf-8") as f:
            f.write(REFERENCE_LAYOUT)
        with open(os.path.join(reference, "font.xml"), "w", encoding="utf-8") as f:
            f.write(REFERENCE_FONTS)
        skins = (("shipped skin", os.path.join(build, "skin")), ("reference (one plain view)", reference))
        log_path = os.path.join(build, "tests", "window-bench.log")
        results = {name: [] for name, _ in skins}
        try:
            for _ in range(RUNS):  # interleaved, so that both see the same machine
                for name, skin in skins:
                    results[name].append(one_start(build, skin, log_path))
        finally:
            stop_server(build)
    print_starts("window start-up, %d starts each, medians (range)" % RUNS, results)


if __name__ == "__main__":
    main()
