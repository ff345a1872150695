#!/usr/bin/python3
"""The shipped skin's window shown by vekuiview under Wine's X11 driver (run
inside xvfb-run), driven with real X input from xdotool. Every step waits
for the line the tool logs for it. The install button's colour is read back
from the window's presented pixels (the tool's probe): Xvfb's root window
does not show a layered window's 32-bit contents to a screenshot."""
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "wine"))
from x11bench import TIMEOUT, CharacterKeys, Log, ensure_prefix, restart_server, stop_server, wine_env, windows_path, WINE  # noqa: E402

BUILD = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else None
HOT_GREEN = (0x4F, 0xD5, 0xAD)
TAB_ORDER = ["BtnInstall", "CheckLicence", "BtnLicenceLink", "EditInstallPath", "BtnSelectPath",
             "ShouldStartWithWindowsChk", "StartMenuShortcutChk"]
CHINESE = "软件清理"  # typed into the path field
# A point of the install button at 100 %, left of its caption.
PROBE = (230, 259)


def xdo(*args):
    return subprocess.run(["xdotool"] + [str(a) for a in args], check=True, stdout=subprocess.PIPE,
                          text=True, timeout=TIMEOUT).stdout


class Input(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        ensure_prefix(BUILD)
        restart_server(BUILD)
        cls.keys = CharacterKeys(CHINESE)
        log_path = os.path.join(BUILD, "tests", "vekui-input.log")
        if os.path.exists(log_path):
            os.remove(log_path)
        cls.log = Log(log_path)
        cls.proc = subprocess.Popen(
            [WINE, os.path.join(BUILD, "tests", "vekuiview.exe"), "--skin", windows_path(os.path.join(BUILD, "skin")),
             "--show", "--log", windows_path(log_path), "--probe", "%d,%d" % PROBE], env=wine_env(BUILD),
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
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
        stop_server(BUILD)
        cls.keys.close()

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
