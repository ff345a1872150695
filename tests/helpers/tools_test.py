#!/usr/bin/env python3
"""The Windows-side tools that the Linux-side tests read an install back with,
each against what is set up here in the test prefix: vekinspect's queries,
vektrace's answers to dialogs, vekholder's hold on a file.

  tools_test.py BUILD_DIR [unittest options]

BUILD_DIR is the x86_64 build tree with its test prefix.
"""
import json
import os
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine"))
import linuxside  # noqa: E402
from linuxside import Workspace, build_program, run_probe, start_server, wine, wine_command, wine_env  # noqa: E402


def utf16(text, terminated=True):
    return (text + ("\0" if terminated else "")).encode("utf-16-le")


# Value name, registry type, data, what vekinspect reads back.
REG_VALUES = [
    ("", 1, utf16("默认"), {"type": "REG_SZ", "data": "默认"}),
    ("sz", 1, utf16('q"b\\t\t中\r\n\x01'), {"type": "REG_SZ", "data": 'q"b\\t\t中\r\n\x01'}),
    ("unterminated", 1, utf16("abc", terminated=False), {"type": "REG_SZ", "data": "abc"}),
    ("expand", 2, utf16("%TEMP%\\x"), {"type": "REG_EXPAND_SZ", "data": "%TEMP%\\x"}),
    ("dword", 4, b"\xff\xff\xff\xff", {"type": "REG_DWORD", "data": 4294967295}),
    ("short dword", 4, b"\x01\x02", {"type": "REG_DWORD", "data": "0102"}),
    ("long dword", 4, b"\x01\0\0\0\x02\0\0\0", {"type": "REG_DWORD", "data": "0100000002000000"}),
    ("qword", 11, (2**63 + 5).to_bytes(8, "little"), {"type": "REG_QWORD", "data": 2**63 + 5}),
    ("multi", 7, utf16("a\0中b\0"), {"type": "REG_MULTI_SZ", "data": ["a", "中b"]}),
    ("binary", 3, b"\x00\xff\x10", {"type": "REG_BINARY", "data": "00ff10"}),
    ("empty", 3, b"", {"type": "REG_BINARY", "data": ""}),
]

# Message box results: IDCANCEL 2, IDYES 6, IDNO 7.
DIALOG_CASES = [
    (["No", "Cancel"], ["7", "2"]),
    (["Yes"], ["6", "6"]),  # past the last answer: the last one again
]


def reg_file(key, values):
    """A .reg file (UTF-16) that sets `values`, each as raw bytes of its type."""
    lines = ["Windows Registry Editor Version 5.00", "", "[%s]" % key]
    for name, kind, data, _ in values:
        lines.append('%s=hex(%x):%s' % ('"%s"' % name if name else "@", kind, ",".join("%02x" % b for b in data)))
    return ("\r\n".join(lines) + "\r\n").encode("utf-16")


class Tools(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        start_server()

    def setUp(self):
        self.work = Workspace("vek-tools")
        self.addCleanup(self.work.remove)

    def win(self, rel):
        return self.work.win + "\\" + rel.replace("/", "\\")

    def inspect(self, *queries):
        run = wine(build_program("vekinspect.exe"), *queries)
        self.assertEqual(run.returncode, 0, run.stderr)
        return json.loads(run.stdout.decode("utf-8"))  # strict: no raw control characters

    def start(self, *args):
        """A Windows program left running until the test's end."""
        process = subprocess.Popen(wine_command(*args), env=wine_env(), stdin=subprocess.DEVNULL,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(process.wait)
        self.addCleanup(process.kill)
        return process

    def wait_for(self, done, what, process=None):
        """Polls for an effect of another process that gives no other signal."""
        deadline = time.monotonic() + 30
        while not done():
            if process and process.poll() is not None:
                self.fail("%s: the program ended with %d" % (what, process.returncode))
            if time.monotonic() > deadline:
                self.fail("timed out waiting for " + what)
            time.sleep(0.05)

    def set_up_machine(self):
        key = "HKEY_CURRENT_USER\\Software\\VekTest\\Tools-%d" % os.getpid()
        self.work.write("values.reg", reg_file(key, REG_VALUES))
        self.assertEqual(wine("regedit.exe", "/S", self.win("values.reg")).returncode, 0)
        self.addCleanup(wine, "reg.exe", "delete", key, "/f")

        service = "VekTools%d" % os.getpid()
        divaruzov = os.path.join(linuxside.BUILD, "payload", "divaruzov.exe")
        self.assertEqual(wine(divaruzov, "--install", service, "--display", "检查 " + service).returncode, 0)
        self.addCleanup(wine, divaruzov, "--uninstall", service)

        shutil.copy(build_program("veksleeper.exe"), self.work.path("VekToolsSleeper.exe"))
        run_probe(self.work, "Lua_CreateShortcut([[%s]], [[%s]], '/x \"y\"', '说明')\n"
                  % (self.win("VekToolsSleeper.exe"), self.win("links/a.lnk")))
        sleeper = self.start(self.win("VekToolsSleeper.exe"), "60000", self.win("started.txt"))
        self.wait_for(lambda: os.path.exists(self.work.path("started.txt")), "the sleeper", sleeper)
        main = self.start(os.path.join(linuxside.BUILD, "payload", "TovikCCleanerMain.exe"))
        self.wait_for(lambda: self.inspect("window:TovikCleanWnd")["window:TovikCleanWnd"], "the window", main)

        self.work.write("data.bin", b"12345")
        self.work.write("large.bin", b"")
        os.truncate(self.work.path("large.bin"), 5 << 30 | 3)  # sparse: over 4 GiB without the disk space
        os.makedirs(self.work.path("folder"))
        os.chmod(self.work.path("folder"), 0o755)
        self.work.write("private.txt", b"p")
        os.chmod(self.work.path("private.txt"), 0o600)
        return "HKCU" + key[len("HKEY_CURRENT_USER"):], service, divaruzov

    def test_inspect_answers_every_query(self):
        key, service, divaruzov = self.set_up_machine()
        user = self.work.win.split("\\")[2]
        system, owner, everyone = "S-1-5-18", "S-1-5-21-0-0-0-1000", "S-1-1-0"

        def ace(sid, mask, flags):
            return {"sid": sid, "type": "allow", "mask": mask, "flags": flags}

        full, read = 0x1F01FF, 0x1200A9
        cases = [
            ("reg:" + key, {name: value for name, _, _, value in REG_VALUES}),
            ("reg:HKLM\\Software\\VekTest\\NoSuchKey", None),
            ("reg:HKU", dict),
            ("link:" + self.win("links/a.lnk"),
             {"target": self.win("VekToolsSleeper.exe"), "arguments": '/x "y"', "workdir": self.work.win,
              "icon": "", "iconIndex": 0, "description": "说明"}),
            ("link:" + self.win("data.bin"), None),
            ("service:" + service, {"image": '"%s" --service' % linuxside.windows(divaruzov), "startType": 3,
                                    "account": "LocalSystem", "display": "检查 " + service, "state": 1}),
            ("service:VekNoSuchService", None),
            # Wine makes the lists from the Unix mode: Everyone reads 0755, not 0600.
            ("acl:" + self.win("folder"), {"owner": owner, "protected": False,
                                           "aces": [ace(system, full, 3), ace(owner, full, 3), ace(everyone, read, 3)]}),
            ("acl:" + self.win("private.txt"), {"owner": owner, "protected": False,
                                                "aces": [ace(system, full, 0), ace(owner, full, 0)]}),
            ("acl:" + self.win("missing"), None),
            ("procs:vektoolssleeper.EXE", lambda ids: len(ids) == 1 and ids[0] > 0),
            ("procs:VekNoSuchProgram.exe", []),
            ("folder:26", "C:\\users\\%s\\AppData\\Roaming" % user),
            ("folder:255", None),
            ("window:TovikCleanWnd", True),
            ("window:VekNoSuchClass", False),
            ("foreground:", lambda window: window is None or set(window) == {"class", "title", "pid"}),
            ("file:" + self.win("data.bin"), {"size": 5, "attributes": 0x20}),
            ("file:" + self.win("large.bin"), {"size": 5 << 30 | 3, "attributes": 0x20}),
            ("file:" + self.win("folder"), {"size": 0, "attributes": 0x10}),
            ("file:" + self.win("missing"), None),
        ]
        answers = self.inspect(*[query for query, _ in cases])
        self.assertEqual(list(answers), [query for query, _ in cases], "one key per query, as given")
        for query, expected in cases:
            with self.subTest(query=query):
                if expected is dict:
                    self.assertIsInstance(answers[query], dict)
                elif callable(expected):
                    self.assertTrue(expected(answers[query]), answers[query])
                else:
                    self.assertEqual(answers[query], expected)

    def test_inspect_refuses_malformed_queries(self):
        for query in ("reg:HKXX\\Software", "reg:", "nokind", "bogus:x", "folder:abc", "folder:", "folder:0x1a"):
            with self.subTest(query=query):
                run = wine(build_program("vekinspect.exe"), "file:C:\\windows", query)
                self.assertEqual((run.returncode, run.stdout), (2, b""))

    def test_vektrace_answers_dialogs_in_order(self):
        for answers, results in DIALOG_CASES:
            with self.subTest(answers=answers):
                work = Workspace("vek-dialogs")  # records of its own
                self.addCleanup(work.remove)
                traces, records = run_probe(work, "probe_record(Lua_MsgBox('first\\r\\nline\\tend', 'One', 3))\n"
                                            "probe_record(Lua_MsgBox('second', 'Two 二', 3))\n", answers=answers)
                self.assertEqual(records[:2], results)
                dialogs = [line.split("\t") for line in traces if line.startswith("@dialog")]
                self.assertEqual([d[:3] for d in dialogs],
                                 [["@dialog", "One", "first\\r\\nline\\tend"], ["@dialog", "Two 二", "second"]])
                self.assertEqual([len(d[3].split(",")) for d in dialogs], [3, 3], "Yes, No, Cancel: %s" % dialogs)
                self.assertEqual([len(d) for d in dialogs], [4, 4])
                self.assertEqual(traces[:2], ["\t".join(d) for d in dialogs], "printed while the program runs")

    def copy_onto(self, target):
        """Overwrites a file from the Windows side: True when that worked."""
        self.work.write("new.txt", b"new")
        return wine("cmd.exe", "/c", "copy", "/y", self.win("new.txt"), self.win(target)).returncode == 0

    def test_vekholder_holds_a_file_as_shared(self):
        # Share mode, whether the held file can be renamed.
        for share, renames in (("r", False), ("rd", True)):
            with self.subTest(share=share):
                held = "held-%s.txt" % share
                self.work.write(held, b"old")
                self.assertTrue(self.copy_onto(held), "overwritten while nobody holds it")
                self.work.write(held, b"old")
                holder = self.start(build_program("vekholder.exe"), self.win(held), share, self.win(held + ".ready"))
                self.wait_for(lambda: os.path.exists(self.work.path(held + ".ready")), "the hold", holder)
                self.assertFalse(self.copy_onto(held), "overwritten while held")
                self.assertEqual(self.work.read(held), b"old")
                moved = wine("cmd.exe", "/c", "ren", self.win(held), "moved-" + held).returncode == 0
                self.assertEqual((moved, os.path.exists(self.work.path("moved-" + held))), (renames, renames))
        # Nothing held: the error of the open (2: no such file), or a bad command line (160).
        for args, code in (([self.win("missing.txt"), "rd"], 2), ([self.win("data.txt"), "w"], 160)):
            self.work.write("data.txt", b"d")
            run = wine(build_program("vekholder.exe"), *args, self.win("missing.ready"))
            self.assertEqual(run.returncode, code)
            self.assertFalse(os.path.exists(self.work.path("missing.ready")))


if __name__ == "__main__":
    linuxside.BUILD = os.path.abspath(sys.argv.pop(1))
    unittest.main()
