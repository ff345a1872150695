#!/usr/bin/python3
"""The installer window's choices on a real X display (run inside
xvfb-run): the folder picker, the install background of application id 201,
a second start, a running product and a full drive. Each class is a fresh
prefix with Wine's X11 driver (XBench), the shipped installer repacked with
the loopback statistics configuration, real input from xdotool, and every
wait a wait for a trace line, a dialog or a process's end.

  window_choices_test.py BUILD [unittest options]     (BUILD: build/x86_64)
"""
import os
import re
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import install_test  # noqa: E402
from bench import shipped_install_script  # noqa: E402
from install_test import CAPTION, DEFAULT_FOLDER, K, PRODUCT, RUN_KEY, SERVICE, U  # noqa: E402
from install_test import InstallCase, sz, uninstall_entry  # noqa: E402
from xbench import TITLE, XBench, find_window, xdo  # noqa: E402
from x11bench import TIMEOUT  # noqa: E402

PICKER_TITLE = "选择文件夹"  # Wine's folder dialog on the Chinese system


def focused_keys(xid, *keys):
    """Keys to a window of the installer's own (a dialog): without a window
    manager a key reaches only the window that has the X focus."""
    xdo("windowfocus", "--sync", xid)
    xdo("key", *keys)


def find_window_by_class(name):
    found = subprocess.run(["xdotool", "search", "--sync", "--onlyvisible", "--class", name],
                           stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=TIMEOUT)
    return found.stdout.split()[0]


class ChoicesCase(InstallCase):
    """One fresh X11 prefix for the class; its tests run in order."""

    @classmethod
    def setUpClass(cls):
        cls.bench = XBench(install_test.BUILD, cls.bench_name)
        cls.addClassCleanup(cls.bench.stop)

    @classmethod
    def tearDownClass(cls):
        pass  # the class clean-up stops the bench, also after a failed set-up

    def start(self, installer):
        run = self.bench.start_installer(installer)
        run.wait("view init", "the init view")
        run.window(TITLE)
        return run

    def pick(self, run, typed):
        """Opens the folder dialog and types a folder into its name field:
        Return picks it; None cancels the dialog with Escape."""
        run.click("BtnSelectPath")
        dialog = find_window(PICKER_TITLE)
        if typed is None:
            focused_keys(dialog, "Escape")
        else:
            xdo("windowfocus", "--sync", dialog)
            xdo("type", typed)
            xdo("key", "Return")

    def answer_box(self, run, caption, keys):
        """The next message box as vektrace reported it, answered by keys to
        its own window."""
        box = run.dialog("a message box")
        focused_keys(find_window(caption), *keys)
        return box

    def complete(self, run):
        """From the completion view: start, the window closes, exit code 0."""
        run.wait("view complete, focus BtnStart", "the completion view", timeout=120)
        run.click("BtnStart")
        result = run.finish()
        self.assertEqual(result.exit_code, 0, result.describe())
        return result


class FolderPicker(ChoicesCase):
    """BtnSelectPath opens Wine's folder dialog: a picked folder gets the
    product folder's name unless it already ends in it; a cancelled dialog
    leaves the text. The install then goes where the last pick said."""
    bench_name = "choices-picker"

    def test_picks(self):
        b = self.bench
        b.map_drive("d", "drive_d")
        for folder in ("C:\\pick\\Apps", "C:\\pick\\TovikClean"):
            os.makedirs(b.unix(folder))
        run = self.start(b.pack("TovikCleanSetup.exe"))
        cases = [  # typed into the dialog, the folder it picks (None: cancelled), the path text after
            ("C:\\pick\\Apps", "C:\\pick\\Apps", "C:\\pick\\Apps\\TovikClean"),
            ("C:\\pick\\TovikClean", "C:\\pick\\TovikClean", "C:\\pick\\TovikClean"),
            ("D:\\", "D:\\", "D:\\TovikClean"),
            (None, None, "D:\\TovikClean"),
        ]
        for typed, picked, text in cases:
            with self.subTest(typed=typed):
                self.pick(run, typed)
                if picked is None:
                    run.wait("folder not picked, path " + re.escape(text), "the cancelled pick")
                else:
                    run.wait("CheckDir %s, TovikClean" % re.escape(picked), "the picked folder")
                    run.wait("folder picked, path " + re.escape(text), "the path text")
                # The keyboard goes to the installer window again, not to its shadow.
                front = b.wait_until("foreground:", lambda w: w is not None and w["class"] == "CDlgInstall")
                self.assertEqual(front["class"], "CDlgInstall")
        run.shot("picked")
        run.click("BtnInstall")
        self.complete(run)
        self.assertPayloadIn("D:\\TovikClean")
        self.assertEqual(b.inspect("reg:HKLM\\" + K)["AppPath"], sz("D:\\TovikClean"))


class InstallBackground(ChoicesCase):
    """Application id 201 (the shipped one): while the install runs, the
    install view's background changes through InstallBk1, InstallBk2,
    InstallBk0. VekSE_OnInstall waits for a file that the test creates once
    the three were seen, so the install lasts as long as that takes."""
    bench_name = "choices-background"

    def test_cycles(self):
        b = self.bench
        release = b.downloads + "\\release.txt"
        script = shipped_install_script() + r'''
local shipped_on_install = VekSE_OnInstall
local k = GLibTab.kernel32
local function released() local f = io.open([[%(file)s]]) if f then f:close() end return f ~= nil end
function VekSE_OnInstall()
    -- A bounded wait on the folder's changes until the file is there.
    local watch = k:Get("FindFirstChangeNotificationW", "uint")(WString.New(nil, [[%(folder)s]]), false, 1)
    local wait, again = k:Get("WaitForSingleObject", "uint"), k:Get("FindNextChangeNotification", "bool")
    local now = k:Get("GetTickCount", "uint")
    local deadline = now() + 120000
    while not released() and now() < deadline do
        if watch == 0xFFFFFFFF then  -- no watch: look again now and then
            k:Get("Sleep", "void")(100)
        else
            wait(watch, 5000)
            again(watch)
        end
    end
    k:Get("FindCloseChangeNotification", "bool")(watch)
    shipped_on_install()
end
''' % {"file": release, "folder": b.downloads}
        run = self.start(b.pack("TovikCleanSetup.exe", install_script=script))
        run.click("BtnInstall")
        run.wait("view install", "the install view")
        for index in (1, 2, 0):
            run.wait("background Image/InstallBk%d.png" % index, "background %d" % index, timeout=10)
            run.shot("install-bk%d" % index)
        with open(b.unix(release), "w") as f:
            f.write("go\n")
        result = self.complete(run)
        backgrounds = [line[3:] for line in result.traces if line.startswith("xm background ")]
        self.assertEqual(backgrounds[:3], ["background Image/InstallBk%d.png" % i for i in (1, 2, 0)])
        self.assertPayloadIn(DEFAULT_FOLDER)


class SecondStart(ChoicesCase):
    """A second interactive start while the window is open raises the first
    window above another program's and ends with 0; the first install still
    completes. Without a window manager on the display there is no active X
    window to ask for: Wine's foreground window is read instead."""
    bench_name = "choices-second"

    def test_second_start(self):
        b = self.bench
        installer = b.pack("TovikCleanSetup.exe")
        first = self.start(installer)
        b.spawn(["notepad.exe"])
        notepad = find_window_by_class("notepad")
        xdo("mousemove", "--window", notepad, 20, 20, "click", 1)  # outside the installer's window
        front = b.wait_until("foreground:", lambda w: w is not None and w["class"] == "Notepad")
        self.assertEqual((front or {}).get("class"), "Notepad")

        second = b.start_installer(installer)
        result = second.finish()
        self.assertEqual(result.exit_code, 0, result.describe())
        self.assertNotIn("xm view init", result.traces, "the second start showed a window")
        front = b.inspect("foreground:")
        self.assertEqual((front["class"], front["title"]), ("CDlgInstall", TITLE))
        # Notepad's window covers the install button unless the installer's is in front.
        first.click("BtnInstall")
        self.complete(first)
        self.assertPayloadIn(DEFAULT_FOLDER)


class RunningProduct(ChoicesCase):
    """The product's window is open: after the install click the box asks
    to end it."""

    def click_install_and_answer(self, keys):
        b = self.bench
        self.product = b.spawn([b.payload() + "/TovikCCleanerMain.exe"])
        self.assertTrue(b.wait_until("window:TovikCleanWnd", bool))
        run = self.start(b.pack("TovikCleanSetup.exe"))
        run.click("BtnInstall")
        box = self.answer_box(run, CAPTION, keys)
        self.assertEqual(box, {"caption": CAPTION, "buttons": ["确定", "取消"],
                               "text": "检测到 %s 正在运行\r\n选择[确定]强制关闭，[取消]取消安装" % PRODUCT})
        return run


class RunningProductOK(RunningProduct):
    """OK ends the product and the install runs."""
    bench_name = "choices-running-ok"

    def test_ok_ends_the_product(self):
        run = self.click_install_and_answer(["Return"])  # OK is the default button
        self.product.wait(timeout=TIMEOUT)
        self.complete(run)
        self.assertPayloadIn(DEFAULT_FOLDER)
        self.assertEqual(self.bench.inspect("reg:HKLM\\" + U), uninstall_entry(DEFAULT_FOLDER))


class RunningProductCancel(RunningProduct):
    """Cancel ends the installer with nothing of the product written: the
    install folder that the window's check created stays empty."""
    bench_name = "choices-running-cancel"

    def test_cancel_writes_nothing(self):
        b = self.bench
        run = self.click_install_and_answer(["Escape"])
        result = run.finish()
        self.assertEqual(result.exit_code, 0, result.describe())
        self.assertNotIn("xm view install", result.traces)
        self.assertIsNone(self.product.poll(), "the product was ended")
        self.assertEqual(os.listdir(b.unix(DEFAULT_FOLDER)), [])
        registry = self.registry()
        self.assertEqual([registry["reg:HKLM\\" + K], registry["reg:HKCU\\" + K], registry["reg:HKLM\\" + U]],
                         [None, None, None])
        self.assertNotIn("TovikClean", registry["reg:" + RUN_KEY] or {})
        self.assertIsNone(b.inspect("service:" + SERVICE))
        self.assertFalse(os.path.exists(b.unix(b.inspect("folder:2") + "\\" + PRODUCT)))  # CSIDL_PROGRAMS


class NotEnoughSpace(ChoicesCase):
    """The shipped configuration needs 111142715 bytes; drive D is a 64 MiB
    file system. The box gives the size in MB, and the install folder that
    the check created is there."""
    bench_name = "choices-space"

    @classmethod
    def setUpClass(cls):
        stale = os.path.join(install_test.BUILD, "e2e", cls.bench_name, "drive_d")
        if os.path.ismount(stale):  # left by a run that was killed
            subprocess.run(["umount", stale], check=True)
        super().setUpClass()
        cls.bench.map_drive("d", "drive_d")
        folder = os.path.join(cls.bench.root, "drive_d")
        done = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64m", "tmpfs", folder],
                              stdin=subprocess.DEVNULL, capture_output=True, text=True)
        if done.returncode != 0:
            raise unittest.SkipTest("a small file system cannot be mounted here: " + done.stderr.strip())
        # Class clean-ups run last in, first out: the server has let go of
        # the drive by then.
        cls.addClassCleanup(subprocess.run, ["umount", folder], check=True)

    def test_refused(self):
        b = self.bench
        run = self.start(b.pack("TovikCleanSetup.exe"))
        self.pick(run, "D:\\")
        run.wait("folder picked, path D:\\\\TovikClean", "the path on drive D")
        run.click("BtnInstall")
        box = self.answer_box(run, "提示", ["Return"])
        self.assertEqual(box, {"caption": "提示", "buttons": ["确定"],
                               "text": "磁盘剩余可用空间不足,安装程序需要105.99MB的空间来完成安装！"})
        self.assertEqual(os.listdir(b.unix("D:\\TovikClean")), [])  # created by the check
        run.key("alt+F4")
        result = run.finish()
        self.assertEqual(result.exit_code, 0, result.describe())
        self.assertNotIn("xm view install", result.traces)


if __name__ == "__main__":
    install_test.BUILD = os.path.abspath(sys.argv.pop(1))
    unittest.main()
