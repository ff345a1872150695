#!/usr/bin/env python3
"""A payload of several hundred MB that packs small: one file, one solid
block, a random MiB repeated with a counter in each copy.

  make_large.py OUT_DIR MIB  ->  OUT_DIR/payload.7z, OUT_DIR/manifest.txt
  (manifest: "<name>\t<size>\t<crc32 as 8 hex digits>")
"""
import os
import random
import subprocess
import sys
import zlib

out, mib = os.path.abspath(sys.argv[1]), int(sys.argv[2])
os.makedirs(out, exist_ok=True)
archive = os.path.join(out, "payload.7z")
if os.path.exists(archive):
    os.remove(archive)
base = random.Random(20261210).randbytes(1 << 20)
pack = subprocess.Popen(["7zz", "a", "-t7z", "-m0=lzma2", "-mx=1", "-md=16m", "-mtc=off", "-mta=off", "-bd",
                         "-silarge.bin", archive], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
crc = 0
for i in range(mib):
    piece = base[:4096] + i.to_bytes(8, "little") + base[4104:]
    crc = zlib.crc32(piece, crc)
    pack.stdin.write(piece)
pack.stdin.close()
if pack.wait() != 0:
    sys.exit("7zz failed")
with open(os.path.join(out, "manifest.txt"), "w") as f:
    f.write("large.bin\t%d\t%08x\n" % (mib << 20, crc))
