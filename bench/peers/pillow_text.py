"""Pillow's redraw of a text line after a key, the peer of
bench/text_redraw.cpp: the area under the line is put back, saved again, and
the 40-character line plus caret is drawn at size 32 from the same DejaVu
Sans file, first as the shadow, then with a one-pixel stroke in the back
colour (ImageDraw.text, stroke_width=1), aliased ("1") and anti-aliased.
Items are keys per CPU second. Prints benchmark JSON for ratios.py."""
import json
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from _cputime import best_rate  # noqa: E402

from PIL import Image, ImageDraw, ImageFont  # noqa: E402

LINE = "The quick brown fox jumps over the lazy "


def font_file():
    out = subprocess.run(["fc-match", "-f", "%{file}", "DejaVu Sans:style=Book"],
                         capture_output=True, text=True, check=True)
    return out.stdout


def keys(font, fontmode):
    im = Image.new("RGB", (1600, 400), (240, 240, 240))
    draw = ImageDraw.Draw(im)
    draw.fontmode = fontmode
    at, d = (20, 150), 2
    state = {"text": LINE}
    left, top, right, bottom = draw.textbbox(at, LINE + "W|", font=font, stroke_width=1)
    box = (left, top, right + d + 1, bottom + d + 1)
    saved = im.crop(box)

    def key():
        nonlocal saved
        text = state["text"]
        state["text"] = text[:-1] + ("x" if text[-1] == " " else " ")
        im.paste(saved, box[:2])
        saved = im.crop(box)
        shown = state["text"] + "|"
        draw.text((at[0] + d, at[1] + d), shown, font=font, fill=(128, 128, 128),
                  stroke_width=1, stroke_fill=(128, 128, 128))
        draw.text(at, shown, font=font, fill=(32, 0, 0), stroke_width=1,
                  stroke_fill=(255, 255, 0))

    return key


def main():
    font = ImageFont.truetype(font_file(), 32)
    print(json.dumps({"benchmarks": [
        {"name": "TextKey40_32/pillow", "items_per_second": best_rate(keys(font, "1"), 1)},
        {"name": "TextKey40_32AA/pillow", "items_per_second": best_rate(keys(font, "L"), 1)},
    ]}))


if __name__ == "__main__":
    sys.exit(main())
