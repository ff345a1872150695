#!/usr/bin/env python3
"""Extraction over what only the Linux side can set up: links inside the
destination (Wine shows a Unix symbolic link to a folder as a reparse point)
and a write that fails part way (a file-size limit on the installer's
process). The probe installer runs under vektrace, which prints its trace.

  ondisk_test.py BUILD_DIR [unittest options]

BUILD_DIR is the x86_64 build tree with its test prefix.
"""
import glob
import os
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
WINEENV = os.path.join(HERE, "..", "wine", "wineenv.sh")
BUILD = None  # set from the command line


def windows(path):
    return "Z:" + path.replace("/", "\\")


class Workspace:
    """A fresh folder in the prefix's temporary folder, seen from both sides."""

    def __init__(self, name):
        prefix = os.path.join(BUILD, "wineprefix")
        temp = [p for p in glob.glob(os.path.join(prefix, "drive_c/users/*/Temp")) if "/Public/" not in p][0]
        self.unix = os.path.join(temp, "%s-%d" % (name, os.getpid()))
        self.win = "C:\\users\\%s\\Temp\\%s" % (os.path.basename(os.path.dirname(temp)), os.path.basename(self.unix))
        subprocess.run(["rm", "-rf", self.unix], check=True)
        os.makedirs(self.unix)

    def path(self, rel):
        return os.path.join(self.unix, rel)

    def write(self, rel, data):
        os.makedirs(os.path.dirname(self.path(rel)), exist_ok=True)
        with open(self.path(rel), "wb") as f:
            f.write(data)

    def read(self, rel):
        with open(self.path(rel), "rb") as f:
            return f.read()

    def files(self, rel):
        found = []
        for folder, _, names in os.walk(self.path(rel)):
            found += [os.path.relpath(os.path.join(folder, n), self.path(rel)) for n in names]
        return sorted(found)

    def remove(self):
        subprocess.run(["rm", "-rf", self.unix], check=True)


def run_probe(work, lua, file_size_kib=None):
    """Runs the probe installer with `lua` as its script; returns the trace
    lines and the records. With a size limit, writes past it fail (EFBIG)."""
    work.write("script.lua", lua.encode("utf-8"))
    env = dict(os.environ, VEK_WINEPREFIX=os.path.join(BUILD, "wineprefix"),
               VEK_PROBE_SCRIPT=work.win + "\\script.lua", VEK_PROBE_OUT=work.win + "\\records.txt")
    limit = "ulimit -f %d; trap '' XFSZ;" % file_size_kib if file_size_kib else ""
    # The server runs already (unlimited): the limit reaches only the programs started here.
    subprocess.run([os.path.join(BUILD, "wine-run"), "cmd.exe", "/c", "exit", "0"], env=env, check=True,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    run = subprocess.run(["bash", "-c", 'source "$1"; %s exec "$WINE" "$2" "$3"' % limit, "-", WINEENV,
                          os.path.join(BUILD, "tests", "vektrace.exe"),
                          os.path.join(BUILD, "tests", "installers", "probe.exe")],
                         env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    traces = run.stdout.decode("utf-8", "replace").splitlines()
    with open(work.path("records.txt"), encoding="utf-8") as f:
        records = [line.rstrip("\r\n") for line in f]
    return traces, records


class OnDisk(unittest.TestCase):
    def setUp(self):
        self.archives = windows(os.path.join(BUILD, "tests", "archives"))

    def test_nothing_is_written_through_a_link(self):
        work = Workspace("vek-links")
        self.addCleanup(work.remove)
        work.write("outside/target.txt", b"old")
        os.makedirs(work.path("dest"))
        os.symlink("../outside", work.path("dest/linked"))
        os.symlink("../outside/target.txt", work.path("dest/filelink.txt"))
        traces, records = run_probe(work, 'probe_record(tostring(Lua_UnCompress7z([[%s\\linked.7z]], [[%s\\dest]], true)))\n'
                                    % (self.archives, work.win))
        self.assertEqual(records[0], "false")
        self.assertEqual(work.files("outside"), ["target.txt"], "written through the folder link")
        self.assertEqual(work.read("outside/target.txt"), b"old", "written through the file link")
        self.assertEqual(work.read("dest/AA_first.txt"), b"new AA_first.txt\n", "the other entries go on")
        refused = [t for t in traces if "goes through a link, refused!" in t]
        self.assertTrue(any("inner.txt" in t for t in refused), traces)
        self.assertTrue(any("x.txt" in t for t in refused), traces)

    def test_a_failed_write_keeps_the_old_file(self):
        work = Workspace("vek-fsize")
        self.addCleanup(work.remove)
        work.write("dest/bin/data/big.dat", b"old big.dat")
        traces, records = run_probe(work, 'probe_record(tostring(Lua_UnCompress7z([[%s\\lzma2.7z]], [[%s\\dest]], true)))\n'
                                    % (self.archives, work.win), file_size_kib=2048)
        self.assertEqual(records[0], "false")
        self.assertIn("xm Fun:Lua_UnCompress7z, Description: UnCompress failed.!", traces)
        self.assertEqual(work.read("dest/bin/data/big.dat"), b"old big.dat")
        left = [f for f in work.files("dest") if "~vek" in f or f.endswith(".tmp")]
        self.assertEqual(left, [], "temporary files left behind")


if __name__ == "__main__":
    BUILD = os.path.abspath(sys.argv.pop(1))
    unittest.main()
