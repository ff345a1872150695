#!/usr/bin/env python3
"""Recursive deletion over links that only the Linux side can make (Wine
shows a Unix symbolic link to a folder as a reparse point): the uninstall
deletes, elevated, folders of %TEMP% and %LOCALAPPDATA% that the user owns,
so a link inside them must go as a link, never the files it points at.
(Wine refuses to remove a Unix link to a folder that is not empty, error
145, where Windows removes the link: the links may stay here.)

  links_test.py BUILD_DIR [unittest options]
"""
import os
import stat
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "wine"))
import linuxside  # noqa: E402
from linuxside import Workspace, run_probe  # noqa: E402


class DeletionOverLinks(unittest.TestCase):
    def workspace(self):
        work = Workspace("vek-dellinks")
        self.addCleanup(work.remove)
        work.write("outside/keep.txt", b"keep")
        work.write("outside/sub/deep.txt", b"deep")
        work.write("outside/readonly.txt", b"ro")
        os.chmod(work.path("outside/readonly.txt"), stat.S_IRUSR)
        work.write("tree/own.txt", b"own")
        work.write("tree/sub/own2.txt", b"own2")
        os.symlink("../outside", work.path("tree/linked"))
        os.symlink("../../outside", work.path("tree/sub/linked2"))
        os.symlink("outside", work.path("toplink"))
        return work

    def assertOutsideIntact(self, work):
        self.assertEqual(work.files("outside"), ["keep.txt", "readonly.txt", "sub/deep.txt"])
        self.assertEqual(os.stat(work.path("outside/readonly.txt")).st_mode & 0o222, 0,
                         "read-only cleared through the link")

    def test_links_inside_the_tree_go_as_links(self):
        for function in ("Lua_DelFileRecursive([[%s\\tree]])", "Lua_DelFileRecursiveEx([[%s\\tree]], function() return 0 end)"):
            with self.subTest(function=function.split("(")[0]):
                work = self.workspace()
                run_probe(work, (function + "\n") % work.win)
                self.assertFalse(os.path.lexists(work.path("tree/own.txt")), "the tree's own files are gone")
                self.assertFalse(os.path.lexists(work.path("tree/sub/own2.txt")))
                self.assertOutsideIntact(work)

    def test_a_link_given_as_the_folder_goes_as_a_link(self):
        work = self.workspace()
        run_probe(work, "Lua_DelFileRecursive([[%s\\toplink]])\n" % work.win)
        self.assertOutsideIntact(work)


if __name__ == "__main__":
    linuxside.BUILD = os.path.abspath(sys.argv.pop(1))
    unittest.main()
