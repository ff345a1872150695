#!/usr/bin/env python3
"""Extraction over what only the Linux side can set up: links inside the
destination (Wine shows a Unix symbolic link to a folder as a reparse point)
and a write that fails part way (a file-size limit on the installer's
process). The probe installer runs under vektrace, which prints its trace.

  ondisk_test.py BUILD_DIR [unittest options]

BUILD_DIR is the x86_64 build tree with its test prefix.
"""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine"))
import linuxside  # noqa: E402
from linuxside import Workspace, run_probe, windows  # noqa: E402


class OnDisk(unittest.TestCase):
    def setUp(self):
        self.archives = windows(os.path.join(linuxside.BUILD, "tests", "archives"))

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
    linuxside.BUILD = os.path.abspath(sys.argv.pop(1))
    unittest.main()
