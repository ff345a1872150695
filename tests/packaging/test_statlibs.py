#!/usr/bin/env python3
"""The product's libraries that the installer's scripts load (the statistics
pair and the helper library), for both targets: exactly the expected
exports, under their plain names, and on i686 each export removes its own
arguments (the Windows API convention), as its first return instruction
shows."""
import re
import subprocess
import sys
import unittest

BUILD = sys.argv.pop(1) if len(sys.argv) > 1 else "build"

# Export: bytes of arguments (4 per argument on i686).
QORSTAT = {
    "stat_init": 0, "stat_proxy": 8, "stat_dispatch_addr": 8, "stat_online_addr": 8, "stat_action_addr": 8,
    "stat_install_addr": 8, "stat_loginout_addr": 8, "stat_unionid": 4, "stat_appid": 4, "stat_level": 4,
    "stat_version": 4, "stat_version_ex": 16, "stat_online": 0, "stat_offline": 0, "stat_action": 8,
    "stat_mutilaction": 12, "stat_install": 4, "stat_close": 4, "stat_app_install": 8, "stat_http_post": 16,
}
UDP_QOR = {"udp_qor_start": 0, "udp_qor_send": 16, "udp_qor_stop": 4}
FUNC_HELPER = {"CreateDesktopShortcut": 12, "AllowAccountPrivilege": 4}


def exports(tool, dll):
    """{name: rva} and the image base, from objdump's export table."""
    text = subprocess.run([tool, "-p", dll], check=True, capture_output=True, text=True).stdout
    base = int(re.search(r"^ImageBase\s+([0-9a-fA-F]+)", text, re.M).group(1), 16)
    rvas = [int(m.group(1), 16) for m in re.finditer(r"\+base\[\s*\d+\]\s+([0-9a-f]+) Export RVA", text)]
    names = {}
    table = text.split("[Ordinal/Name Pointer] Table", 1)[1]
    for m in re.finditer(r"^\s*\[\s*(\d+)\] (\S+)$", table, re.M):
        names[m.group(2)] = rvas[int(m.group(1))]
    return base, names


def first_return(dll, address):
    text = subprocess.run(["i686-w64-mingw32-objdump", "-d", "--start-address=%#x" % address,
                           "--stop-address=%#x" % (address + 0x2000), dll],
                          check=True, capture_output=True, text=True).stdout
    m = re.search(r"\tret\s*(\$0x[0-9a-f]+)?", text)
    return int(m.group(1)[1:], 16) if m and m.group(1) else 0


class StatLibraries(unittest.TestCase):
    def check(self, arch, dll, expected):
        tool = "%s-w64-mingw32-objdump" % arch
        base, names = exports(tool, "%s/%s/product/%s" % (BUILD, arch, dll))
        self.assertEqual(sorted(names), sorted(expected))
        if arch == "i686":
            for name, arg_bytes in expected.items():
                self.assertEqual(first_return("%s/%s/product/%s" % (BUILD, arch, dll), base + names[name]),
                                 arg_bytes, name)

    def test_qorstat(self):
        for arch in ("i686", "x86_64"):
            self.check(arch, "qorstat.dll", QORSTAT)

    def test_udp_qor(self):
        for arch in ("i686", "x86_64"):
            self.check(arch, "udp_qor.dll", UDP_QOR)

    def test_func_helper(self):
        for arch in ("i686", "x86_64"):
            self.check(arch, "func_helper.dll", FUNC_HELPER)


if __name__ == "__main__":
    unittest.main()
