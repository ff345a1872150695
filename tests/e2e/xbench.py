"""The end-to-end bench on a real X display: a Bench whose fresh prefix uses
Wine's X11 driver, for runs inside xvfb-run (or on a person's DISPLAY), with
the installer's window driven by real input from xdotool.

  bench = XBench(build, name, log_pixels=None)   # 144: 150 %; bench.scale
  run = bench.start_installer(installer, *args, typing="", hosts=None, answers=(), timeout=120)
  run.wait(pattern, what, timeout=30) -> trace text;  run.dialog(what) -> {caption, text, buttons};  run.running()
  run.window() -> (x, y, width, height);  run.click(control);  run.key(*keys);  run.type(text)
  run.shot(name) -> png path in <bench>/shots;  run.finish(timeout=60) -> bench.Run (exit code, traces, dialogs)

The installer runs under vektrace in the background; every trace line and
dialog goes at once to a log file, and each wait is a wait for its line,
bounded by a deadline. Characters that run.type() is to type beyond the
keyboard's own are named in `typing` (their keys exist before the program
starts). `hosts` ({name: address}) is seen by the installer
and what it starts through a private mount of /etc/hosts (needs root).
Controls are named as in the shipped layout; their points are the centres
of its rectangles at 100 %, scaled by the bench's DPI factor."""
import itertools
import os
import re
import shlex
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "wine"))
from bench import Bench, Run  # noqa: E402
from linuxside import wine_command  # noqa: E402
from x11bench import TIMEOUT, CharacterKeys, Log, write_display_settings, windows_path  # noqa: E402

TITLE = "TovikC盘清理安装"
# The shipped layout's controls at 100 % (left, top, right, bottom), as its
# geometry test in tests/vekui/native/layout_geometry_test.cpp has them.
CONTROLS = {
    "minbtn": (540, 10, 564, 34),
    "BtnClose": (566, 10, 590, 34),
    "BtnInstall": (192, 240, 408, 278),
    "CheckLicence": (202, 295, 302, 311),
    "BtnLicenceLink": (302, 295, 398, 311),
    "EditInstallPath": (50, 341, 550, 375),
    "BtnSelectPath": (512, 341, 550, 375),
    "ShouldStartWithWindowsChk": (52, 393, 232, 409),
    "StartMenuShortcutChk": (332, 393, 512, 409),
    "ProgressInstall": (55, 322, 545, 338),
    "LabelInstallValue": (245, 354, 355, 373),
    "BtnStart": (192, 387, 408, 425),
}


def xdo(*args):
    return subprocess.run(["xdotool"] + [str(a) for a in args], check=True, stdout=subprocess.PIPE,
                          stdin=subprocess.DEVNULL, text=True, timeout=TIMEOUT).stdout


def find_window(title):
    """The X window of the shown top-level window named `title`, waited for.
    xdotool gives up when a window it lists is destroyed before it reads it
    (BadWindow, while Wine starts up): it is asked again."""
    deadline = time.monotonic() + TIMEOUT
    while True:
        found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^%s$" % re.escape(title)],
                               stdin=subprocess.DEVNULL, capture_output=True, text=True,
                               timeout=max(1, deadline - time.monotonic()))
        if found.returncode == 0 and found.stdout.split():
            return found.stdout.split()[0]
        if time.monotonic() > deadline:
            raise AssertionError("no window %s: %s" % (title, found.stderr))


class XBench(Bench):
    def __init__(self, build, name, log_pixels=None, root=None):
        self.log_pixels = log_pixels
        self.scale = (log_pixels or 96) / 96
        self._runs = itertools.count(1)
        super().__init__(build, name, root)
        self.shots = os.path.join(self.root, "shots")
        os.makedirs(self.shots, exist_ok=True)

    def prepare(self):
        # Before the session's first program: it fixes the driver for the session.
        reg = os.path.join(self.root, "display.reg")
        write_display_settings(reg, self.log_pixels)
        self._shell('"$WINE" regedit /S %s; "$WINESERVER" -w' % shlex.quote(windows_path(reg)))

    def start_installer(self, installer, *args, typing="", hosts=None, answers=(), timeout=120):
        """The installer (a Windows path) started from its own folder under
        vektrace; `timeout` seconds to its end (0: none)."""
        return InstallerRun(self, installer, args, typing, hosts, answers, timeout)

    def hosts_file(self, hosts):
        path = os.path.join(self.root, "hosts")
        with open("/etc/hosts") as f:
            text = f.read()
        with open(path, "w") as f:
            f.write(text + "".join("%s %s\n" % (address, name) for name, address in hosts.items()))
        return path


class InstallerRun:
    def __init__(self, bench, installer, args, typing, hosts, answers, timeout):
        self.bench = bench
        # Held to the run's end (or this process's).
        self.keys = CharacterKeys(typing) if typing else None
        number = next(bench._runs)
        self.log_path = os.path.join(bench.root, "run-%d.log" % number)
        options = [word for answer in answers for word in ("--answer", answer)]
        command = wine_command(bench.tool("vektrace.exe"), "--live", "--keep-window", "--timeout", str(timeout),
                               *options, installer, *args)
        if hosts:
            command = ["unshare", "-m", "bash", "-c", 'mount --bind "$0" /etc/hosts && exec "$@"',
                       bench.hosts_file(hosts)] + command
        with open(self.log_path, "wb") as out, open(self.log_path + ".err", "wb") as err:
            # Files, not pipes: the programs it starts inherit them.
            self.process = subprocess.Popen(command, env=bench.env, cwd=os.path.dirname(bench.unix(installer)),
                                            stdin=subprocess.DEVNULL, stdout=out, stderr=err)
        bench.spawned.append(self.process)
        self.log = Log(self.log_path)
        self.xid = None
        self.origin = (0, 0)

    # ---- what the installer says ------------------------------------------------

    def wait(self, pattern, what, timeout=TIMEOUT):
        """The next trace (without its "xm " tag) that matches `pattern` whole;
        an AssertionError once the deadline passed or the run has ended."""
        return self.log.wait("xm " + pattern, what, timeout, self.running)[3:]

    def running(self):
        return self.process.poll() is None

    def dialog(self, what, timeout=TIMEOUT):
        """The next dialog the installer shows, as vektrace reported it."""
        line = self.log.wait("@dialog\t.*", what, timeout, self.running)
        return Run(subprocess.CompletedProcess([], 0, line.encode("utf-8"))).dialogs[0]

    def finish(self, timeout=60):
        """Waits for the run's end: its exit code, traces and dialogs."""
        self.process.wait(timeout=timeout)
        if self.keys:
            self.keys.close()
        with open(self.log_path, "rb") as f:
            return Run(subprocess.CompletedProcess([], self.process.returncode, f.read()))

    # ---- the window -------------------------------------------------------------

    def window(self, title=TITLE):
        """The shown window named `title`: its X window is used from now on."""
        self.xid = find_window(title)
        shell = dict(line.split("=", 1) for line in xdo("getwindowgeometry", "--shell", self.xid).split())
        self.origin = (int(shell["X"]), int(shell["Y"]))
        return self.origin + (int(shell["WIDTH"]), int(shell["HEIGHT"]))

    def point(self, control):
        """A control's centre on the screen."""
        left, top, right, bottom = CONTROLS[control]
        return (self.origin[0] + round((left + right) / 2 * self.bench.scale),
                self.origin[1] + round((top + bottom) / 2 * self.bench.scale))

    def click(self, control):
        x, y = self.point(control)
        # --sync waits for a motion, for 15 s when the pointer is there already.
        here = dict(v.split("=", 1) for v in xdo("getmouselocation", "--shell").split())
        sync = ["--sync"] if (int(here["X"]), int(here["Y"])) != (x, y) else []
        xdo("mousemove", *sync, x, y, "click", 1)

    def key(self, *keys):
        xdo("windowfocus", "--sync", self.xid)
        xdo("key", "--window", self.xid, *keys)

    def type(self, text):
        xdo("windowfocus", "--sync", self.xid)
        xdo("type", "--window", self.xid, text)

    def shot(self, name):
        """The window's own pixels (a layered window shows black in a
        shot of the root)."""
        path = os.path.join(self.bench.shots, name + ".png")
        subprocess.run(["import", "-window", self.xid, path], check=True, stdin=subprocess.DEVNULL,
                       timeout=TIMEOUT)
        return path
