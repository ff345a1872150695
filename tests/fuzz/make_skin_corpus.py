#!/usr/bin/env python3
"""Writes the seed corpus of the skin fuzz target: small skins (layout, font
table, SVG pictures) as stored and deflated zips, and a few pieces.
    make_skin_corpus.py <output folder>
The archives are reproducible: fixed dates, fixed order."""
import io
import sys
import zipfile
from pathlib import Path

FONTS = """<?xml version="1.0" encoding="utf-8"?>
<Fonts>
  <Font id="0" name="微软雅黑" size="12" default="true"/>
  <Font id="1" name="微软雅黑" size="14" bold="true"/>
  <Font id="2" name="微软雅黑" size="18" underline="true" italic="false" shared="true"/>
</Fonts>
"""

LAYOUT = """<?xml version="1.0" encoding="utf-8"?>
<Window size="600,460" mininfo="600,460" caption="0,0,0,40" sizebox="0,0,0,0" bktrans="true"
        showshadow="true" autodpi="true" gdiplustext="true" textrenderinghint="4" outlinetext="true"
        tooltipbkcolor="#FFFFFFE1" tooltiptextcolor="0xFF333333">
  <Include source="font.xml"/>
  <VerticalLayout bkcolor="#FFFFFFFF" inset="1,1,1,1" childpadding="4">
    <TabLayout name="Views" selectedid="0">
      <VerticalLayout name="ViewInit" bkimage="Image/Bk.png">
        <HorizontalLayout padding="0,125,0,0" height="38">
          <Button name="BtnInstall" width="216" horzpaddingcenter="true" TabSuppot="true" userdata="InstallBtn"
                  text="快速安装" font="2" textcolor="0xffffffff" align="center" valign="vcenter"
                  normalimage="file='Image/Btn.svg' source='0,0,216,38'"
                  hotimage="file='Image/Btn.svg' source='216,0,432,38' source125='270,0,540,48'"
                  pushedimage="file='Image/Btn.svg' source='432,0,648,38' dest='0,0,216,38' fade='200'"/>
        </HorizontalLayout>
        <HorizontalLayout padding="0,30,0,0" width="500" height="34" horzpaddingcenter="true">
          <RichEdit name="EditInstallPath" text="$global_install_path$" align="left" valign="vcenter"
                    textcolor="#FF333333" textpadding="8,0,40,0" autohscroll="true" multiline="false"/>
          <Button name="BtnSelectPath" width="38" height="34" float="true" pos="462,0,500,34" floatalign="right,vcenter"/>
        </HorizontalLayout>
        <Option name="CheckLicence" group="licence" selected="true" width="14" height="14"
                normalimage="file='Image/Check.svg' source='0,0,14,14'" selectedimage="file='Image/Check.svg' source='42,0,56,14'"/>
        <Unknown attribute="kept out"><Label text="skipped with its parent"/></Unknown>
      </VerticalLayout>
      <VerticalLayout name="ViewInstalling">
        <Progress name="ProgressInstall" width="490" height="16" min="0" max="100" value="35" hor="true"
                  bkimage="Image/ProgressBk.svg" foreimage="Image/ProgressFore.svg" vertpaddingcenter="true"/>
        <Label name="Percent" text="35%" autocalcwidth="true" visible="false" enabled="false" tag="7"/>
      </VerticalLayout>
    </TabLayout>
    <HorizontalLayout name="HorizCaptionBtn" float="true" pos="0,10,0,0" width="600" height="24">
      <Control/>
      <Button name="minbtn" width="24" height="24" tooltip="最小化" TabSuppot="false"/>
      <Button name="BtnClose" padding="2,0,10,0" width="24" height="24" tooltip="关闭"/>
    </HorizontalLayout>
  </VerticalLayout>
</Window>
"""

SVG_BUTTON = """<svg xmlns="http://www.w3.org/2000/svg" width="648" height="38" viewBox="0 0 648 38">
  <rect x="0" y="0" width="216" height="38" rx="19" fill="#51DB9E"/>
  <g transform="translate(216,0)"><rect width="216" height="38" rx="19" ry="19" style="fill:#4FD5AD"/></g>
  <g transform="matrix(1 0 0 1 432 0)" opacity="0.3"><rect width="216" height="38" rx="19" fill="#51DB9E"/></g>
</svg>
"""

SVG_CHECK = """<svg xmlns="http://www.w3.org/2000/svg" width="84" height="14" viewBox="0 0 84 14">
  <rect x="0.5" y="0.5" width="13" height="13" rx="2" fill="none" stroke="#999999"/>
  <rect x="14.5" y="0.5" width="13" height="13" rx="2" fill="none" stroke="#51DB9E" stroke-width="1"/>
  <rect x="42" y="0" width="14" height="14" rx="2" fill="#51DB9E"/>
  <path d="M45 7l3 3 5-6" fill="none" stroke="#FFFFFF" stroke-width="1.5" stroke-linecap="round" stroke-linejoin="round"/>
</svg>
"""

SVG_GLYPHS = """<svg xmlns="http://www.w3.org/2000/svg" width="24" height="24" viewBox="0 0 24 24">
  <path d="M6 12h12" stroke="#333333" stroke-width="2"/>
  <path d="M7 7L17 17M17 7L7 17" stroke="#333" stroke-width="2" stroke-linecap="square"/>
  <circle cx="12" cy="12" r="10" fill="#fff" fill-opacity=".5"/>
  <ellipse cx="12" cy="12" rx="4" ry="2" transform="rotate(30 12 12) scale(1.5)"/>
  <path fill-rule="evenodd" d="M2,2 C4,0 8,0 10,2 S14,6 12,8 Q10,10 8,9 T4,8 A3 3 0 0 1 2,2 Z m1 1 v2 h2 V3 H3 z"/>
  <polygon points="1,1 5,1 3,4"/><polyline points="1,20 4,23 8,19" fill="none" stroke="green"/>
  <line x1="0" y1="0" x2="24" y2="24" stroke="rgb(255,0,0)" stroke-miterlimit="10"/>
</svg>
"""

PNG_STUB = b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\x00\x00\x00\x01\x00\x00\x00\x01\x08\x06\x00\x00\x00"


def archive(files, method=zipfile.ZIP_DEFLATED, comment=b""):
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w") as z:
        for name, data in files:
            info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_STORED if name.endswith("/") else method
            z.writestr(info, data.encode("utf-8") if isinstance(data, str) else data)
        z.comment = comment
    return out.getvalue()


def shipped_sources():
    root = Path(__file__).resolve().parents[2] / "resources" / "skin"
    files = sorted(p for p in root.rglob("*") if p.is_file() and p.suffix.lower() in (".xml", ".svg"))
    return [(p.relative_to(root).as_posix(), p.read_bytes()) for p in files]


def main():
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    skin = [("font.xml", FONTS), ("Layout/", b""), ("Layout/Layout.xml", LAYOUT), ("Image/", b""),
            ("Image/Btn.svg", SVG_BUTTON), ("Image/Check.svg", SVG_CHECK), ("Image/Bk.png", PNG_STUB)]
    seeds = {
        "skin_deflated.zip": archive(skin),
        "skin_stored.zip": archive(skin, zipfile.ZIP_STORED, b"skin"),
        "layout_only.zip": archive([("Layout/Layout.xml", LAYOUT)]),
        "fonts_only.zip": archive([("font.xml", FONTS)], zipfile.ZIP_STORED),
        "svg_pieces.zip": archive([("Image/图标.svg", SVG_GLYPHS), ("image\\check.SVG", SVG_CHECK)]),
        "minimal_window.zip": archive([("a.xml", '<Window size="10,10"><Include source="b.xml"/><Label/></Window>'),
                                       ("b.xml", '<Fonts><Font id="0" size="9"/></Fonts>')], zipfile.ZIP_STORED),
        "empty.zip": archive([]),
        # The shipped skin's layout, font table and vector pictures.
        "shipped_sources.zip": archive(shipped_sources()),
    }
    for name, data in seeds.items():
        (folder / name).write_bytes(data)


if __name__ == "__main__":
    main()
