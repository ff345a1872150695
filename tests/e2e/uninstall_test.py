#!/usr/bin/env python3
"""The product uninstalls: an install, the product's uninstaller from the
install folder, a reboot, and the system read back, each class in a fresh
prefix.

  uninstall_test.py BUILD [unittest options]     (BUILD: build/x86_64)
"""
import os
import re
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import install_test  # noqa: E402
from bench import REPO  # noqa: E402
from install_test import DEFAULT_FOLDER, K, PRODUCT, RUN_KEY, SERVICE, U, InstallCase  # noqa: E402

UNINSTALLER = DEFAULT_FOLDER + "\\Uninstall.exe"
FIGURES = "app=201 union=%d level=2 ver=1.0.12.46 kind=2"

# What may differ between before the install and after the uninstall and the
# reboot: the diagnostic logs (dated files in the temporary folder), and Wine's
# own bookkeeping of a run.
EXPECTED_DIFFERENCES = [
    r"^C:/users/[^/]+/Temp/Tovik(Install|Uninstall)_[-\d]+\.log \d+$",
    r"^HKLM\\Software\\Wine\\",
    r"^HKCU\\Software\\Wine\\",
    r"^HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Perflib\\",
    r"^HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\",
]


def unexpected(lines):
    return sorted(l for l in lines if not any(re.search(p, l) for p in EXPECTED_DIFFERENCES))


class UninstallCase(InstallCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.installer = cls.bench.pack("TovikCleanSetup.exe")  # the download stays

    def install_product(self, *args):
        self.install(self.installer, *(args + ("/InstallSlience", "true")))

    def uninstall(self, *args, exit_code=0):
        # The test's tools keep their current folder; the uninstaller's own
        # start from its folder is its own test's case.
        run = self.bench.run(UNINSTALLER, "/S", *args, folder=self.bench.downloads)
        self.assertEqual(run.exit_code, exit_code, run.describe())
        self.assertEqual(run.dialogs, [], run.describe())
        return run

    def user_data(self):
        return self.bench.unix("C:\\users\\%s\\AppData\\Local\\TovikClean" % self.bench.user)

    def temp_data(self):
        return self.bench.unix("C:\\users\\%s\\Temp\\TovikClean" % self.bench.user)

    def assertNothingOfTheProduct(self):
        b = self.bench
        reg = self.registry()
        for key in ("reg:HKLM\\" + K, "reg:HKCU\\" + K, "reg:HKLM\\" + U):
            self.assertIsNone(reg[key], key)
        self.assertNotIn("TovikClean", reg["reg:" + RUN_KEY] or {})
        self.assertIsNone(b.inspect("service:" + SERVICE))
        self.assertFalse(os.path.exists(b.unix(DEFAULT_FOLDER)))
        desktop, programs = b.inspect("folder:16", "folder:23").values()
        self.assertFalse(os.path.exists(b.unix("%s\\%s.lnk" % (desktop, PRODUCT))))
        self.assertFalse(os.path.exists(b.unix("%s\\%s" % (programs, PRODUCT))))


class NothingLeft(UninstallCase):
    bench_name = "uninstall-nothing-left"

    def test_install_use_uninstall_reboot(self):
        b = self.bench
        before = b.snapshot()
        self.install_product()
        b.spawn([DEFAULT_FOLDER + "\\TovikCCleanerMain.exe"])
        self.wait_for_starts(1)  # its user data exists now
        mark = self.stat.mark()
        self.uninstall("/ClearUserData")
        self.assertEqual(b.inspect("procs:TovikCCleanerMain.exe"), [])  # it was running: ended
        b.reboot()
        after = b.snapshot()
        added, removed = unexpected(after - before), unexpected(before - after)
        self.assertEqual((added, removed), ([], []),
                         "left behind:\n%s\nlost:\n%s" % ("\n".join(added), "\n".join(removed)))
        self.assertNothingOfTheProduct()
        installs, posts = self.reports(mark)
        self.assertEqual(installs, ["QOR1 install " + FIGURES % 13005])
        self.assertEqual(posts, [("/api/UnInstallStat",
                                  "appid=201&unionid=13005&version=1.0.12.46&level=2&kind=2")])



class UserDataAndFeedback(UninstallCase):
    bench_name = "uninstall-user-data"

    def make_user_data(self):
        for folder in (self.user_data(), self.temp_data()):
            os.makedirs(folder, exist_ok=True)
            with open(os.path.join(folder, "data.txt"), "w") as f:
                f.write("the product's own")

    def test_1_user_data_kept(self):
        self.install_product()
        self.make_user_data()
        mark = self.stat.mark()
        self.uninstall()
        self.assertTrue(os.path.exists(os.path.join(self.user_data(), "data.txt")))
        self.assertFalse(os.path.exists(self.temp_data()))
        self.assertNothingOfTheProduct()
        installs, _ = self.reports(mark)
        self.assertEqual(installs, ["QOR1 install " + FIGURES % 13005])

    def test_2_user_data_cleared_and_feedback(self):
        self.install_product("-uid=13021")
        self.make_user_data()
        mark = self.stat.mark()
        self.uninstall("/ClearUserData", "/reason=1,3", "/suggest=too  slow/r/n please", "/contact=qq 12\n34")
        self.assertFalse(os.path.exists(self.user_data()))
        self.assertFalse(os.path.exists(self.temp_data()))
        installs, posts = self.reports(mark, posts_expected=2)
        self.assertEqual(installs, ["QOR1 install " + FIGURES % 13021] * 2)
        self.assertEqual(posts, [
            ("/api/UnInstallStat", "appid=201&unionid=13021&version=1.0.12.46&level=2&kind=2"),
            ("/api/v1/feedback/add",
             '{"come_from":32772, "content_ids":"1,3", "uninstsuggest":"tooslowplease","contact":"qq1234"}')])

    def test_3_no_union_id_stored(self):
        self.install_product()
        for root in ("HKLM", "HKCU"):
            self.bench.wine(["reg", "delete", root + "\\" + K, "/v", "UnionId", "/f"])
        mark = self.stat.mark()
        self.uninstall()
        installs, _ = self.reports(mark)
        self.assertEqual(installs, ["QOR1 install " + FIGURES % 1])


class WithoutStatistics(UninstallCase):
    """No statistics library in the install folder: no report, and the
    uninstall still completes."""
    bench_name = "uninstall-no-stat"

    def test_no_report(self):
        self.install_product()
        os.remove(self.bench.unix(DEFAULT_FOLDER + "\\qorstat.dll"))
        mark = self.stat.mark()
        self.uninstall("/reason=2")
        self.assertNothingOfTheProduct()
        # Reports are sent before the uninstaller ends: none came.
        http, udp = self.stat.ports["http_ok"], self.stat.ports["udp_other"]
        self.assertEqual([r for r in self.stat.since(mark) if r["port"] in (http, udp)], [])


class FolderGone(UninstallCase):
    """The uninstaller names a folder that does not exist: the one of the
    uninstall entry is removed."""
    bench_name = "uninstall-folder-gone"

    def test_install_location_used(self):
        b = self.bench
        self.install_product()
        elsewhere = "C:\\Elsewhere"
        os.makedirs(b.unix(elsewhere))
        for name in ("Uninstall.exe", "Uninst.dar0"):
            shutil.copy(b.unix(DEFAULT_FOLDER + "\\" + name), b.unix(elsewhere))
        # The uninstall chunk as a source chunk, the folder handed to it replaced.
        with open(os.path.join(REPO, "scripts", "UNINSTSCRIPT.lua"), encoding="utf-8") as f:
            chunk = f.read()
        with open(b.unix(elsewhere + "\\Uninst.dar1"), "w", encoding="utf-8") as f:
            f.write(chunk + """
local before_init = VekSE_BeforeInit
function VekSE_BeforeInit()
    global_install_path = [[C:\\NoSuchFolder]]
    before_init()
end
""")
        run = self.bench.run(elsewhere + "\\Uninstall.exe", "/S")
        self.assertEqual(run.exit_code, 0, run.describe())
        self.assertNothingOfTheProduct()


class HeldFile(UninstallCase):
    """A file of the install folder held open without delete sharing: it
    cannot be deleted or moved; it goes at the next start of Windows."""
    bench_name = "uninstall-held-file"

    def test_deleted_at_reboot(self):
        b = self.bench
        before = b.snapshot()
        self.install_product()
        ready = b.downloads + "\\held.txt"
        b.spawn([b.tool("vekholder.exe"), DEFAULT_FOLDER + "\\udp_qor.dll", "r", ready])
        self.assertIsNotNone(b.wait_until("file:" + ready, lambda f: f is not None))
        os.remove(b.unix(ready))
        self.uninstall()
        self.assertTrue(os.path.exists(b.unix(DEFAULT_FOLDER + "\\udp_qor.dll")))
        self.assertTrue(any(p.endswith("TovikClean\\udp_qor.dll") for p in b.pending_renames()))
        b.reboot()
        after = b.snapshot()
        added, removed = unexpected(after - before), unexpected(before - after)
        self.assertEqual((added, removed), ([], []),
                         "left behind:\n%s\nlost:\n%s" % ("\n".join(added), "\n".join(removed)))


if __name__ == "__main__":
    install_test.BUILD = os.path.abspath(sys.argv.pop(1))
    unittest.main()
