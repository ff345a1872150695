#!/usr/bin/env python3
"""Writes a payload archive of the product's installed size: a program-like
part that does not compress and a part that does, in one solid block (the
decoder holds the whole block in memory, the installer a copy of the packed
archive beside its own image).

  make_product_sized.py OUT_DIR SIZE

OUT_DIR/payload.7z    the archive (LZMA2, one solid block, as the packager's
                      level makes it; the fast level: the decoder's memory
                      depends on the sizes, not the level)
OUT_DIR/manifest.txt  "<name><TAB><size><TAB><CRC-32 hex>" per file
"""
import os
import random
import shutil
import subprocess
import sys
import zlib

out = os.path.abspath(sys.argv[1])
size = int(sys.argv[2])
tree = os.path.join(out, "tree")
shutil.rmtree(out, ignore_errors=True)
os.makedirs(os.path.join(tree, "data"))

program = random.Random(20261210).randbytes(min(32 << 20, size // 3))
line = b"TovikClean data 0123456789 abcdefghijklmnopqrstuvwxyz\r\n"
text = (line * ((size - len(program)) // len(line) + 1))[:size - len(program)]
files = {"TovikCCleanerMain.exe": program, "data\\rules.dat": text}
with open(os.path.join(out, "manifest.txt"), "w") as manifest:
    for name, data in files.items():
        with open(os.path.join(tree, *name.split("\\")), "wb") as f:
            f.write(data)
        manifest.write("%s\t%d\t%08x\n" % (name, len(data), zlib.crc32(data)))

subprocess.run(["7zz", "a", "-t7z", "-m0=lzma2", "-mx=1", "-ms=2g", "-bd", "-y", os.path.join(out, "payload.7z"),
                "TovikCCleanerMain.exe", "data"], cwd=tree, check=True, stdout=subprocess.DEVNULL)
shutil.rmtree(tree)
