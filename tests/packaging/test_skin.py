#!/usr/bin/python3
"""Checks the skin that the shipped installer carries as resource ZIP 249.

  test_skin.py BUILD_DIR [unittest options]

BUILD_DIR is the x86_64 build tree. Runs under Debian's python3 (PIL).
"""
import hashlib
import io
import os
import re
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET
import zipfile

from PIL import Image

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(REPO, "tools"))
from test_resources import read_pe  # noqa: E402
from makeskin import qr_modules  # noqa: E402  (qrencode's own modules for a text)
BUILD = None  # set from the command line

BACKGROUNDS = ["BkViewInit", "InstallBk0", "InstallBk1", "InstallBk2", "BkViewComplete"]
# name: {scale: (width, height)}
PNGS = {name: {100: (600, 460), 125: (750, 575), 150: (900, 690), 175: (1050, 805), 200: (1200, 920)}
        for name in BACKGROUNDS}
PNGS["Verevu"] = {100: (80, 28), 125: (101, 36), 150: (121, 42), 175: (141, 50), 200: (160, 56)}
SVGS = {"BtnInstall": (864, 36), "CheckLicence": (84, 14), "BkPath": (999, 32), "BtnSelectPath": (152, 34),
        "BtnMin": (24, 24), "BtnClose": (24, 24), "ProgressBk": (460, 16), "ProgressFore": (262, 16),
        "Icon": (16, 16), "EditPathBk": (1696, 34)}
QR_CODES = {  # file: (format, side, text)
    "Image/QuickMark.jpg": ("JPEG", 258, "https://www.example.com/tovikclean"),
    "Image/QRCode_appdownload.bmp": ("PNG", 400, "https://www.example.com/tovikclean/download"),
}
# What our own SVG renderer draws; anything else would silently vanish.
SVG_ELEMENTS = {"svg", "g", "rect", "circle", "ellipse", "line", "polyline", "polygon", "path"}
SVG_ATTRIBUTES = {"xmlns", "width", "height", "viewBox", "transform", "x", "y", "rx", "ry", "cx", "cy", "r",
                  "x1", "y1", "x2", "y2", "points", "d", "fill", "stroke", "stroke-width", "stroke-linecap",
                  "stroke-linejoin", "opacity", "fill-opacity", "stroke-opacity"}

# Controls the window controller finds, by kind and by the view it looks in.
CONTROLS = {
    None: {"TabMain": "TabLayout", "VertInitView": "VerticalLayout", "VertInstallView": "VerticalLayout",
           "VertCompleteView": "VerticalLayout", "HorizCaptionBtn": "HorizontalLayout", "BtnClose": "Button",
           "minbtn": "Button"},
    "VertInitView": {"BtnInstall": "Button", "EditInstallPath": "RichEdit", "CheckLicence": "Option",
                     "BtnLicenceLink": "Button", "BtnSelectPath": "Button"},
    "VertInstallView": {"ProgressInstall": "Progress", "LabelInstallValue": "Label"},
    "VertCompleteView": {"BtnStart": "Button"},
}
FONT_IDS = {0: 12, 1: 14, 2: 16, 3: 22, 4: 12, 5: 14, 6: 16, 7: 18, 8: 15, 9: 10, 10: 18, 11: 24, 14: 14,
            15: 20, 16: 20, 17: 12, 18: 26, 1000: 14, 1001: 12}


def expected_names():
    names = {"font.xml", "Layout/Layout.xml", "Image/QuickMark.jpg", "Image/QRCode_appdownload.bmp"}
    names |= {"Image/%s.svg" % n for n in SVGS}
    for name, sizes in PNGS.items():
        names |= {"Image/%s.png" % name if s == 100 else "Image/%s@%d.png" % (name, s) for s in sizes}
    return names


def read_modules(img, n):
    """The n x n modules of the QR code in `img`, sampled at each module's centre."""
    grey = img.convert("L")
    left, top, right, bottom = grey.point(lambda v: 255 if v < 128 else 0).getbbox()
    unit_x, unit_y = (right - left) / n, (bottom - top) / n
    return [[grey.getpixel((int(left + (x + 0.5) * unit_x), int(top + (y + 0.5) * unit_y))) < 128
             for x in range(n)] for y in range(n)]


def image_refs(value):
    """Picture files named by a layout image attribute."""
    if "'" not in value:
        return [value] if value else []
    return re.findall(r"file='([^']*)'", value)


class ShippedSkin(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        _, resources = read_pe(os.path.join(BUILD, "TovikCleanSetup.exe"))
        cls.blob = resources[("ZIP", 249)]
        cls.zip = zipfile.ZipFile(io.BytesIO(cls.blob))
        cls.layout = ET.fromstring(cls.zip.read("Layout/Layout.xml"))

    def picture(self, name):
        img = Image.open(io.BytesIO(self.zip.read(name)))
        img.load()  # decodes the whole picture: a truncated file fails here
        return img

    def test_archive_holds_exactly_the_skin_files(self):
        self.assertIsNone(self.zip.testzip())
        self.assertEqual(sorted(self.zip.namelist()), sorted(expected_names()))
        # fixed entry dates: an unchanged skin packs to the same bytes
        self.assertEqual({i.date_time for i in self.zip.infolist()}, {(1980, 1, 1, 0, 0, 0)})

    def test_pictures_format_and_size_at_every_scale(self):
        for name, sizes in PNGS.items():
            for scale, size in sizes.items():
                path = "Image/%s.png" % name if scale == 100 else "Image/%s@%d.png" % (name, scale)
                with self.subTest(path=path):
                    img = self.picture(path)
                    self.assertEqual((img.format, img.size), ("PNG", size))

    def test_scaled_variants_are_drawn_not_magnified(self):
        # A 200 % picture magnified from the 100 % one matches one of the
        # usual filters' magnifications almost everywhere; art drawn at 200 %
        # has thousands of edge pixels that none of them reproduces.
        filters = (Image.NEAREST, Image.BILINEAR, Image.BICUBIC, Image.LANCZOS)
        for name in BACKGROUNDS:
            with self.subTest(name=name):
                small = self.picture("Image/%s.png" % name).convert("L")
                large = self.picture("Image/%s@200.png" % name).convert("L")
                apart = min(sum(abs(a - b) > 40 for a, b in zip(large.getdata(), small.resize(large.size, f).getdata()))
                            for f in filters)
                self.assertGreater(apart, 1000)

    def test_svgs_have_their_sizes_and_stay_inside_the_renderer_subset(self):
        for name, size in SVGS.items():
            with self.subTest(name=name):
                root = ET.fromstring(self.zip.read("Image/%s.svg" % name))
                self.assertEqual(root.tag, "{http://www.w3.org/2000/svg}svg")
                self.assertEqual((int(root.get("width")), int(root.get("height"))), size)
                self.assertEqual(root.get("viewBox").split(), ["0", "0", str(size[0]), str(size[1])])
                for element in root.iter():
                    self.assertIn(element.tag.split("}")[-1], SVG_ELEMENTS)
                    self.assertLessEqual(set(element.keys()), SVG_ATTRIBUTES, element.tag)

    def test_qr_codes_hold_the_product_pages(self):
        for path, (fmt, side, text) in QR_CODES.items():
            with self.subTest(path=path):
                img = self.picture(path)
                self.assertEqual((img.format, img.size), (fmt, (side, side)))
                expected = qr_modules(text)
                self.assertEqual(read_modules(img, len(expected)), expected)

    def test_layout_has_what_the_window_controller_looks_up(self):
        root = self.layout
        self.assertEqual(root.tag, "Window")
        self.assertEqual((root.get("size"), root.get("caption")), ("600,460", "0,0,0,66"))
        self.assertEqual([i.get("source") for i in root.iter("Include")], ["font.xml"])
        for scope, controls in CONTROLS.items():
            where = root if scope is None else self.named(root, scope)
            for name, kind in controls.items():
                with self.subTest(name=name):
                    self.assertEqual(self.named(where, name).tag, kind)
        init = self.named(root, "VertInitView")
        edit = self.named(init, "EditInstallPath")
        self.assertEqual((edit.get("text"), edit.get("userdata")), ("$global_install_path$", "InstallPath"))
        self.assertEqual([o.get("userdata") for o in init.iter("Option")],
                         ["LicenceChk", "ShouldStartWithWindowsChk", "StartMenuShortcutChk"])
        self.assertEqual(self.named(init, "CheckLicence").get("selected"), "true")
        install = self.named(root, "VertInstallView")
        self.assertEqual((install.get("tag"), install.get("bkimage")), ("2000", "Image/InstallBk0.png"))

    def test_every_picture_the_layout_names_is_in_the_archive(self):
        names = {n.lower() for n in self.zip.namelist()}
        attributes = ("bkimage", "foreimage", "normalimage", "hotimage", "pushedimage", "focusedimage",
                      "disabledimage", "selectedimage", "selectedhotimage", "selectedpushedimage")
        referenced = {f for e in self.layout.iter() for a in attributes for f in image_refs(e.get(a, ""))}
        referenced |= {"Image/InstallBk%d.png" % i for i in range(3)}  # cycled by the window
        self.assertTrue(referenced)
        for path in sorted(referenced):
            self.assertIn(path.lower(), names)

    def test_font_table(self):
        fonts = ET.fromstring(self.zip.read("font.xml"))
        self.assertEqual(fonts.tag, "Fonts")
        table = {int(f.get("id")): f for f in fonts.iter("Font")}
        self.assertEqual({i: int(f.get("size")) for i, f in table.items()}, FONT_IDS)
        self.assertEqual({f.get("name") for f in table.values()}, {"微软雅黑"})
        self.assertEqual([i for i, f in table.items() if f.get("default") == "true"], [0])

    def test_generator_is_deterministic(self):
        with tempfile.TemporaryDirectory() as out:
            subprocess.run([sys.executable, os.path.join(REPO, "tools", "makeskin.py"), out], check=True)
            for name in self.zip.namelist():
                with self.subTest(name=name), open(os.path.join(out, name), "rb") as f:
                    self.assertEqual(hashlib.sha256(f.read()).hexdigest(),
                                     hashlib.sha256(self.zip.read(name)).hexdigest())

    @staticmethod
    def named(root, name):
        found = [e for e in root.iter() if e.get("name") == name]
        if len(found) != 1:
            raise AssertionError("%d controls named %s" % (len(found), name))
        return found[0]


if __name__ == "__main__":
    if len(sys.argv) < 2 or not os.path.isdir(sys.argv[1]):
        sys.exit("usage: test_skin.py BUILD_DIR [unittest options]")
    BUILD = sys.argv.pop(1)
    unittest.main()
