#!/usr/bin/env python3
"""Builds the archives the extraction tests read, from a fixture tree made
here (deterministic content, so nothing large is committed).

  make_archives.py OUT_DIR

OUT_DIR/tree        the fixture tree (nested and empty folders, Chinese
                    names, a file larger than 4 MiB, text and random data)
OUT_DIR/manifest.txt  "d<TAB>path" / "f<TAB>path" for everything in it
OUT_DIR/<name>.7z   the tree packed with each method below
OUT_DIR/order-<name>.txt  the files of an archive in archive order
OUT_DIR/evil-*.7z   archives whose entry names leave the destination
OUT_DIR/renamed-*.7z archives whose entry names Windows would change or
                    open as a device
OUT_DIR/linked.7z   entries below a folder "linked" (made a link by the tests)
                    and a file "filelink.txt", beside AA_first.txt
OUT_DIR/broken-*.7z damaged archives; broken-entry.7z is two.7z with the
                    data of AA_first.txt spoilt
"""
import os
import random
import shutil
import struct
import subprocess
import sys
import zlib

out = os.path.abspath(sys.argv[1])
tree = os.path.join(out, "tree")
shutil.rmtree(out, ignore_errors=True)
os.makedirs(tree)

rng = random.Random(20261209)
files = {
    "readme.txt": b"Tovik payload\r\n" * 50,
    "bin/TovikCCleanerMain.exe": bytes(rng.getrandbits(8) for _ in range(40000)),
    # larger than one 4 MiB write
    "bin/data/big.dat": (b"0123456789abcdef" * 65536 * 5 + bytes(rng.getrandbits(8) for _ in range(300000))),
    "bin/data/deep/er/still.txt": b"deep\n",
    "中文目录/说明.txt": "托维克清理\r\n".encode("utf-8") * 10,
    "zero.bin": b"",
}
for rel, data in files.items():
    path = os.path.join(tree, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
for empty in ("empty", "bin/empty-inner"):
    os.makedirs(os.path.join(tree, empty), exist_ok=True)

with open(os.path.join(out, "manifest.txt"), "w", encoding="utf-8") as f:
    for folder, dirs, names in os.walk(tree):
        dirs.sort()
        for d in dirs:
            f.write("d\t%s\n" % os.path.relpath(os.path.join(folder, d), tree).replace("/", "\\"))
        for n in sorted(names):
            f.write("f\t%s\n" % os.path.relpath(os.path.join(folder, n), tree).replace("/", "\\"))

methods = {
    "lzma2": ["-m0=lzma2", "-ms=on"],
    "lzma": ["-m0=lzma", "-ms=on"],
    "ppmd": ["-m0=PPMd", "-ms=on"],
    "bcj": ["-m0=BCJ", "-m1=LZMA2"],
    "bcj2": ["-m0=BCJ2", "-m1=LZMA:d20", "-m2=LZMA:d20", "-m3=LZMA:d20", "-mb0:1", "-mb0s1:2", "-mb0s2:3"],
    "blocks": ["-m0=lzma2", "-ms=2f"],
    "plainheader": ["-m0=copy", "-mhc=off", "-ms=off"],
    # branch and delta filters, and windows far smaller than the data (the
    # decoder's window wraps around many times within big.dat)
    "arm": ["-m0=ARM", "-m1=LZMA2"],
    "armt": ["-m0=ARMT", "-m1=LZMA2"],
    "arm64": ["-m0=ARM64", "-m1=LZMA2"],
    "sparc": ["-m0=SPARC", "-m1=LZMA2"],
    "ppc": ["-m0=PPC", "-m1=LZMA2"],
    "ia64": ["-m0=IA64", "-m1=LZMA2"],
    "delta": ["-m0=Delta:4", "-m1=LZMA2"],
    "smallwindow-lzma": ["-m0=LZMA:d=64k", "-ms=on"],
    "smallwindow-lzma2": ["-m0=LZMA2:d=64k", "-ms=on"],
    "bcj-smallwindow": ["-m0=BCJ", "-m1=LZMA:d=64k"],
}


def pack(name, args, cwd, entries):
    archive = os.path.join(out, name + ".7z")
    subprocess.run(["7zz", "a", "-t7z", "-bd", "-y", archive] + args + entries, cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL)
    listing = subprocess.run(["7zz", "l", "-slt", archive], capture_output=True, text=True, check=True).stdout
    order, path = [], None
    for line in listing.splitlines():
        if line.startswith("Path = "):
            path = line[7:]
        elif line.startswith("Attributes = ") and path and not line[13:].startswith("D") and path != archive:
            order.append(path.replace("/", "\\"))
    with open(os.path.join(out, "order-%s.txt" % name), "w", encoding="utf-8") as f:
        f.write("".join(p + "\n" for p in order))
    return archive


for name, args in methods.items():
    pack(name, args, tree, sorted(os.listdir(tree)))

# Two small files, stored with a plain header so the names can be edited.
small = os.path.join(out, "small")
os.makedirs(small)
for n in ("AA_first.txt", "ZZ_last.txt"):
    with open(os.path.join(small, n), "wb") as f:
        f.write(n.encode() * 10)
pack("two", ["-m0=copy", "-mhc=off"], small, ["AA_first.txt", "ZZ_last.txt"])


def rename_entry(source, old, new, target):
    """Rewrites one stored name (same length) and the header's CRC."""
    data = bytearray(open(source, "rb").read())
    o, n = old.encode("utf-16-le"), new.encode("utf-16-le")
    at = data.find(o)
    assert at > 0 and len(o) == len(n), (source, old)
    data[at:at + len(o)] = n
    offset, size = struct.unpack_from("<QQ", data, 12)
    header = bytes(data[32 + offset:32 + offset + size])
    struct.pack_into("<I", data, 28, zlib.crc32(header))
    struct.pack_into("<I", data, 8, zlib.crc32(bytes(data[12:32])))
    open(target, "wb").write(data)


two = os.path.join(out, "two.7z")
rename_entry(two, "AA_first.txt", "..\\first.txt", os.path.join(out, "evil-parent.7z"))
rename_entry(two, "AA_first.txt", "/tmp_first.t", os.path.join(out, "evil-root.7z"))
rename_entry(two, "AA_first.txt", "C:_first.txt", os.path.join(out, "evil-drive.7z"))
rename_entry(two, "AA_first.txt", "a/../../f.tx", os.path.join(out, "evil-inner.7z"))
# Stored names of the same length as AA_first.txt.
renamed = {
    "dot": "AA_first.tx.",      # written as AA_first.tx
    "space": "AA_first.tx ",
    "dotdir": "dir./first.t",   # the folder would be dir
    "spacedir": "dir /first.t",
    "nul": "nul.AA_first",      # a device, whatever the extension
    "con": "CON/AA_first",
    "com": "com1.tar.gzz",
    "lpt": "Lpt9.first.t",
    "aux": "aUx .first.t",
    "empty": "AA//first.tx",
}
for label, name in renamed.items():
    rename_entry(two, "AA_first.txt", name, os.path.join(out, "renamed-%s.7z" % label))

linked = os.path.join(out, "linked")
for rel in ("linked/inner.txt", "linked/deeper/x.txt", "filelink.txt", "AA_first.txt"):
    os.makedirs(os.path.dirname(os.path.join(linked, rel)), exist_ok=True)
    with open(os.path.join(linked, rel), "wb") as f:
        f.write(b"new " + rel.encode() + b"\n")
pack("linked", ["-m0=copy"], linked, ["AA_first.txt", "filelink.txt", "linked"])

good = open(os.path.join(out, "lzma2.7z"), "rb").read()
open(os.path.join(out, "broken-truncated.7z"), "wb").write(good[:len(good) // 2])
open(os.path.join(out, "broken-garbage.7z"), "wb").write(bytes(rng.getrandbits(8) for _ in range(5000)))
flipped = bytearray(good)
flipped[len(flipped) // 3] ^= 0xFF
open(os.path.join(out, "broken-crc.7z"), "wb").write(flipped)
# two.7z keeps its data right after the 32-byte signature header, AA_first.txt
# first; its CRC no longer matches.
spoilt = bytearray(open(two, "rb").read())
spoilt[32] ^= 0xFF
open(os.path.join(out, "broken-entry.7z"), "wb").write(spoilt)
# An archive with no entries: a signature header that announces nothing.
tail = bytes(20)
open(os.path.join(out, "empty.7z"), "wb").write(b"7z\xbc\xaf\x27\x1c\x00\x04" + struct.pack("<I", zlib.crc32(tail)) + tail)
