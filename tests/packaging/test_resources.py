#!/usr/bin/env python3
"""Checks the resources that vekpack links into the shipped installers.

  test_resources.py BUILD_ROOT [unittest options]

BUILD_ROOT holds the i686/ and x86_64/ build trees and deps/host/luac64.
The installers are read with a small PE resource reader; nothing is run
under Wine.
"""
import io
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
BUILD_ROOT = None  # set from the command line

RT_ICON, RT_STRING, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 6, 14, 16, 24
# The product's programs and libraries that the install acts on.
PAYLOAD = sorted(["TovikCCleanerMain.exe", "divaruzov.exe", "qorstat.dll", "udp_qor.dll", "func_helper.dll",
                  "Uninstall.exe"])
TARGETS = {  # arch: (machine, optional header magic, sizeof(size_t))
    "i686": (0x14C, 0x10B, 4),
    "x86_64": (0x8664, 0x20B, 8),
}
CONFIG_KEYS = """
global_install_basepath global_http_Agent global_union_id global_union_id_x64
global_app_id global_version global_product_name global_shortcut_name
global_product_name_inner global_company_name global_legalcopyright
global_main_app_name global_main_app_name_inner global_old_product_name
global_licence_url global_need_disk_space global_main_wnd_cls
global_uninst_sub_key global_reg_sub_key global_reg_run_key
global_startup_check_visable global_disable_cover global_cover_unionId
global_show_completewindow global_uninstall_useui
global_uninstall_no_start_prompt global_create_log_folder
global_udp_un_install_port global_udp_install_uninstall_url
global_install_PostURL global_Uninstall_PostURL
global_Uninstall_Suggesstion_url global_AwardLnk_url
global_Uninstall_ReasonURL global_kf_QQ global_kf_QQQ
global_startuseexplorer_level global_disable_analyze_params_from_file_name
global_enable_ss_install
""".split()


def read_pe(path):
    """Returns (headers, {(type, name): bytes}) for the PE file at `path`.

    headers is a dict with machine, magic and subsystem. Types and names are
    ints for numeric ids and strings for named entries; the language level is
    collapsed (the installers carry one language per resource)."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"MZ":
        raise ValueError("%s: no DOS header" % path)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise ValueError("%s: no PE signature" % path)
    machine, nsections, _, _, _, opt_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    opt = pe + 24
    magic = struct.unpack_from("<H", data, opt)[0]
    subsystem = struct.unpack_from("<H", data, opt + 68)[0]
    dirs = opt + {0x10B: 96, 0x20B: 112}[magic]
    res_rva, res_size = struct.unpack_from("<II", data, dirs + 2 * 8)
    sections = []
    for i in range(nsections):
        vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", data, opt + opt_size + i * 40 + 8)
        sections.append((va, max(vsize, rawsize), rawptr))

    def offset(rva):
        for va, size, rawptr in sections:
            if va <= rva < va + size:
                return rva - va + rawptr
        raise ValueError("RVA 0x%x is in no section" % rva)

    base = offset(res_rva)

    def entries(directory):
        named, ids = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + ids):
            key, target = struct.unpack_from("<II", data, base + directory + 16 + i * 8)
            if key & 0x80000000:
                at = base + (key & 0x7FFFFFFF)
                length = struct.unpack_from("<H", data, at)[0]
                key = data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            yield key, target

    resources = {}
    if res_size:
        for rtype, names in entries(0):
            for name, langs in entries(names & 0x7FFFFFFF):
                for _, leaf in entries(langs & 0x7FFFFFFF):
                    rva, size = struct.unpack_from("<II", data, base + leaf)
                    resources[(rtype, name)] = data[offset(rva):offset(rva) + size]
    return {"machine": machine, "magic": magic, "subsystem": subsystem}, resources


def string_table(block):
    """The 16 strings of an RT_STRING block."""
    strings, at = [], 0
    for _ in range(16):
        length = struct.unpack_from("<H", block, at)[0]
        strings.append(block[at + 2:at + 2 + 2 * length].decode("utf-16-le"))
        at += 2 + 2 * length
    return strings


def lua_listing(source):
    """[(opcode, global name or None)] from `luac -l -p source`."""
    luac = os.path.join(BUILD_ROOT, "deps", "host", "luac64")
    out = subprocess.run([luac, "-l", "-p", source], capture_output=True, text=True, check=True).stdout
    return [(m.group(1), m.group(2))
            for m in re.finditer(r'^\s+\d+\s+\[\d+\]\s+([A-Z]+)\s[^;\n]*(?:; _ENV "([^"]*)")?', out, re.M)]


class InstallerResources(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.pe = {arch: read_pe(os.path.join(BUILD_ROOT, arch, "TovikCleanSetup.exe")) for arch in TARGETS}

    def test_pe_format(self):
        for arch, (machine, magic, _) in TARGETS.items():
            with self.subTest(arch=arch):
                headers = self.pe[arch][0]
                self.assertEqual(headers["machine"], machine)
                self.assertEqual(headers["magic"], magic)
                self.assertEqual(headers["subsystem"], 2)  # GUI

    def test_lua_chunks_are_stripped_for_the_target(self):
        for arch, (_, _, size_t) in TARGETS.items():
            with self.subTest(arch=arch):
                res = self.pe[arch][1]
                header = b"\x1bLua\x52\x00\x01\x04" + bytes([size_t]) + b"\x04\x08\x00\x19\x93\r\n\x1a\n"
                for name in ("GLOBAL_VAR.LUAC", "INSTSCRIPT.LUAC", "UNINSTSCRIPT.LUAC"):
                    self.assertIn(("LUA", name), res)
                    self.assertEqual(res[("LUA", name)][:len(header)], header, name)
                # luac -s drops the source name along with the debug info
                self.assertNotIn(b"GLOBAL_VAR.lua", res[("LUA", "GLOBAL_VAR.LUAC")])

    def test_configuration_is_only_global_assignments(self):
        listing = lua_listing(os.path.join(REPO, "scripts", "GLOBAL_VAR.lua"))
        self.assertEqual([name for op, name in listing if op == "SETTABUP"], CONFIG_KEYS)
        self.assertLessEqual({op for op, _ in listing}, {"LOADK", "LOADBOOL", "SETTABUP", "RETURN"})

    def test_payload_7z(self):
        for arch in TARGETS:
            with self.subTest(arch=arch):
                blob = self.pe[arch][1][("_7Z", "APP.7Z")]
                self.assertEqual(blob[:6], b"\x7a\x37\xbc\xaf\x27\x1c")
                with tempfile.TemporaryDirectory() as work:
                    archive = os.path.join(work, "app.7z")
                    with open(archive, "wb") as f:
                        f.write(blob[1::-1] + blob[2:])
                    listing = subprocess.run(["7zz", "l", "-slt", archive], capture_output=True, text=True)
                self.assertEqual(listing.returncode, 0, listing.stdout + listing.stderr)
                files = re.findall(r"(?m)^Path = (.*)$", listing.stdout.split("\n----------\n", 1)[1])
                self.assertEqual(sorted(files), PAYLOAD)
                # 7zz adds BCJ for executables, so the line reads "LZMA2:17 BCJ"
                self.assertRegex(listing.stdout, r"(?m)^Method = .*\bLZMA2\b")
                # 7zz reports "Solid = -" when a block holds a single file
                if len(files) > 1:
                    self.assertRegex(listing.stdout, r"(?m)^Solid = \+$")

    def test_skin_zip(self):
        for arch in TARGETS:
            with self.subTest(arch=arch):
                with zipfile.ZipFile(io.BytesIO(self.pe[arch][1][("ZIP", 249)])) as skin:
                    self.assertIsNone(skin.testzip())
                    self.assertIn("Layout/Layout.xml", skin.namelist())

    def test_strings_icon_version_manifest(self):
        for arch in TARGETS:
            with self.subTest(arch=arch):
                res = self.pe[arch][1]
                self.assertEqual(string_table(res[(RT_STRING, 128 // 16 + 1)])[128 % 16], "VekInstaller")

                group = res[(RT_GROUP_ICON, 128)]
                reserved, kind, count = struct.unpack_from("<HHH", group)
                self.assertEqual((reserved, kind), (0, 1))
                self.assertGreater(count, 0)
                for i in range(count):
                    icon_id = struct.unpack_from("<H", group, 6 + i * 14 + 12)[0]
                    self.assertIn((RT_ICON, icon_id), res)

                version = res[(RT_VERSION, 1)]
                fixed = version.find(struct.pack("<I", 0xFEEF04BD))
                self.assertGreater(fixed, 0)
                ms, ls = struct.unpack_from("<II", version, fixed + 8)
                self.assertEqual((ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF), (1, 0, 12, 46))
                ms, ls = struct.unpack_from("<II", version, fixed + 16)
                self.assertEqual((ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF), (1, 0, 12, 46))

                manifest = res[(RT_MANIFEST, 1)].decode("utf-8")
                self.assertIn('"requireAdministrator"', manifest)
                self.assertRegex(manifest, r'name="Microsoft\.Windows\.Common-Controls"[^>]*version="6\.0\.0\.0"')
                self.assertNotIn("supportedOS", manifest)


if __name__ == "__main__":
    if len(sys.argv) < 2 or not os.path.isdir(sys.argv[1]):
        sys.exit("usage: test_resources.py BUILD_ROOT [unittest options]")
    BUILD_ROOT = sys.argv.pop(1)
    unittest.main()
