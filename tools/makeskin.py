#!/usr/bin/python3
"""Makes the installer's skin folder from the sources in resources/skin.

  makeskin.py OUT_DIR

Copies font.xml, Layout/Layout.xml and the SVG icons as they are, and draws
the pictures: the backgrounds and the edition badge at 100 % and at each
scale variant (every variant is rendered from the vector art at its own
size, never resampled), and the two QR codes. Backgrounds are vector art
rendered by rsvg-convert with the text set by PIL in WenQuanYi Micro Hei.
A file is rewritten only when its bytes change, and stale files go, so a
rerun leaves the folder and everything packed from it untouched.
Runs under Debian's python3 (python3-pil).
"""
import io
import os
import re
import subprocess
import sys

from PIL import Image, ImageDraw, ImageFont

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SRC = os.path.join(ROOT, "resources", "skin")
FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"

ACCENT = "#51DB9E"
INK = (0x33, 0x33, 0x33)
PRODUCT = "TovikC盘清理"
SLOGAN = "C盘瘦身  释放更大空间"
DONE = "安装成功！"
EDITION = "正式版"
FEATURES = ["一键扫描，精准找出系统垃圾", "智能瘦身，释放C盘更多空间", "安全清理，重要文件不误删"]
PRODUCT_URL = "https://www.example.com/tovikclean"
DOWNLOAD_URL = "https://www.example.com/tovikclean/download"

SCALES = (125, 150, 175, 200)
BACKGROUND = (600, 460)
BADGE = (80, 28)
# Variant sizes: the backgrounds scale exactly; the badge's variants have
# sizes of their own that the layout's consumers expect.
SIZES = {
    BACKGROUND: {s: (round(600 * s / 100), round(460 * s / 100)) for s in SCALES},
    BADGE: {125: (101, 36), 150: (121, 42), 175: (141, 50), 200: (160, 56)},
}
SHIPPED_SOURCES = ["font.xml", "Layout/Layout.xml"] + ["Image/%s.svg" % n for n in (
    "BtnInstall", "CheckLicence", "BkPath", "BtnSelectPath", "BtnMin", "BtnClose", "ProgressBk",
    "ProgressFore", "Icon", "EditPathBk")]


# --- vector art ---------------------------------------------------------------

def icon_body():
    """The inner elements of the 16 x 16 logo, to be drawn at any size."""
    with open(os.path.join(SRC, "Image", "Icon.svg"), encoding="utf-8") as f:
        text = f.read()
    body = re.search(r"<svg[^>]*>(.*)</svg>", text, re.S).group(1)
    return re.sub(r"<!--.*?-->", "", body, flags=re.S)


def svg(size, body):
    w, h = size
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" viewBox="0 0 %d %d" '
            'preserveAspectRatio="none">%s</svg>' % (w, h, w, h, body))


def backdrop(variant):
    """Light green-white gradient with soft accent shapes; `variant` moves the
    shapes so the install view's cycling backgrounds differ."""
    bubbles = [  # kept to the corners, clear of the controls
        [(560, 40, 120, 0.10), (30, 440, 70, 0.06), (64, 176, 16, 0.08)],
        [(60, 50, 110, 0.08), (580, 440, 80, 0.06), (540, 178, 18, 0.08)],
        [(600, 150, 130, 0.07), (20, 20, 60, 0.07), (560, 440, 50, 0.06)],
    ][variant]
    shapes = "".join('<circle cx="%d" cy="%d" r="%d" fill="%s" fill-opacity="%.2f"/>' % (x, y, r, ACCENT, o)
                     for x, y, r, o in bubbles)
    return ('<defs><linearGradient id="bg" x1="0" y1="0" x2="0" y2="1">'
            '<stop offset="0" stop-color="#E3F9EE"/><stop offset="0.55" stop-color="#F6FDF9"/>'
            '<stop offset="1" stop-color="#FFFFFF"/></linearGradient>'
            '<filter id="soft" x="-50%" y="-50%" width="200%" height="200%">'
            '<feGaussianBlur stdDeviation="4"/></filter></defs>'
            '<rect width="600" height="460" fill="url(#bg)"/>' + shapes)


def logo(x, y, size):
    """The logo at (x, y), `size` pixels square, over a soft shadow."""
    k = size / 16.0
    return ('<rect x="%.2f" y="%.2f" width="%.2f" height="%.2f" rx="%.2f" fill="#2E9E6B" fill-opacity="0.35" '
            'filter="url(#soft)"/><g transform="translate(%.2f,%.2f) scale(%.4f)">%s</g>'
            % (x + size * 0.08, y + size * 0.12, size * 0.84, size * 0.84, size * 0.2, x, y, k, icon_body()))


def check_mark(cx, cy, r):
    return ('<circle cx="%g" cy="%g" r="%g" fill="%s"/>'
            '<polyline points="%g,%g %g,%g %g,%g" fill="none" stroke="#FFFFFF" stroke-width="%g" '
            'stroke-linecap="round" stroke-linejoin="round"/>'
            % (cx, cy, r, ACCENT, cx - r * 0.42, cy + r * 0.02, cx - r * 0.1, cy + r * 0.34,
               cx + r * 0.45, cy - r * 0.3, r * 0.16))


def render(art, size):
    """PNG of the SVG text `art` at `size`, as an RGBA image."""
    out = subprocess.run(["rsvg-convert", "-w", str(size[0]), "-h", str(size[1]), "-f", "png"],
                         input=art.encode("utf-8"), capture_output=True, check=True).stdout
    return Image.open(io.BytesIO(out)).convert("RGBA")


# --- text ---------------------------------------------------------------------

def font(px):
    return ImageFont.truetype(FONT, max(1, round(px)))


def text_width(text, px, spacing=0.0):
    f = font(px)
    return sum(f.getlength(c) for c in text) + spacing * (len(text) - 1)


def draw_text(img, k, x, y, text, px, fill, spacing=0.0, heavy=False):
    """Draws `text` with its top-left at (x, y) in 100 % units, scaled by k."""
    d = ImageDraw.Draw(img)
    f = font(px * k)
    stroke = max(1, round(0.6 * k)) if heavy else 0
    at = x * k
    for c in text:
        d.text((at, y * k), c, font=f, fill=fill, stroke_width=stroke, stroke_fill=fill)
        at += f.getlength(c) + spacing * k


# --- pictures -----------------------------------------------------------------

def brand_background(variant, size):
    k = size[0] / BACKGROUND[0]
    name_px, logo_px, gap = 34, 60, 16
    name_w = text_width(PRODUCT, name_px)
    left = (600 - (logo_px + gap + name_w)) / 2
    art = backdrop(variant) + logo(left, 58, logo_px)
    img = render(svg(BACKGROUND, art), size)
    draw_text(img, k, left + logo_px + gap, 63, PRODUCT, name_px, INK, heavy=True)
    slogan_px, spacing = 17, 3.0
    slogan_w = text_width(SLOGAN, slogan_px, spacing)
    sx = (600 - slogan_w) / 2
    y = 146
    line = ImageDraw.Draw(img)
    for x0, x1 in ((sx - 46, sx - 14), (sx + slogan_w + 14, sx + slogan_w + 46)):
        line.line([(x0 * k, (y + 11) * k), (x1 * k, (y + 11) * k)], fill=(0x51, 0xDB, 0x9E, 255),
                  width=max(1, round(k)))
    draw_text(img, k, sx, y, SLOGAN, slogan_px, (0x66, 0x66, 0x66), spacing)
    return img


def install_background(variant, size):
    """The brand art with one of the product's points above the progress bar."""
    img = brand_background(variant, size)
    k = size[0] / BACKGROUND[0]
    text, px = FEATURES[variant], 15
    w = text_width(text, px)
    x = (600 - w + 14) / 2
    d = ImageDraw.Draw(img)
    d.ellipse([(x - 14) * k, 270 * k, (x - 6) * k, 278 * k], fill=(0x51, 0xDB, 0x9E, 255))
    draw_text(img, k, x, 264, text, px, (0x66, 0x66, 0x66))
    return img


def complete_background(size):
    k = size[0] / BACKGROUND[0]
    done_px, r, gap = 26, 22, 12
    done_w = text_width(DONE, done_px)
    left = (600 - (2 * r + gap + done_w)) / 2
    cy = 88
    # a white card with a soft shadow under the QR code the layout places at 222,150
    card = ('<rect x="216" y="146" width="168" height="168" rx="10" fill="#2E9E6B" fill-opacity="0.18" '
            'filter="url(#soft)"/><rect x="214" y="142" width="172" height="172" rx="10" fill="#FFFFFF"/>')
    img = render(svg(BACKGROUND, backdrop(0) + check_mark(left + r, cy, r) + card), size)
    draw_text(img, k, left + 2 * r + gap, cy - done_px * 0.62, DONE, done_px, INK, heavy=True)
    return img


def badge(size):
    kx, ky = size[0] / BADGE[0], size[1] / BADGE[1]
    art = ('<rect x="0.5" y="0.5" width="79" height="27" rx="13.5" fill="%s" fill-opacity="0.12" '
           'stroke="%s" stroke-width="1"/>' % (ACCENT, ACCENT))
    img = render(svg(BADGE, art), size)
    k = min(kx, ky)
    px = 13
    w = text_width(EDITION, px * k) / k
    d = ImageDraw.Draw(img)
    f = font(px * k)
    top = f.getbbox(EDITION)
    d.text(((80 - w) / 2 * kx, (size[1] - (top[3] + top[1])) / 2), EDITION, font=f, fill=(0x2E, 0xB8, 0x7A))
    return img


def qr_modules(url):
    """Module matrix (rows of booleans, True = dark) that qrencode makes for `url`."""
    png = subprocess.run(["qrencode", "-l", "M", "-s", "1", "-m", "0", "-o", "-", url],
                         capture_output=True, check=True).stdout
    img = Image.open(io.BytesIO(png)).convert("RGBA").convert("L")
    return [[img.getpixel((x, y)) < 128 for x in range(img.width)] for y in range(img.height)]


def qr_picture(url, side):
    """The QR code of `url` on white, whole pixels per module, centred."""
    modules = qr_modules(url)
    n = len(modules)
    unit = side // (n + 7)  # whole pixels per module, close to four modules of quiet zone
    off = (side - n * unit) // 2
    img = Image.new("RGB", (side, side), "white")
    d = ImageDraw.Draw(img)
    for y, row in enumerate(modules):
        for x, dark in enumerate(row):
            if dark:
                d.rectangle([off + x * unit, off + y * unit, off + (x + 1) * unit - 1, off + (y + 1) * unit - 1],
                            fill=(0x22, 0x22, 0x22))
    return img


def png_bytes(img):
    if img.mode == "RGBA" and img.getextrema()[3] == (255, 255):
        img = img.convert("RGB")  # opaque: a quarter less to ship
    out = io.BytesIO()
    img.save(out, "PNG", optimize=True)
    return out.getvalue()


def jpeg_bytes(img):
    out = io.BytesIO()
    img.save(out, "JPEG", quality=95, subsampling=0)
    return out.getvalue()


def pictures():
    """{relative path: bytes} of every drawn picture."""
    drawn = {"BkViewComplete": (BACKGROUND, complete_background), "Verevu": (BADGE, badge),
             "BkViewInit": (BACKGROUND, lambda s: brand_background(0, s))}
    for i in range(3):
        drawn["InstallBk%d" % i] = (BACKGROUND, lambda s, i=i: install_background(i, s))
    files = {}
    for name, (base, draw) in drawn.items():
        files["Image/%s.png" % name] = png_bytes(draw(base))
        for scale in SCALES:
            files["Image/%s@%d.png" % (name, scale)] = png_bytes(draw(SIZES[base][scale]))
    files["Image/QuickMark.jpg"] = jpeg_bytes(qr_picture(PRODUCT_URL, 258))
    files["Image/QRCode_appdownload.bmp"] = png_bytes(qr_picture(DOWNLOAD_URL, 400))
    return files


def write_if_changed(path, data):
    try:
        with open(path, "rb") as f:
            if f.read() == data:
                return
    except FileNotFoundError:
        pass
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: makeskin.py OUT_DIR")
    out = os.path.abspath(sys.argv[1])
    files = pictures()
    for rel in SHIPPED_SOURCES:
        with open(os.path.join(SRC, rel), "rb") as f:
            files[rel] = f.read()
    for rel, data in files.items():
        write_if_changed(os.path.join(out, rel), data)
    for folder, _, names in os.walk(out):
        for name in names:
            rel = os.path.relpath(os.path.join(folder, name), out).replace(os.sep, "/")
            if rel not in files:
                os.remove(os.path.join(folder, name))


if __name__ == "__main__":
    main()
