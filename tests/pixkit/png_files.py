#!/usr/bin/python3
"""PNG files from independent writers, and their pixels as Pillow reads them.

usage: png_files.py make OUTDIR   writes PNG files of every colour type, bit
                                  depth and interlace (Pillow and ImageMagick)
                                  and prints one line per file:
                                  NAME COLOURTYPE DEPTH INTERLACE
       png_files.py read FILE OUT writes FILE's pixels to OUT: "W H\\n" and
                                  8-bit R, G, B, A per pixel; 16-bit samples
                                  give their high byte, tRNS gives alpha
"""
import os
import struct
import subprocess
import sys

import numpy as np
from PIL import Image

W, H = 45, 29


def base_rgba():
    y, x = np.mgrid[0:H, 0:W]
    a = np.zeros((H, W, 4), np.uint8)
    a[..., 0] = x * 255 // (W - 1)
    a[..., 1] = y * 255 // (H - 1)
    a[..., 2] = (x * 7 + y * 13) % 256
    a[..., 3] = (x * 11 + y * 3) % 256
    a[:4, :4, 3] = 0
    a[-4:, -4:, 3] = 255
    return a


def pillow_files(out):
    a = base_rgba()
    rgba = Image.fromarray(a, "RGBA")
    rgb = rgba.convert("RGB")
    grey = rgb.convert("L")
    files = {
        "pil_rgb8.png": (rgb, {}),
        "pil_rgba8.png": (rgba, {}),
        "pil_grey8.png": (grey, {}),
        "pil_grey1.png": (grey.convert("1"), {}),
        "pil_la8.png": (Image.merge("LA", (grey, rgba.getchannel("A"))), {}),
        "pil_pal8.png": (rgb.quantize(200), {}),
        "pil_pal4.png": (rgb.quantize(16), {"bits": 4}),
        "pil_pal2.png": (rgb.quantize(4), {"bits": 2}),
        "pil_pal1.png": (rgb.quantize(2), {"bits": 1}),
        "pil_pal8_trns.png": (rgb.quantize(100), {"transparency": 3}),
        "pil_grey8_trns.png": (grey, {"transparency": int(np.asarray(grey)[5, 5])}),
        "pil_rgb8_trns.png": (rgb, {"transparency": tuple(int(v) for v in a[7, 9, :3])}),
        "pil_grey16.png": (Image.fromarray((np.asarray(grey).astype(np.uint16) * 256 + 200)
                                           .astype(np.uint16)), {}),
    }
    for name, (im, opts) in files.items():
        im.save(os.path.join(out, name), **opts)
    rgba.save(os.path.join(out, "src.png"))
    return list(files)


MAGICK = {
    "im_rgb16.png": ["-depth", "16", "PNG48:"],
    "im_rgba16.png": ["-depth", "16", "PNG64:"],
    "im_rgb16_i.png": ["-depth", "16", "-interlace", "PNG", "PNG48:"],
    "im_rgba8_i.png": ["-interlace", "PNG", "PNG32:"],
    "im_grey2.png": ["-colorspace", "Gray", "-alpha", "off", "-depth", "2", "PNG:"],
    "im_grey4_i.png": ["-colorspace", "Gray", "-alpha", "off", "-depth", "4", "-interlace",
                       "PNG", "PNG:"],
    "im_grey16_i.png": ["-colorspace", "Gray", "-alpha", "off", "-depth", "16", "-interlace",
                        "PNG", "PNG:"],
    "im_la16.png": ["-colorspace", "Gray", "-depth", "16", "-define", "png:color-type=4",
                    "PNG:"],
    "im_pal8_i.png": ["-alpha", "off", "-colors", "120", "-interlace", "PNG", "PNG8:"],
    "im_pal4_trns.png": ["-colors", "12", "-channel", "A", "-threshold", "50%", "+channel",
                         "PNG8:"],
}


def magick_files(out):
    src = os.path.join(out, "src.png")
    for name, args in MAGICK.items():
        *opts, prefix = args
        subprocess.run(["convert", src] + opts + [prefix + os.path.join(out, name)], check=True)
    return list(MAGICK)


def ihdr(path):
    with open(path, "rb") as f:
        head = f.read(33)
    _, _, depth, ctype, _, _, interlace = struct.unpack(">IIBBBBB", head[16:29])
    return ctype, depth, interlace


def make(out):
    for name in pillow_files(out) + magick_files(out):
        print(name, *ihdr(os.path.join(out, name)))


def read(path, out):
    im = Image.open(path)
    im.load()
    if im.mode in ("I", "I;16", "I;16B"):
        v = np.asarray(im).astype(np.uint32)
        alpha = np.full(v.shape, 255, np.uint8)
        if "transparency" in im.info:
            alpha[v == im.info["transparency"]] = 0
        g = (v >> 8).astype(np.uint8)
        a = np.dstack([g, g, g, alpha])
    else:
        a = np.asarray(im.convert("RGBA"))
    h, w = a.shape[:2]
    with open(out, "wb") as f:
        f.write(b"%d %d\n" % (w, h))
        f.write(np.ascontiguousarray(a, np.uint8).tobytes())


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "make":
        make(sys.argv[2])
    elif len(sys.argv) == 4 and sys.argv[1] == "read":
        read(sys.argv[2], sys.argv[3])
    else:
        sys.exit(__doc__)
