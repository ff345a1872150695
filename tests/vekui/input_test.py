#!/usr/bin/python3
"""The shipped skin's window shown by vekuiview under Wine's X11 driver (run
inside xvfb-run), driven with real X input from xdotool. Every step waits
for the line the tool logs for it. The install button's colour is read back
from the window's presented pixels (the tool's probe): Xvfb's root window
does not show a layered window's 32-bit contents to a screenshot."""
import os
import re
import subprocess
import sys
import time
import unittest

BUILD = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else None
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PREFIX = os.path.join(BUILD or "", "wineprefix-x11")
WINE = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
HOT_GREEN = (0x4F, 0xD5, 0xAD)
TAB_ORDER = ["BtnInstall", "CheckLicence", "BtnLicenceLink", "EditInstallPath", "BtnSelectPath",
             "ShouldStartWithWindowsChk", "StartMenuShortcutChk"]
TIMEOUT = 30
# A point of the install button at 100 %, left of its caption.
PROBE = (230, 259)


def wine_env():
    env = dict(os.environ, WINEPREFIX=PREFIX, WINEARCH="win64", WINEDEBUG="-all",
               WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d", HOME=PREFIX + ".home")
    os.makedirs(env["HOME"], exist_ok=True)
    return env


def ensure_prefix():
    """The bench's prefix set-up, then the X11 driver instead of the null one."""
    if os.path.exists(os.path.join(PREFIX, ".vek-x11")):
        return
    env = dict(os.environ, VEK_WINEPREFIX=PREFIX)
    subprocess.run([os.path.join(SOURCE, "tests", "wine", "prefix.sh"), "ensure"], env=env, check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    reg = os.path.join(PREFIX, "vek-x11.reg")
    text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Drivers]\r\n" \
           "\"Graphics\"=\"x11\"\r\n\r\n"
    with open(reg, "wb") as f:
        f.write(b"\xff\xfe" + text.encode("utf-16-le"))
    subprocess.run([WINE, "regedit", "/S", reg], env=wine_env(), check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run([WINESERVER, "-w"], env=wine_env(), check=True)
    open(os.path.join(PREFIX, ".vek-x11"), "w").close()


class Log:
    """The tool's log, read as it grows; waits are bounded by a deadline."""

    def __init__(self, path):
        self.path, self.lines, self.seen = path, [], 0

    def _read(self):
        try:
            with open(self.path, encoding="utf-8") as f:
                self.lines = [l.rstrip("\n") for l in f.readlines() if l.endswith("\n")]
        except FileNotFoundError:
            pass

    def wait(self, pattern, what):
        """The first line after the last awaited one that matches."""
        deadline = time.monotonic() + TIMEOUT
        regex = re.compile(pattern)
        while time.monotonic() < deadline:
            self._read()
            for i in range(self.seen, len(self.lines)):
                if regex.fullmatch(self.lines[i]):
                    self.seen = i + 1
                    return self.lines[i]
            time.sleep(0.02)  # polling the file; the event is the line
        raise AssertionError("no %s in the log: %s" % (what, self.lines[self.seen:]))


def xdo(*args):
    return subprocess.run(["xdotool"] + [str(a) for a in args], check=True, stdout=subprocess.PIPE,
                          text=True, timeout=TIMEOUT).stdout


class Input(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        ensure_prefix()
        env = wine_env()
        subprocess.run([WINESERVER, "-k"], env=env, stderr=subprocess.DEVNULL)
        subprocess.run([WINESERVER, "-w"], env=env)
        subprocess.run([WINESERVER, "-p"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        log_path = os.path.join(BUILD, "tests", "vekui-input.log")
        if os.path.exists(log_path):
            os.remove(log_path)
        cls.log = Log(log_path)
        cls.proc = subprocess.Popen(
            [WINE, os.path.join(BUILD, "tests", "vekuiview.exe"), "--skin",
             "Z:" + os.path.join(BUILD, "skin").replace("/", "\\"), "--show", "--log",
             "Z:" + log_path.replace("/", "\\"), "--probe", "%d,%d" % PROBE], env=env, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        shown = cls.log.wait(r"shown .*", "window shown").split()
        cls.origin = (int(shown[1]), int(shown[2]))
        cls.size = (int(shown[3]), int(shown[4]))
        cls.controls = {}
        while True:
            line = cls.log.wait(r"control .*|ready", "control list")
            if line == "ready":
                break
            parts = line.split()
            cls.controls[parts[1]] = tuple(int(v) for v in parts[2:6])
        cls.xid = xdo("search", "--sync", "--onlyvisible", "--name", "^vekuiview$").split()[0]

    @classmethod
    def tearDownClass(cls):
        cls.proc.kill()
        cls.proc.wait()
        subprocess.run([WINESERVER, "-k"], env=wine_env(), stderr=subprocess.DEVNULL)

    def centre(self, name, dx=0):
        left, top, right, bottom = self.controls[name]
        return (self.origin[0] + (left + right) // 2 + dx, self.origin[1] + (top + bottom) // 2)

    def test_1_size_at_dpi(self):
        self.assertEqual(self.size, (600, 460))

    def test_2_hover_then_click(self):
        left, top, right, bottom = self.controls["BtnInstall"]
        self.assertTrue(left < PROBE[0] < right and top < PROBE[1] < bottom)
        x, y = self.origin[0] + PROBE[0], self.origin[1] + PROBE[1]
        xdo("mousemove", "--sync", x, y)
        self.log.wait(r"frame .* probe %02X%02X%02X" % HOT_GREEN, "hot colour shown")
        xdo("mousemove", "--sync", self.origin[0] + 20, self.origin[1] + 440)
        self.log.wait(r"frame .* probe 51DB9E", "normal colour again")
        xdo("mousemove", "--sync", x, y)
        self.log.wait(r"frame .* probe %02X%02X%02X" % HOT_GREEN, "hot colour shown again")
        xdo("click", 1)
        self.log.wait(r"notify click BtnInstall 0", "click")

    def test_3_option_toggles(self):
        x, y = self.centre("CheckLicence")
        xdo("mousemove", "--sync", x, y, "click", 1)
        self.log.wait(r"notify selectchanged CheckLicence 0", "selectchanged")
        xdo("click", 1)
        self.log.wait(r"notify selectchanged CheckLicence 0", "second selectchanged")

    def test_4_tab_order(self):
        xdo("windowfocus", "--sync", self.xid)
        names = []
        for _ in range(len(TAB_ORDER) + 1):
            xdo("key", "--window", self.xid, "Tab")
            names.append(self.log.wait(r"notify setfocus \S+ 0", "focus moved").split()[2])
        start = TAB_ORDER.index(names[0])
        expected = [TAB_ORDER[(start + i) % len(TAB_ORDER)] for i in range(len(names))]
        self.assertEqual(names, expected)
        xdo("key", "--window", self.xid, "shift+Tab")
        back = self.log.wait(r"notify setfocus \S+ 0", "focus moved back").split()[2]
        self.assertEqual(back, expected[-2])

    def test_5_typing_into_the_path_field(self):
        x, y = self.centre("EditInstallPath", dx=-100)
        xdo("mousemove", "--sync", x, y, "click", 1)
        self.log.wait(r"notify setfocus EditInstallPath 0", "path field focused")
        xdo("key", "--window", self.xid, "ctrl+a")
        xdo("type", "--window", self.xid, "D:\\Apps")
        self.log.wait(r"notify textchanged EditInstallPath 0 D:\\Apps", "ASCII text typed")
        xdo("key", "--window", self.xid, "Home", "shift+End", "BackSpace")
        self.log.wait(r"notify textchanged EditInstallPath 0 ", "selection deleted")
        xdo("type", "--window", self.xid, "E:\\软件\\清理")
        self.log.wait(r"notify textchanged EditInstallPath 0 E:\\软件\\清理", "Chinese text typed")

    def test_6_drag_by_caption(self):
        x, y = self.origin[0] + 150, self.origin[1] + 40
        xdo("mousemove", "--sync", x, y, "mousedown", 1)
        xdo("mousemove", "--sync", x + 60, y + 45)
        xdo("mousemove", "--sync", x + 120, y + 90, "mouseup", 1)
        target = (self.origin[0] + 120, self.origin[1] + 90)
        self.log.wait(r"moved %d %d" % target, "window at the drop point")
        type(self).origin = target

    def test_7_minbtn_minimises(self):
        x, y = self.centre("minbtn")
        xdo("mousemove", "--sync", x, y, "click", 1)
        self.log.wait(r"notify click minbtn 0", "minbtn click")
        self.log.wait(r"minimized", "minimised window")


if __name__ == "__main__":
    unittest.main(verbosity=2)
