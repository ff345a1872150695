#!/usr/bin/env python3
"""The product installs: the shipped installer (repacked with statistics
addressed to the loopback server) installs into a fresh Wine prefix per test
class, and everything it left is read back through the system.

  install_test.py BUILD [unittest options]     (BUILD: build/x86_64)
"""
import datetime
import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench import Bench, StatRecords, read, shipped_install_script  # noqa: E402

BUILD = None
PRODUCT = "TovikC盘清理"
CAPTION = PRODUCT + " - 安装"
K = "SOFTWARE\\TovikClean"
U = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TovikClean"
RUN_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
DEFAULT_FOLDER = "C:\\Program Files\\TovikClean"
PAYLOAD = ["TovikCCleanerMain.exe", "Uninstall.exe", "divaruzov.exe", "func_helper.dll", "qorstat.dll", "udp_qor.dll"]
SERVICE = "TovikCleanSvc"
EXTRACT_FAILED = "释放文件时出现错误，安装程序将终止！"
REPORT_FIGURES = "app=201 union=%d level=2 ver=1.0.12.46 kind=%d"

# Users, Everyone, Authenticated Users, Interactive; and the rights that write.
ORDINARY = {"S-1-5-32-545", "S-1-1-0", "S-1-5-11", "S-1-5-4"}
WRITING = 0x2 | 0x4 | 0x40 | 0x100 | 0x10000 | 0x40000 | 0x80000 | 0x40000000 | 0x10000000


def sz(text):
    return {"type": "REG_SZ", "data": text}


def dword(number):
    return {"type": "REG_DWORD", "data": number}


def product_key(folder, union_id=13005, oem_union_id=13000):
    """The values under HKLM\\SOFTWARE\\TovikClean."""
    return {"AppPath": sz(folder), "UnionId": dword(union_id), "OEMUnionId": dword(oem_union_id),
            "OemID": dword(1), "UserID": {"type": "REG_BINARY", "data": "00"}}  # the number 0 as hex text: one byte


def user_key(folder, start_menu=1, **ids):
    values = product_key(folder, **ids)
    values.update({"DisplayVersion": sz("1.0.12.46"), "Version": dword(100120046),
                   "StartMenuShortcutChk": dword(start_menu)})
    return values


def uninstall_entry(folder):
    return {"DisplayIcon": sz(folder + "\\TovikCCleanerMain.exe"), "DisplayName": sz(PRODUCT),
            "DisplayVersion": sz("1.0.12.46"), "EstimatedSize": dword(108538), "NoModify": dword(1),
            "NoRepair": dword(1), "Publisher": sz("Tovik Software Ltd."),
            "UninstallString": sz(folder + "\\Uninstall.exe"), "InstallLocation": sz(folder),
            "InstallDate": sz(datetime.date.today().strftime("%Y%m%d"))}


class InstallCase(unittest.TestCase):
    """One fresh prefix for the class; the tests of a class run in order."""
    bench_name = None

    @classmethod
    def setUpClass(cls):
        cls.bench = Bench(BUILD, cls.bench_name)
        cls.stat = StatRecords(BUILD)

    @classmethod
    def tearDownClass(cls):
        cls.bench.stop()

    def install(self, installer, *args, answers=(), exit_code=0, dialogs=0):
        run = self.bench.run(installer, *args, answers=answers)
        self.assertEqual(run.exit_code, exit_code, run.describe())
        self.assertEqual(len(run.dialogs), dialogs, run.describe())
        return run

    def reports(self, mark, posts_expected=1):
        """The install datagrams and posts received after `mark`, as texts."""
        udp, http = self.stat.ports["udp_other"], self.stat.ports["http_ok"]
        records = self.stat.wait_for(mark, lambda r: len([x for x in r if x["port"] == http]) >= posts_expected)
        installs = [r["payload"] for r in records if r["port"] == udp and r["payload"].startswith("QOR1 install")]
        posts = [(r["path"], r["body"]) for r in records if r["port"] == http]
        return installs, posts

    def assertReported(self, mark, union_id, kind):
        installs, posts = self.reports(mark)
        self.assertEqual(installs, ["QOR1 install " + REPORT_FIGURES % (union_id, kind)])
        self.assertEqual(posts, [("/api/InstallStat",
                                  "appid=201&unionid=%d&version=1.0.12.46&level=2&kind=%d" % (union_id, kind))])

    def assertPayloadIn(self, folder):
        for name in PAYLOAD:
            self.assertEqual(read(self.bench.unix(folder + "\\" + name)),
                             read(os.path.join(self.bench.payload(), name)), name)

    def registry(self):
        return self.bench.inspect("reg:HKLM\\" + K, "reg:HKCU\\" + K, "reg:HKLM\\" + U, "reg:" + RUN_KEY)

    def clear_product_registry(self):
        for key in ("HKLM\\" + K, "HKCU\\" + K, "HKLM\\" + U):
            self.bench.reg_delete(key)

    def main_program_starts(self):
        """Lines of the main program's start log (it records its arguments)."""
        path = self.bench.unix("C:\\users\\%s\\AppData\\Local\\TovikClean\\TovikCCleanerMain.log" % self.bench.user)
        try:
            with open(path, encoding="utf-8") as f:
                return [line.rstrip("\r\n") for line in f if line.strip()]
        except FileNotFoundError:
            return []

    def wait_for_starts(self, count):
        self.bench.wait_until("window:TovikCleanWnd", lambda found: found and len(self.main_program_starts()) >= count)
        return self.main_program_starts()

    def assertShortcuts(self, folder=DEFAULT_FOLDER):
        b = self.bench
        desktop, programs = b.inspect("folder:16", "folder:23").values()
        menu = "%s\\%s" % (programs, PRODUCT)
        links = b.inspect("link:%s\\%s.lnk" % (desktop, PRODUCT), "link:%s\\%s.lnk" % (menu, PRODUCT),
                          "link:%s\\卸载%s.lnk" % (menu, PRODUCT))
        main = folder + "\\TovikCCleanerMain.exe"
        on_desktop, in_menu, uninstall = links.values()
        self.assertEqual((on_desktop["target"], on_desktop["workdir"], on_desktop["icon"]),
                         (main, folder, main))
        self.assertEqual((in_menu["target"], in_menu["arguments"]), (main, "/menu"))
        self.assertEqual((uninstall["target"], uninstall["arguments"]), (folder + "\\Uninstall.exe", ""))
        self.assertEqual(sorted(os.listdir(b.unix(menu))), sorted([PRODUCT + ".lnk", "卸载%s.lnk" % PRODUCT]))


class FirstInstallThenOver(InstallCase):
    bench_name = "first-install"

    def test_1_first_install(self):
        b = self.bench
        installer = b.pack("TovikCleanSetup.exe")
        # A folder made beforehand that everybody may write to, with a file in it.
        os.makedirs(b.unix(DEFAULT_FOLDER))
        with open(b.unix(DEFAULT_FOLDER + "\\leftover.txt"), "w") as f:
            f.write("planted")
        os.chmod(b.unix(DEFAULT_FOLDER), 0o777)
        os.chmod(b.unix(DEFAULT_FOLDER + "\\leftover.txt"), 0o666)
        planted = [DEFAULT_FOLDER, DEFAULT_FOLDER + "\\leftover.txt"]
        self.assertNotEqual(self.writable_by_ordinary_accounts(planted), [])
        mark = self.stat.mark()
        self.install(installer, "/InstallSlience", "true")

        self.assertPayloadIn(DEFAULT_FOLDER)
        self.assertEqual(read(b.unix(DEFAULT_FOLDER + "\\Uninst.dar0")), b.resource(installer, "GLOBAL_VAR.LUAC"))
        self.assertEqual(read(b.unix(DEFAULT_FOLDER + "\\Uninst.dar1")), b.resource(installer, "UNINSTSCRIPT.LUAC"))

        reg = self.registry()
        self.assertEqual(reg["reg:HKLM\\" + K], product_key(DEFAULT_FOLDER))
        self.assertEqual(reg["reg:HKCU\\" + K], user_key(DEFAULT_FOLDER))
        self.assertEqual(reg["reg:HKLM\\" + U], uninstall_entry(DEFAULT_FOLDER))
        self.assertEqual(reg["reg:" + RUN_KEY].get("TovikClean"), sz(DEFAULT_FOLDER + "\\TovikCCleanerMain.exe /auto"))

        self.assertShortcuts()
        service = b.inspect("service:" + SERVICE)
        self.assertEqual(service["image"], '"%s\\divaruzov.exe" --service' % DEFAULT_FOLDER)
        self.assertEqual(service["startType"], 2)  # automatic
        self.assertIn(service["account"], ("LocalSystem", ""))
        self.assertReported(mark, 13005, 1)
        self.assertEqual(self.writable_by_ordinary_accounts(planted + [DEFAULT_FOLDER + "\\divaruzov.exe"]), [])
        # The per-user start-menu pair is not made, and nothing named after
        # an unexpanded variable lands in the installer's folder.
        self.assertFalse(os.path.exists(b.unix(b.downloads + "\\%PROGRAMS%")))

    def writable_by_ordinary_accounts(self, paths):
        """Entries that let an ordinary account write to one of `paths`. (Wine
        keeps a file's permissions as its Unix mode, so the exact entries the
        helper library sets are checked by its own tests, not here.)"""
        found = []
        for path, acl in self.bench.inspect_all(["acl:" + p for p in paths]).items():
            self.assertIsNotNone(acl and acl["aces"], path)
            found += [(path, ace) for ace in acl["aces"]
                      if ace["sid"] in ORDINARY and ace["type"] == "allow" and ace["mask"] & WRITING]
        return found

    def test_2_install_over_keeps_the_channel(self):
        b = self.bench
        installer = b.pack("TovikCleanSetup-13010.exe", {"global_union_id": "13010"})
        mark = self.stat.mark()
        self.install(installer, "/InstallSlience", "true")
        reg = self.registry()
        self.assertEqual(reg["reg:HKLM\\" + K], product_key(DEFAULT_FOLDER))
        self.assertEqual(reg["reg:HKCU\\" + K], user_key(DEFAULT_FOLDER))
        self.assertReported(mark, 13005, 3)
        self.assertPayloadIn(DEFAULT_FOLDER)


class CommandLine(InstallCase):
    bench_name = "command-line"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.installer = cls.bench.pack("TovikCleanSetup.exe")

    def installed_folder(self):
        return self.bench.inspect("reg:HKLM\\" + U)["InstallLocation"]["data"]

    def test_1_uid_and_path(self):
        mark = self.stat.mark()
        self.install(self.installer, "-uid=13077", "-path=C:\\Apps\\First", "/InstallSlience", "true")
        reg = self.registry()
        self.assertEqual(reg["reg:HKLM\\" + K], product_key("C:\\Apps\\First", union_id=13077))
        self.assertPayloadIn("C:\\Apps\\First")
        self.assertReported(mark, 13077, 1)

    def test_2_path_wins_over_the_earlier_install(self):
        mark = self.stat.mark()
        self.install(self.installer, "-path=C:\\Apps\\Second", "/InstallSlience", "true")
        self.assertEqual(self.installed_folder(), "C:\\Apps\\Second")
        self.assertPayloadIn("C:\\Apps\\Second")
        self.assertReported(mark, 13077, 3)  # the first install's channel

    def test_3_ignored_arguments(self):
        # Case-sensitive "/PATH:", relative and empty folders: the earlier install's folder stays.
        for arg in ("/PATH:C:\\Apps\\Third", "-path=Apps\\Fourth", "-path="):
            with self.subTest(arg=arg):
                self.install(self.installer, arg, "/InstallSlience", "true")
                self.assertEqual(self.installed_folder(), "C:\\Apps\\Second")
        self.assertFalse(os.path.exists(self.bench.unix("C:\\Apps\\Third")))
        self.assertFalse(os.path.exists(os.path.join(os.path.dirname(self.bench.unix(self.installer)), "Apps")))

    def test_4_force_update_starts_the_product(self):
        before = len(self.main_program_starts())
        self.install(self.installer, "/ForceUpdate", "/InstallSlience", "true")
        starts = self.wait_for_starts(before + 1)
        self.assertEqual(starts[before:], ["start:"])

    def test_5_normal_update_does_not(self):
        # The install ends the running product first; a normal update leaves it ended.
        before = len(self.main_program_starts())
        run = self.install(self.installer, "/NormalUpdate", "/InstallSlience", "true")
        self.assertEqual(self.bench.inspect("procs:TovikCCleanerMain.exe"), [], run.describe())
        self.assertEqual(len(self.main_program_starts()), before)

    def test_6_uid_that_is_no_number(self):
        self.clear_product_registry()
        mark = self.stat.mark()
        self.install(self.installer, "-uid=abc", "/InstallSlience", "true")
        self.assertEqual(self.bench.inspect("reg:HKLM\\" + K)["UnionId"], dword(13005))
        self.assertReported(mark, 13005, 1)


class FileNames(InstallCase):
    """A configuration that reads the channel and silent-install markers
    from the installer's file name."""
    bench_name = "file-names"
    config = {"global_disable_analyze_params_from_file_name": "false", "global_enable_ss_install": "true"}

    def pack(self, name):
        return self.bench.pack(name, self.config)

    def test_1_channel_from_the_name(self):
        for name, union_id, oem_union_id in (("TovikClean_13007_setup.exe", 13007, 13000),
                                             ("tovikclean_13999_x.exe", 13999, 13000),
                                             ("TovikClean_14000_setup.exe", 13005, 13000),
                                             ("TovikClean_13007.exe", 13005, 13000),
                                             ("Setup_ch-77.exe", 13005, 77)):
            with self.subTest(name=name):
                self.clear_product_registry()
                self.install(self.pack(name), "/InstallSlience", "true")
                self.assertEqual(self.bench.inspect("reg:HKLM\\" + K),
                                 product_key(DEFAULT_FOLDER, union_id=union_id, oem_union_id=oem_union_id))

    def remove_shortcuts(self):
        b = self.bench
        desktop, programs = b.inspect("folder:16", "folder:23").values()
        os.remove(b.unix("%s\\%s.lnk" % (desktop, PRODUCT)))
        b.wine(["cmd.exe", "/c", "rmdir", "/s", "/q", "%s\\%s" % (programs, PRODUCT)])
        return desktop, programs

    def test_2_silent_markers_and_options(self):
        b = self.bench
        desktop, programs = self.remove_shortcuts()
        before = len(self.main_program_starts())
        # No /InstallSlience: "@st" makes the install silent and starts the product.
        self.install(self.pack("TovikClean_13008_setup@st@dto@dtc@smc@swc.exe"))
        self.assertFalse(os.path.exists(b.unix("%s\\%s.lnk" % (desktop, PRODUCT))))
        self.assertFalse(os.path.exists(b.unix("%s\\%s" % (programs, PRODUCT))))
        reg = self.registry()
        self.assertEqual(reg["reg:HKCU\\" + K]["StartMenuShortcutChk"], dword(0))
        self.assertNotIn("TovikClean", reg["reg:" + RUN_KEY])  # removed: an earlier install had set it
        self.assertEqual(self.wait_for_starts(before + 1)[before:], ["start:"])

    def test_3_no_search_service(self):
        b = self.bench
        self.assertIsNotNone(b.inspect("service:" + SERVICE))  # from the earlier installs
        before = len(self.main_program_starts())
        # "@stt": silent without the product start; "@ssc": no service.
        self.install(self.pack("TovikClean_13008_setup@stt@ssc.exe"))
        # The removal runs through the service tool, which the installer does not wait for.
        self.assertIsNone(b.wait_until("service:" + SERVICE, lambda s: s is None))
        self.assertEqual(b.inspect("procs:TovikCCleanerMain.exe"), [])
        self.assertEqual(len(self.main_program_starts()), before)


class CheckClient(InstallCase):
    """The running-product check, outside silent mode: the real install
    script with a first event that calls it and records that it returned."""
    bench_name = "check-client"

    def test_answers(self):
        b = self.bench
        out = b.downloads + "\\returned.txt"
        probe = shipped_install_script() + '''
function VekSE_BeforeInit()
    CheckClient()
    local f = assert(io.open([[%s]], "a"))
    f:write("returned\\n")
    f:close()
end
function VekSE_BeforeInstall() end
function VekSE_OnInstall() end
function VekSE_BeforeComplete() end
function VekSE_AfterComplete() end
''' % out
        installer = b.pack("TovikCleanSetup.exe", install_script=probe)
        b.spawn([b.payload() + "/TovikCCleanerMain.exe"])
        self.assertTrue(b.wait_until("window:TovikCleanWnd", bool))
        for answer, returned in (("OK", True), ("Cancel", False)):
            with self.subTest(answer=answer):
                if os.path.exists(b.unix(out)):
                    os.remove(b.unix(out))
                run = self.install(installer, "/InstallSlience", "true", answers=[answer], dialogs=1)
                self.assertEqual(run.dialogs[0], {
                    "caption": CAPTION, "buttons": ["确定", "取消"],  # OK and Cancel on a Chinese system
                    "text": "检测到 %s 正在运行\r\n选择[确定]强制关闭，[取消]取消安装" % PRODUCT})
                self.assertEqual(os.path.exists(b.unix(out)), returned)


class LockedFile(InstallCase):
    """A payload file in use, with the temporary folder on another drive than
    the install folder."""
    bench_name = "locked-file"
    folder = "D:\\Apps\\TovikClean"

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.bench.map_drive("d", "drive_d")
        cls.installer = cls.bench.pack("TovikCleanSetup.exe")

    def hold(self, name, share):
        b = self.bench
        ready = b.downloads + "\\held-%s.txt" % share
        b.spawn([b.tool("vekholder.exe"), self.folder + "\\" + name, share, ready])
        deadline_ok = b.wait_until("file:" + ready, lambda f: f is not None)
        self.assertIsNotNone(deadline_ok, "the holder did not open the file")

    def test_1_moved_aside_and_deleted_at_reboot(self):
        b = self.bench
        self.install(self.installer, "-path=" + self.folder, "/InstallSlience", "true")
        self.assertFalse(os.path.exists(b.unix("D:\\Apps\\del_reboot")))
        self.hold("udp_qor.dll", "rd")
        self.install(self.installer, "/InstallSlience", "true")
        self.assertPayloadIn(self.folder)
        moved = os.listdir(b.unix("D:\\Apps\\del_reboot"))
        self.assertEqual(len(moved), 1, moved)
        self.assertEqual(read(b.unix("D:\\Apps\\del_reboot\\" + moved[0])),
                         read(os.path.join(b.payload(), "udp_qor.dll")))
        pending = b.pending_renames()
        for path in ("D:\\Apps\\del_reboot\\" + moved[0], "D:\\Apps\\del_reboot"):
            self.assertTrue(any(p.endswith(path) for p in pending), (path, pending))
        b.reboot()
        self.assertFalse(os.path.exists(b.unix("D:\\Apps\\del_reboot")))
        self.assertPayloadIn(self.folder)

    def test_2_held_without_delete_sharing(self):
        # Such a file cannot be moved either: the install stops with its message.
        self.hold("udp_qor.dll", "r")
        run = self.install(self.installer, "/InstallSlience", "true", answers=["OK"], dialogs=1)
        self.assertEqual((run.dialogs[0]["caption"], run.dialogs[0]["text"]), (CAPTION, EXTRACT_FAILED))


class Failures(InstallCase):
    """Installs that cannot finish: the message, and what is not written."""
    bench_name = "failures"

    def payload_without(self, name):
        folder = os.path.join(self.bench.root, "payload-without-" + name)
        os.makedirs(folder, exist_ok=True)
        for file in PAYLOAD:
            if file != name:
                with open(os.path.join(folder, file), "wb") as f:
                    f.write(read(os.path.join(self.bench.payload(), file)))
        return folder

    def assertNoRegistry(self):
        reg = self.registry()
        for key in ("reg:HKLM\\" + K, "reg:HKCU\\" + K, "reg:HKLM\\" + U):
            self.assertIsNone(reg[key], key)
        self.assertNotIn("TovikClean", reg["reg:" + RUN_KEY] or {})

    def test_0_windows_before_7(self):
        b = self.bench
        b.wine(["reg", "add", "HKCU\\Software\\Wine", "/v", "Version", "/d", "winxp", "/f"])
        try:
            run = self.install(b.pack("TovikCleanSetup.exe"), "/InstallSlience", "true", answers=["OK"], dialogs=1)
        finally:
            b.wine(["reg", "delete", "HKCU\\Software\\Wine", "/v", "Version", "/f"])
        self.assertEqual(run.dialogs[0]["text"], PRODUCT + " 目前只支持WIN7和更新的Windows操作系统！")
        self.assertNoRegistry()
        self.assertFalse(os.path.exists(b.unix(DEFAULT_FOLDER)))

    def test_1_damaged_payload(self):
        damaged = os.path.join(BUILD, "tests", "archives", "broken-crc.7z")
        run = self.install(self.bench.pack("damaged.exe", payload=damaged), "/InstallSlience", "true",
                           answers=["OK"], dialogs=1)
        self.assertEqual((run.dialogs[0]["caption"], run.dialogs[0]["text"]), (CAPTION, EXTRACT_FAILED))
        self.assertNoRegistry()

    def test_2_helper_library_missing(self):
        installer = self.bench.pack("nohelper.exe", payload=self.payload_without("func_helper.dll"))
        run = self.bench.run(installer, "/InstallSlience", "true", answers=["OK"])
        self.assertEqual(len(run.dialogs), 1, run.describe())
        self.assertIn("attempt to", run.dialogs[0]["text"])
        self.assertTrue(os.path.exists(self.bench.unix(DEFAULT_FOLDER + "\\Uninst.dar1")))
        self.assertNoRegistry()

    def test_3_statistics_library_missing(self):
        shutil.rmtree(self.bench.unix(DEFAULT_FOLDER))  # the library an earlier run left there
        installer = self.bench.pack("nostat.exe", payload=self.payload_without("qorstat.dll"))
        run = self.bench.run(installer, "/InstallSlience", "true", answers=["OK"])
        self.assertEqual(len(run.dialogs), 1, run.describe())
        self.assertIn("LoadLibrary %s\\qorstat.dll failed" % DEFAULT_FOLDER, run.dialogs[0]["text"])
        self.assertEqual(self.bench.inspect("reg:HKLM\\" + K)["AppPath"], sz(DEFAULT_FOLDER))


if __name__ == "__main__":
    BUILD = os.path.abspath(sys.argv.pop(1))
    unittest.main()
