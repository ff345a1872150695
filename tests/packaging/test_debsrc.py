#!/usr/bin/env python3
"""tools/debsrc-entries.sh: the deb-src entries made from a machine's own
apt sources, for a table of source files in both forms."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "debsrc-entries.sh")


def entries(files, codename="bookworm", kind=None):
    """Runs the script over `files` (name below the apt folder -> text),
    asking for `kind` entries (deb-src when None); returns its stanzas as
    lists of lines."""
    with tempfile.TemporaryDirectory() as apt:
        os.makedirs(os.path.join(apt, "sources.list.d"))
        for name, text in files.items():
            with open(os.path.join(apt, name), "w") as f:
                f.write(text)
        release = os.path.join(apt, "os-release")
        with open(release, "w") as f:
            f.write("ID=debian\nVERSION_CODENAME=%s\n" % codename)
        out = subprocess.run(["bash", SCRIPT] + ([kind] if kind else []), env=dict(os.environ, VEK_APT_DIR=apt, VEK_OS_RELEASE=release),
                             check=True, capture_output=True, text=True).stdout
    return [block.splitlines() for block in out.strip().split("\n\n") if block.strip()]


KEYRING = "/usr/share/keyrings/debian-archive-keyring.gpg"
# URIs are taken over as they are; these stand for whatever a machine names.


class DebSrcEntries(unittest.TestCase):
    def test_table(self):
        cases = [
            ("deb822, two stanzas, comments", {"sources.list.d/debian.sources":
                "Types: deb\n# a mirror\nURIs: MIRROR/debian\nSuites: bookworm bookworm-updates\n"
                "Components: main contrib\nSigned-By: %s\n\n"
                "Types: deb\nURIs: MIRROR/debian-security\nSuites: bookworm-security\n"
                "Components: main\nSigned-By: %s\n" % (KEYRING, KEYRING)},
             [["Types: deb-src", "URIs: MIRROR/debian", "Suites: bookworm bookworm-updates",
               "Components: main contrib", "Signed-By: " + KEYRING],
              ["Types: deb-src", "URIs: MIRROR/debian-security", "Suites: bookworm-security",
               "Components: main", "Signed-By: " + KEYRING]]),
            ("one-line form with options", {"sources.list":
                "# comment\ndeb [arch=amd64 signed-by=%s] MIRROR/debian bookworm main\n"
                "deb-src MIRROR/debian bookworm main\n" % KEYRING},
             [["Types: deb-src", "URIs: MIRROR/debian", "Suites: bookworm", "Components: main",
               "Signed-By: " + KEYRING]]),
            ("another vendor's and another release's entries are left out", {
                "sources.list.d/node.sources": "Types: deb\nURIs: MIRROR/node\nSuites: nodistro\n"
                                               "Components: main\n",
                "sources.list.d/old.list": "deb MIRROR/debian bullseye main\n"},
             []),
            ("a disabled stanza and a file of another extension are left out", {
                "sources.list.d/off.sources": "Enabled: no\nTypes: deb\nURIs: MIRROR/debian\n"
                                              "Suites: bookworm\nComponents: main\n",
                "sources.list.d/x.list.disabled": "deb MIRROR/debian bookworm main\n"},
             []),
            ("only the release's suites of a stanza", {"sources.list.d/mixed.sources":
                "Types: deb deb-src\nURIs: MIRROR/debian\nSuites: bookworm trixie\nComponents: main\n"},
             [["Types: deb-src", "URIs: MIRROR/debian", "Suites: bookworm", "Components: main"]]),
        ]
        for name, files, expected in cases:
            with self.subTest(name):
                self.assertEqual(entries(files), expected)

    def test_an_inline_key_is_taken_over_whole(self):
        key = ["Signed-By:", " -----BEGIN PGP PUBLIC KEY BLOCK-----", " .", " abc",
               " -----END PGP PUBLIC KEY BLOCK-----"]
        got = entries({"sources.list.d/k.sources": "Types: deb\nURIs: MIRROR/debian\nSuites: bookworm\n"
                                                   "Components: main\n" + "\n".join(key) + "\n"})
        self.assertEqual(got, [["Types: deb-src", "URIs: MIRROR/debian", "Suites: bookworm",
                                "Components: main", "Signed-By: "] + key[1:]])

    def test_plain_entries_for_the_emulated_machine(self):
        # The guest's own apt sources: the same entries as "deb".
        files = {"sources.list": "deb [arch=amd64 signed-by=%s] MIRROR/debian bookworm main\n"
                                 "deb MIRROR/debian trixie main\n" % KEYRING}
        self.assertEqual(entries(files, kind="deb"), [["Types: deb", "URIs: MIRROR/debian", "Suites: bookworm",
                                                       "Components: main", "Signed-By: " + KEYRING]])
        self.assertEqual(entries(files, kind="deb-src"), entries(files))
        with self.assertRaises(subprocess.CalledProcessError):
            entries(files, kind="rpm")


if __name__ == "__main__":
    unittest.main()
