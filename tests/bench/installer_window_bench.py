#!/usr/bin/python3
"""The installer window's costs, beside the bare framework in the same run,
under Wine's X11 driver (run inside xvfb-run):
- start-up: 21 interleaved starts of the shipped installer and of vekuiview
  showing the same skin, both under vektrace (the same debugger overhead):
  time from process start to the first frame shown (what each traces), and
  the process's private memory once the window is up;
- waiting: the probe installer with an install script that holds the worker
  in a message box, so the install view only ticks its progress timer; the
  CPU time of the process and of the wine server over a window of seconds,
  beside vekuiview's idle window over the same span;
- the size of the stripped i686 installer and how much of it is resources.
    installer_window_bench.py <build>       (the folder holding x86_64/ and i686/)"""
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "wine"))
from x11bench import Log, WINE, ensure_prefix, restart_server, stop_server, wine_env, windows_path  # noqa: E402
from window_bench import print_starts, private_kib  # noqa: E402

RUNS = 21
WAIT_SECONDS = 10
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
HOLD_SCRIPT = """global_install_path = [[C:\\vek-window-bench\\TovikClean]]
function VekSE_OnInstall()
    probe_record("VekSE_OnInstall")
    Lua_MsgBox("holding the install")
end
"""


def linux_pid(exe_name):
    """The Linux process of the Windows program `exe_name` (its own command
    line starts with the program's path)."""
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % entry, "rb") as f:
                first = f.read().split(b"\0")[0].decode("utf-8", "replace")
        except OSError:
            continue
        if first.lower().replace("/", "\\").endswith("\\" + exe_name.lower()):
            return int(entry)
    return None


def cpu_seconds(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS  # utime + stime


def wineserver_pid():
    for entry in os.listdir("/proc"):
        try:
            with open("/proc/%s/comm" % entry) as f:
                if f.read().strip().startswith("wineserver"):
                    return int(entry)
        except OSError:
            continue
    return None


class Traced:
    """A program under `vektrace --live --keep-window`, its trace read as it
    grows."""

    def __init__(self, build, exe, args=(), env=None):
        self.log_path = tempfile.mktemp(suffix=".log")
        self.out = open(self.log_path, "w")
        self.exe = exe
        self.proc = subprocess.Popen(
            [WINE, os.path.join(build, "tests", "vektrace.exe"), "--live", "--keep-window", "--timeout", "0",
             windows_path(exe)] + list(args), env=env or wine_env(build), stdin=subprocess.DEVNULL,
            stdout=self.out, stderr=subprocess.DEVNULL)
        self.log = Log(self.log_path)

    def wait(self, pattern, what):
        return self.log.wait(pattern, what)

    def pid(self):
        pid = None
        deadline = time.monotonic() + 10
        while pid is None and time.monotonic() < deadline:
            pid = linux_pid(os.path.basename(self.exe))
        return pid

    def end(self):
        pid = self.pid()
        if pid:
            os.kill(pid, 9)
        self.proc.kill()
        self.proc.wait()
        self.out.close()
        os.remove(self.log_path)


def one_start(build, program):
    if program == "installer":
        run = Traced(build, os.path.join(build, "TovikCleanSetup.exe"))
        first = float(run.wait(r"xm first frame [0-9.]+ ms", "first frame").split()[3])
    else:
        log_path = tempfile.mktemp(suffix=".log")
        run = Traced(build, os.path.join(build, "tests", "vekuiview.exe"),
                     ["--skin", windows_path(os.path.join(build, "skin")), "--show", "--log", windows_path(log_path)])
        view_log = Log(log_path)
        first = float(view_log.wait(r"firstframe [0-9.]+", "first frame").split()[1])
        view_log.wait(r"ready", "window ready")
        os.remove(log_path)
    try:
        return first, private_kib(run.pid())
    finally:
        run.end()


def waiting_cpu(build, program):
    """CPU seconds of the program and of the wine server over WAIT_SECONDS
    while its window only waits."""
    env = wine_env(build)
    if program == "installer":
        script = os.path.join(build, "tests", "installer-window-bench.lua")
        with open(script, "w") as f:
            f.write(HOLD_SCRIPT)
        env.update(VEK_PROBE_SCRIPT=windows_path(script), VEK_PROBE_OUT=windows_path(script + ".out"))
        run = Traced(build, os.path.join(build, "tests", "installers", "probe.exe"), env=env)
        run.wait(r"xm view init", "init view")
        window = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--classname", "probe.exe"],
                                check=True, stdout=subprocess.PIPE, text=True).stdout.split()[0]
        # Enter on the focused install button (Tab from no focus reaches it).
        subprocess.run(["xdotool", "windowfocus", "--sync", window, "key", "Tab", "Return"], check=True)
        run.wait(r"xm view install", "install view")
        run.wait(r"@dialog\t.*holding the install.*", "the held worker")
    else:
        log_path = tempfile.mktemp(suffix=".log")
        run = Traced(build, os.path.join(build, "tests", "vekuiview.exe"),
                     ["--skin", windows_path(os.path.join(build, "skin")), "--show", "--log", windows_path(log_path)],
                     env=env)
        Log(log_path).wait(r"ready", "window ready")
    try:
        pid, server = run.pid(), wineserver_pid()
        before = cpu_seconds(pid), cpu_seconds(server)
        time.sleep(WAIT_SECONDS)  # the span measured, not a synchronisation
        after = cpu_seconds(pid), cpu_seconds(server)
        return after[0] - before[0], after[1] - before[1]
    finally:
        run.end()


def sizes(root):
    installer = os.path.join(root, "i686", "TovikCleanSetup.exe")
    headers = subprocess.run(["i686-w64-mingw32-objdump", "-h", installer], check=True, stdout=subprocess.PIPE,
                             text=True).stdout
    resources = sum(int(line.split()[2], 16) for line in headers.splitlines() if " .rsrc " in line)
    total = os.path.getsize(installer)
    print("stripped i686 installer: %d bytes; resources (payload, skin, chunks, icons) %d, the rest %d" % (
        total, resources, total - resources))


def main():
    root = os.path.abspath(sys.argv[1])
    build = os.path.join(root, "x86_64")
    ensure_prefix(build)
    restart_server(build)
    results = {"installer": [], "vekuiview": []}
    try:
        waiting = {program: waiting_cpu(build, program) for program in ("installer", "vekuiview")}
        for _ in range(RUNS):  # interleaved, so that both see the same machine
            for program in results:
                results[program].append(one_start(build, program))
    finally:
        stop_server(build)
    print_starts("installer window, %d starts each under vektrace, medians (range)" % RUNS, results)
    print("waiting window, CPU over %d s (process / wine server)" % WAIT_SECONDS)
    ticks = WAIT_SECONDS * 1000 // 300
    for program, (own, server) in waiting.items():
        print("  %-10s %5.1f %% / %5.1f %%   (%.2f ms of process CPU per 300 ms tick)" % (
            program, own * 100 / WAIT_SECONDS, server * 100 / WAIT_SECONDS, own * 1000 / ticks))
    sizes(root)


if __name__ == "__main__":
    main()
