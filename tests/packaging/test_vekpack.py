#!/usr/bin/env python3
"""The packager as a product team runs it: tools/vekpack packs small product
folders for real with the x86_64 host, and the output is read back (bytes,
resources, the payload's 7z listing, the messages). Nothing runs under Wine.

  test_vekpack.py BUILD_DIR [unittest options]

BUILD_DIR is the x86_64 build tree (its vekpack.json and host libraries).
"""
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_resources import read_pe  # noqa: E402

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
VEKPACK = os.path.join(REPO, "tools", "vekpack")
SHIPPED_CONFIG = os.path.join(REPO, "scripts", "GLOBAL_VAR.lua")
BUILD = None  # set from the command line


def host_config_keys():
    """The configuration keys the programs read: script globals the C++ host
    and uninstaller name, that the shipped configuration sets, and
    global_version (the packager's default version)."""
    named = set()
    for source in ("vekinstaller/installglobals.h", "product/uninstall/uninstallrun.h"):
        with open(os.path.join(REPO, source), encoding="utf-8") as f:
            named |= set(re.findall(r'Global k\w+\{"(global_\w+)"\}', f.read()))
    with open(SHIPPED_CONFIG, encoding="utf-8") as f:
        configured = set(re.findall(r"(?m)^(global_\w+) =", f.read()))
    return sorted(named & configured | {"global_version"})


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def make_product(root, payload_files=None):
    """A small product folder: scripts, a payload with a subfolder and fixed
    file times, a skin folder."""
    with open(SHIPPED_CONFIG, "rb") as f:
        write(os.path.join(root, "scripts", "GLOBAL_VAR.lua"), f.read())
    write(os.path.join(root, "scripts", "INSTSCRIPT.lua"), b"function VekSE_OnInstall() end\n")
    rng = random.Random(7)
    files = payload_files or {"app.exe": b"MZ" + bytes(3000), "data/readme.txt": b"read me\n" * 40,
                              "data/blob.bin": bytes(rng.getrandbits(8) for _ in range(5000))}
    for i, (name, data) in enumerate(sorted(files.items())):
        path = os.path.join(root, "payload", name)
        write(path, data)
        os.utime(path, (1600000000 + i, 1600000000 + i))
    if os.path.isdir(os.path.join(root, "payload", "data")):
        os.utime(os.path.join(root, "payload", "data"), (1600000100, 1600000100))
    write(os.path.join(root, "skin", "Layout", "Layout.xml"), b"<Window/>\n")
    write(os.path.join(root, "skin", "Image", "a.png"), b"\x89PNG not really")
    return root


def vekpack(root, out, *options, tmpdir=None, payload=True):
    cmd = [sys.executable, VEKPACK, "--arch", "x86_64", "--build", BUILD, "--scripts",
           os.path.join(root, "scripts"), "--skin", os.path.join(root, "skin"), "-o", out] + list(options)
    if payload:
        cmd += ["--payload", payload if isinstance(payload, str) else os.path.join(root, "payload")]
    env = dict(os.environ, TMPDIR=tmpdir) if tmpdir else None
    return subprocess.run(cmd, capture_output=True, text=True, env=env)


def payload_listing(installer, work):
    """`7zz l -slt` of the installer's payload, its two bytes put back."""
    blob = read_pe(installer)[1][("_7Z", "APP.7Z")]
    archive = os.path.join(work, "payload-back.7z")
    with open(archive, "wb") as f:
        f.write(blob[1::-1] + blob[2:])
    result = subprocess.run(["7zz", "l", "-slt", archive], capture_output=True, text=True, check=True)
    return result.stdout


class Packing(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="vekpack-test-")
        self.addCleanup(shutil.rmtree, self.work)

    def path(self, *parts):
        return os.path.join(self.work, *parts)

    def pack(self, root, out, *options, **kwargs):
        result = vekpack(root, self.path(out), *options, **kwargs)
        self.assertEqual(result.returncode, 0, result.stderr)
        return result

    def test_the_same_folder_packs_to_the_same_bytes(self):
        product = make_product(self.path("product"))
        # A copy elsewhere (copytree keeps the file and folder times).
        moved = self.path("elsewhere", "deeper", "product")
        shutil.copytree(product, moved)
        runs = [(product, "a.exe", "tmp-a"), (product, "b.exe", "tmp-b"), (moved, "c.exe", "tmp-c")]
        outputs = []
        for root, out, tmp in runs:
            os.makedirs(self.path(tmp))
            self.pack(root, out, tmpdir=self.path(tmp))
            with open(self.path(out), "rb") as f:
                outputs.append(f.read())
        for (root, out, tmp), data in zip(runs[1:], outputs[1:]):
            with self.subTest(out=out):
                if data != outputs[0]:
                    differ = next(i for i, (x, y) in enumerate(zip(data, outputs[0])) if x != y)
                    self.fail("%s differs from a.exe at byte %#x of %d" % (out, differ, len(data)))
        for text in (self.work, "tmp-a", "vekpack-") + tuple(os.path.join(REPO, d) for d in ("utility", "vekinstaller")):
            self.assertFalse(text.encode() in outputs[0], "%s in the installer" % text)
        # Packings within the same second agree on a link time too: it must
        # not be there at all.
        pe = struct.unpack_from("<I", outputs[0], 0x3C)[0]
        self.assertEqual(struct.unpack_from("<I", outputs[0], pe + 8)[0], 0, "link time in the PE header")

    def test_solid_blocks_and_dictionary(self):
        rng = random.Random(3)
        files = {"f%d.bin" % i: bytes(rng.getrandbits(8) for _ in range(300 * 1024)) for i in range(4)}
        product = make_product(self.path("product"), files)
        cases = [  # options, solid blocks, method
            ((), 1, None),
            (("--block-size", "700k"), 2, None),
            (("--block-size", "400k", "--dictionary", "64k"), 4, "LZMA2:16"),
            (("--dictionary", "1m"), 1, "LZMA2:20"),
        ]
        for options, blocks, method in cases:
            with self.subTest(options=options):
                result = self.pack(product, "out.exe", *options)
                listing = payload_listing(self.path("out.exe"), self.work)
                self.assertRegex(listing, r"(?m)^Blocks = %d$" % blocks)
                self.assertRegex(result.stdout, r"\b%d solid blocks?\b" % blocks)
                if method:
                    self.assertRegex(listing, r"(?m)^Method = %s\b" % method)

    def test_a_ready_archive_is_embedded_as_it_is(self):
        product = make_product(self.path("product"))
        archive = self.path("ready.7z")
        subprocess.run(["7zz", "a", "-t7z", "-mx=1", "-bd", archive, "."], cwd=os.path.join(product, "payload"),
                       check=True, capture_output=True)
        self.pack(product, "out.exe", "--block-size", "1k", payload=archive)
        with open(archive, "rb") as f:
            ready = f.read()
        blob = read_pe(self.path("out.exe"))[1][("_7Z", "APP.7Z")]
        self.assertEqual(blob[1::-1] + blob[2:], ready)

    def test_bad_sizes_are_refused_in_one_line(self):
        product = make_product(self.path("product"))
        cases = [  # option, value, text of the message
            ("--block-size", "32", "--block-size must be a number with a unit"),
            ("--block-size", "lots", "--block-size must be a number with a unit"),
            ("--block-size", "0m", "--block-size must be a number with a unit"),
            ("--dictionary", "16x", "--dictionary must be a number with a unit"),
            ("--dictionary", "2k", "--dictionary must be between 4k and 1536m"),
            ("--dictionary", "2g", "--dictionary must be between 4k and 1536m"),
        ]
        for option, value, text in cases:
            with self.subTest(option=option, value=value):
                result = vekpack(product, self.path("out.exe"), option, value)
                self.assertNotEqual(result.returncode, 0)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertTrue(result.stderr.startswith("vekpack: " + text), result.stderr)
                self.assertFalse(os.path.exists(self.path("out.exe")))

    def test_summary(self):
        product = make_product(self.path("product"))
        stdout = self.pack(product, "out.exe").stdout
        payload = sum(os.path.getsize(os.path.join(folder, name))
                      for folder, _, names in os.walk(os.path.join(product, "payload")) for name in names)
        resources = read_pe(self.path("out.exe"))[1]
        archive, skin = len(resources[("_7Z", "APP.7Z")]), len(resources[("ZIP", 249)])
        expected = [
            r"payload\s+3 files, %d bytes" % payload,
            r"archive\s+%d bytes \(%.1f%%\), 1 solid blocks?" % (archive, 100.0 * archive / payload),
            r"skin\s+%d bytes" % skin,
            r"installer\s+%d bytes" % os.path.getsize(self.path("out.exe")),
        ]
        for line in expected:
            with self.subTest(line=line):
                self.assertRegex(stdout, r"(?m)^\s*%s$" % line)

    def test_help_says_what_each_option_does(self):
        result = subprocess.run([sys.executable, VEKPACK, "--help"], capture_output=True, text=True)
        self.assertEqual(result.returncode, 0)
        cases = {  # option: words of its help text
            "--arch": "prebuilt host", "--scripts": "GLOBAL_VAR", "--payload": "7z", "--skin": "zip",
            "--icon": "icon", "--version": "global_version", "--block-size": "solid block",
            "--dictionary": "dictionary", "--build": "build folder", "--output": "installer",
        }
        help_text = re.sub(r"\s+", " ", result.stdout)
        for option, words in cases.items():
            with self.subTest(option=option):
                self.assertRegex(help_text, r"%s[^-]*?%s" % (re.escape(option), re.escape(words)))


class Configuration(unittest.TestCase):
    """A GLOBAL_VAR.lua that lacks a key the programs read is refused before
    anything is built."""

    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="vekpack-config-")
        self.addCleanup(shutil.rmtree, self.work)
        self.product = make_product(os.path.join(self.work, "product"))
        self.out = os.path.join(self.work, "out.exe")
        with open(SHIPPED_CONFIG, encoding="utf-8") as f:
            self.lines = f.read().splitlines()

    def write_config(self, lines, name="GLOBAL_VAR.lua"):
        for old in ("GLOBAL_VAR.lua", "GLOBAL_VAR.luac"):
            if os.path.exists(os.path.join(self.product, "scripts", old)):
                os.remove(os.path.join(self.product, "scripts", old))
        write(os.path.join(self.product, "scripts", name), ("\n".join(lines) + "\n").encode("utf-8"))

    def test_each_missing_key_is_named(self):
        keys = host_config_keys()
        self.assertIn("global_product_name", keys)
        for key in keys:
            with self.subTest(key=key):
                self.write_config([line for line in self.lines if not line.startswith(key + " =")])
                result = vekpack(self.product, self.out, "--version", "1.2.3.4")
                self.assertNotEqual(result.returncode, 0)
                self.assertEqual(result.stderr, "vekpack: GLOBAL_VAR.lua lacks %s\n" % key)
                self.assertFalse(os.path.exists(self.out))

    def test_what_counts_as_set(self):
        cases = [  # name, GLOBAL_VAR lines, built
            ("complete", self.lines, True),
            ("key only in a comment", ["-- global_app_id = 201"] + [l for l in self.lines if not l.startswith(
                "global_app_id =")], False),
            ("key only inside a function", ["function f() global_app_id = 201 end"] + [
                l for l in self.lines if not l.startswith("global_app_id =")], False),
        ]
        for name, lines, built in cases:
            with self.subTest(case=name):
                if os.path.exists(self.out):
                    os.remove(self.out)
                self.write_config(lines)
                result = vekpack(self.product, self.out, "--version", "1.2.3.4")
                self.assertEqual(result.returncode == 0, built, result.stderr)
                self.assertEqual(os.path.exists(self.out), built)
                if not built:
                    self.assertRegex(result.stderr, r"^vekpack: GLOBAL_VAR.lua lacks global_\w+")

    def test_a_ready_chunk_is_taken_as_it_is(self):
        self.write_config(["x = 1"], name="GLOBAL_VAR.luac")
        result = vekpack(self.product, self.out)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(read_pe(self.out)[1][("LUA", "GLOBAL_VAR.LUAC")], b"x = 1\n")


if __name__ == "__main__":
    if len(sys.argv) < 2 or not os.path.isfile(os.path.join(sys.argv[1], "vekpack.json")):
        sys.exit("usage: test_vekpack.py BUILD_DIR [unittest options]")
    BUILD = os.path.abspath(sys.argv.pop(1))
    unittest.main()
