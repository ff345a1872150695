#!/usr/bin/env python3
"""The SVG renderer against rsvg-convert: every test SVG here and every SVG
of the skin, drawn by vek_svgrender.exe under Wine and by rsvg-convert at
100, 150 and 200 %, compared on premultiplied RGBA. The pictures and an
amplified difference stay in <build>/tests/svg_oracle for people to look at.
    svg_oracle_test.py <x86_64 build tree> <source root>"""
import glob
import os
import subprocess
import sys

from PIL import Image, ImageChops

SCALES = (100, 150, 200)
# Measured here (Wine's GDI+, drawn 4 × larger and averaged, against
# rsvg-convert 2.54): means of 0.06 to 2.2 per channel on the test drawings,
# up to 3.3 on the skin's smallest icons at 100 % (16 × 16, 14 × 14 cells:
# nearly every pixel is an edge), and at most 0.35 % of the pixels past the
# gross difference (the corner pixels of 14-pixel rounded boxes), all on
# edges; both renderers agree on where shapes lie to within 0.05 pixel. A
# flipped arc flag, a lost transform or an opacity not applied moves whole
# areas (means of 8 to 16, 5 to 19 % gross pixels) and fails both bounds.
MEAN_BOUND = 3.6          # mean per-channel difference, 0..255
GROSS_DIFFERENCE = 100    # a pixel this far off in some channel is gross...
GROSS_SHARE = 0.005       # ...and at most this share of the pixels may be


def premultiplied(path):
    image = Image.open(path).convert("RGBA")
    alpha = image.getchannel("A")
    channels = [ImageChops.multiply(c, alpha) for c in image.split()[:3]]
    return Image.merge("RGBA", channels + [alpha])


def windows(path):
    return "Z:" + path.replace("/", "\\")


def render_ours(build, svg, out, scale):
    exe = os.path.join(build, "tests", "vek_svgrender.exe")
    run = subprocess.run([os.path.join(build, "wine-run"), exe, windows(svg), windows(out), str(scale)],
                         stdin=subprocess.DEVNULL, capture_output=True, timeout=120)
    if run.returncode != 0 or not os.path.exists(out):
        raise RuntimeError("vek_svgrender failed with %d: %s" % (run.returncode, run.stderr.decode(errors="replace")))


def render_reference(svg, out, scale):
    subprocess.run(["rsvg-convert", "-z", str(scale / 100), "-o", out, svg], check=True, timeout=60)


def compare(ours_path, ref_path, diff_path):
    """(failure text or None, mean, gross share)"""
    ours, ref = premultiplied(ours_path), premultiplied(ref_path)
    if ours.size != ref.size:
        return "size %s, reference %s" % (ours.size, ref.size), 0, 0
    diff = ImageChops.difference(ours, ref)
    histogram = diff.histogram()  # 4 × 256 bins
    pixels = ours.size[0] * ours.size[1]
    mean = sum(i * n for k in range(4) for i, n in enumerate(histogram[256 * k:256 * k + 256])) / (4 * pixels)
    strongest = diff.getchannel(0)
    for k in range(1, 4):
        strongest = ImageChops.lighter(strongest, diff.getchannel(k))
    gross = sum(strongest.histogram()[GROSS_DIFFERENCE:]) / pixels
    strongest.point(lambda v: min(255, v * 4)).save(diff_path)
    failures = []
    if mean > MEAN_BOUND:
        failures.append("mean difference %.2f > %.2f" % (mean, MEAN_BOUND))
    if gross > GROSS_SHARE:
        failures.append("%.2f%% of the pixels differ by %d or more" % (gross * 100, GROSS_DIFFERENCE))
    return "; ".join(failures) or None, mean, gross


def inputs(source):
    files = sorted(glob.glob(os.path.join(source, "tests", "vekui", "svg", "*.svg")))
    files += sorted(glob.glob(os.path.join(source, "resources", "skin", "**", "*.svg"), recursive=True))
    return files


def main():
    build, source = sys.argv[1], sys.argv[2]
    out = os.path.join(build, "tests", "svg_oracle")
    os.makedirs(out, exist_ok=True)
    failed = []
    for svg in inputs(source):
        name = os.path.relpath(svg, source).replace("/", "_")[:-4]
        for scale in SCALES:
            base = os.path.join(out, "%s@%d" % (name, scale))
            render_reference(svg, base + ".ref.png", scale)
            render_ours(build, svg, base + ".ours.png", scale)
            failure, mean, gross = compare(base + ".ours.png", base + ".ref.png", base + ".diff.png")
            print("%-60s %3d%%  mean %.3f  gross %.4f%%%s" % (name, scale, mean, gross * 100,
                                                               "  FAIL: " + failure if failure else ""))
            if failure:
                failed.append("%s at %d%%: %s" % (name, scale, failure))
    if failed:
        print("\n".join(["differs from rsvg-convert:"] + failed))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
