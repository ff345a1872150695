#!/usr/bin/python3
"""What the installer host weighs, part by part: links the host of a build
(entry object and libraries, as the packager does, with no resources) once
more with a linker map, and sums the loaded input sections per part.
    host_size.py <build>/<arch>
The parts are the bytes the linker placed; the stripped file adds headers
and section alignment."""
import collections
import json
import os
import re
import subprocess
import sys
import tempfile

LOADED = {".text", ".data", ".rdata", ".eh_frame", ".pdata", ".xdata", ".idata", ".CRT", ".tls", ".reloc"}
# (part, pattern on "<archive>(<member>)" or the object path); the first that matches wins.
PARTS = [
    ("spdlog/fmt (the diagnostic log)", r"libvekhost\.a\(ruvobaselog\."),
    ("GDI+ glue", r"libvekui\.a\((gdiplus|svgraster|svgimage|textrenderer|imagecache|surface|offscreen)[a-z]*\.|libgdiplus_delay"),
    ("window framework", r"libvekui\.a"),
    ("installer program", r"libvekinstall\.a|vekentry\.dir"),
    ("host session", r"libvekhost\.a"),
    ("script engine + host functions", r"libvekscript\.a"),
    ("statistics", r"libvekstat\.a"),
    ("native layer", r"libvekbase\.a"),
    ("lua", r"liblua\.a"),
    ("libcurl", r"libcurl\.a"),
    ("pugixml", r"libpugixml\.a"),
    ("zlib", r"libz\.a"),
    ("7z decoder", r"libsevenzip\.a"),
    ("libstdc++ locale and iostreams", r"libstdc\+\+\.a\(.*(locale|facets|ios|stream|codecvt|monetary|numeric_members|time_members|messages_members|ctype|collate)"),
    ("libstdc++ strings", r"libstdc\+\+\.a\(.*string"),
    ("libstdc++ demangler", r"libstdc\+\+\.a\(cp-demangle"),
    ("libstdc++ other (exceptions, RTTI, threads)", r"libstdc\+\+\.a"),
    ("C runtime, threads, unwinder", r"libmingw|libmsvcrt|libpthread|libgcc|crt\w*\.o|libmoldname"),
    ("GUIDs (libuuid)", r"libuuid\.a"),
    ("imports and relocations", r"lib\w+\.a\(|dll stuff|linker stubs"),
]


def run(cmd):
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)


def sections_of(map_path):
    """{input file: {output section: bytes}} for the loaded sections."""
    rows = collections.defaultdict(collections.Counter)
    out, pending = None, False
    with open(map_path, errors="replace") as f:
        for line in f:
            m = re.match(r"^(\.[\w.$]+)\s", line)
            if m:
                out = m.group(1)
            if out not in LOADED:
                continue
            m = re.match(r"^ (\.\S+|COMMON)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$", line)
            if m:
                rows[m.group(3).strip()][out] += int(m.group(2), 16)
                pending = False
            elif re.match(r"^ (\.\S+|COMMON)\s*$", line):
                pending = True
            elif pending:
                m = re.match(r"^\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S.*)$", line)
                if m:
                    rows[m.group(2).strip()][out] += int(m.group(1), 16)
                pending = False
    return rows


def part_of(path):
    for part, pattern in PARTS:
        if re.search(pattern, path):
            return part
    return "other"


def measure(build):
    """(stripped size, objdump -h text, {part: Counter of sections}, {input file: sections})
    of the host of `build`, linked with no resources."""
    with open(os.path.join(build, "vekpack.json")) as f:
        config = json.load(f)
    tools = config["cxx"].rsplit("-", 2)[0]  # .../i686-w64-mingw32
    with tempfile.TemporaryDirectory(prefix="vek-host-size-") as work:
        exe, stripped, mapfile = (os.path.join(work, n) for n in ("host.exe", "host-s.exe", "host.map"))
        flags = [f for f in config["link_flags"] if f != "-s"]
        run([config["cxx"]] + flags + ["-o", exe, "-Wl,-Map," + mapfile, config["entry"]] + config["libs"])
        run([tools + "-strip", "-o", stripped, exe])
        rows = sections_of(mapfile)
        headers = subprocess.run([tools + "-objdump", "-h", stripped], check=True, stdout=subprocess.PIPE,
                                 text=True).stdout
        size = os.path.getsize(stripped)
    parts = collections.defaultdict(collections.Counter)
    for path, sizes in rows.items():
        parts[part_of(path)].update(sizes)
    return size, headers, parts, rows


def main():
    build = os.path.abspath(sys.argv[1])
    size, headers, parts, _ = measure(build)
    arch = os.path.basename(build)
    print("stripped %s host without resources: %d bytes (%.2f MB)" % (arch, size, size / 1e6))
    print("  sections: " + ", ".join("%s %d" % (m.group(1), int(m.group(2), 16)) for m in re.finditer(
        r"^\s+\d+\s+(\S+)\s+([0-9a-f]+)\s", headers, re.M)))
    print("  %-46s %9s %9s %9s" % ("part", "bytes", "code", "unwind"))
    for part, sizes in sorted(parts.items(), key=lambda kv: -sum(kv[1].values())):
        unwind = sizes[".eh_frame"] + sizes[".pdata"] + sizes[".xdata"]
        print("  %-46s %9d %9d %9d" % (part, sum(sizes.values()), sizes[".text"], unwind))


if __name__ == "__main__":
    main()
