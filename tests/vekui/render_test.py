#!/usr/bin/python3
"""The shipped skin's window drawn offscreen by vekuiview under Wine: each
view at 100 % and 150 %, saved in the build tree (tests/vekui-render/) for
people to look at, and checked against facts of the layout."""
import os
import subprocess
import sys
import unittest

from PIL import Image

BUILD = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else None
GREEN = (0x51, 0xDB, 0x9E)


def win_path(path):
    return "Z:" + path.replace("/", "\\")


def render(view, dpi):
    out_dir = os.path.join(BUILD, "tests", "vekui-render")
    os.makedirs(out_dir, exist_ok=True)
    png = os.path.join(out_dir, "view%d_%d.png" % (view, dpi * 100 // 96))
    if os.path.exists(png):
        os.remove(png)
    run = subprocess.run(
        [os.path.join(BUILD, "wine-run"), os.path.join(BUILD, "tests", "vekuiview.exe"),
         "--skin", win_path(os.path.join(BUILD, "skin")), "--render", win_path(png),
         "--dpi", str(dpi), "--view", str(view)],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=120)
    if run.returncode != 0:
        raise AssertionError("vekuiview failed (%d): %s" % (run.returncode, run.stderr))
    size, controls = None, {}
    for line in run.stdout.splitlines():
        parts = line.split()
        if parts[:1] == ["size"]:
            size = (int(parts[1]), int(parts[2]))
        elif parts[:1] == ["control"]:
            controls[parts[1]] = tuple(int(v) for v in parts[2:6])
    return Image.open(png).convert("RGBA"), size, controls


def close(pixel, colour, tolerance=3):
    return all(abs(a - b) <= tolerance for a, b in zip(pixel[:3], colour))


def dark_pixels(image, rect):
    left, top, right, bottom = rect
    count = 0
    for y in range(top, bottom):
        for x in range(left, right):
            r, g, b, a = image.getpixel((x, y))
            if a == 255 and r + g + b < 3 * 140:
                count += 1
    return count


class Render(unittest.TestCase):
    CASES = [(view, dpi) for view in (0, 1, 2) for dpi in (96, 144)]

    @classmethod
    def setUpClass(cls):
        cls.results = {case: render(*case) for case in cls.CASES}

    def test_window_size(self):
        for (view, dpi), (image, size, _) in self.results.items():
            with self.subTest(view=view, dpi=dpi):
                expected = (600, 460) if dpi == 96 else (900, 690)
                self.assertEqual(size, expected)
                self.assertEqual(image.size, expected)
                # the background covers the whole window: opaque everywhere
                self.assertEqual(image.getextrema()[3], (255, 255))

    def test_green_buttons(self):
        for (view, dpi), name in (((0, 96), "BtnInstall"), ((0, 144), "BtnInstall"), ((2, 96), "BtnStart"),
                                  ((2, 144), "BtnStart")):
            with self.subTest(view=view, dpi=dpi):
                image, _, controls = self.results[(view, dpi)]
                left, top, right, bottom = controls[name]
                self.assertEqual((right - left, bottom - top), (216, 38) if dpi == 96 else (324, 57))
                # left of the caption, in the middle of the bar's height
                pixel = image.getpixel((left + (right - left) // 6, (top + bottom) // 2))
                self.assertTrue(close(pixel, GREEN), "%s at %s: %s" % (name, controls[name], pixel))

    def test_text_drawn(self):
        labels = {0: ["CheckLicence", "ShouldStartWithWindowsChk", "EditInstallPath"], 1: ["LabelInstallValue"],
                  2: ["CompleteViewlabel"]}
        for (view, dpi), (image, _, controls) in self.results.items():
            for name in labels[view]:
                with self.subTest(view=view, dpi=dpi, control=name):
                    left, top, right, bottom = controls[name]
                    # the option's text starts after its box
                    if name.endswith("Chk") or name == "CheckLicence":
                        left += 20 * dpi // 96
                    self.assertGreater(dark_pixels(image, (left, top, right, bottom)), 20 * dpi // 96)

    def test_qr_code_from_the_jpeg(self):
        # The completion view's QR label (156 x 156 at 222,150 by the layout's
        # arithmetic) over a white card of the background: its dark modules
        # come only from the decoded JPEG.
        for dpi in (96, 144):
            with self.subTest(dpi=dpi):
                image, _, _ = self.results[(2, dpi)]
                box = tuple(v * dpi // 96 for v in (222, 150, 378, 306))
                area = (box[2] - box[0]) * (box[3] - box[1])
                self.assertGreater(dark_pixels(image, box), area // 5)
                name = "BkViewComplete.png" if dpi == 96 else "BkViewComplete@150.png"
                background = Image.open(os.path.join(BUILD, "skin", "Image", name)).convert("RGBA")
                self.assertEqual(dark_pixels(background, box), 0)

    def test_150_background_is_its_own_picture(self):
        image, _, _ = self.results[(0, 144)]
        own = Image.open(os.path.join(BUILD, "skin", "Image", "BkViewInit@150.png")).convert("RGBA")
        self.assertEqual(own.size, (900, 690))
        # the logo block, clear of every control: a 1:1 copy of the @150 picture
        box = (150, 60, 700, 260)
        worst = max(max(abs(a - b) for a, b in zip(image.getpixel((x, y)), own.getpixel((x, y))))
                    for y in range(box[1], box[3], 3) for x in range(box[0], box[2], 3))
        self.assertLessEqual(worst, 1)


if __name__ == "__main__":
    unittest.main(verbosity=2)
