#!/usr/bin/env python3
"""Writes icons.h: the sample components' 24 x 24 icons as BMP file bytes.
Run it again after changing a drawing: python3 make_icons.py > icons.h"""
import math
import struct


def bmp(pixels, w=24, h=24):
    row = (w * 3 + 3) & ~3
    body = bytearray()
    for y in range(h - 1, -1, -1):
        line = bytearray()
        for x in range(w):
            r, g, b = pixels(x, y)
            line += bytes((b, g, r))
        body += line + bytes(row - len(line))
    head = struct.pack("<2sIHHI", b"BM", 54 + len(body), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(body), 2835, 2835, 0, 0)
    return head + info + body


def invert(x, y):
    inside = (x - 11.5) ** 2 + (y - 11.5) ** 2 < 100
    if not inside:
        return (192, 192, 192)
    return (20, 20, 20) if x < 12 else (250, 250, 250)


def grey(x, y):
    v = 30 + x * 9
    return (v, v, v) if 3 <= y <= 20 else (192, 192, 192)


def blur(x, y):
    d = math.hypot(x - 11.5, y - 11.5)
    k = math.exp(-d * d / 40)
    return (int(192 - 150 * k), int(192 - 100 * k), int(192 + 60 * k))


print("/* Made by make_icons.py: 24 x 24 BMP files of the sample icons. */")
print("#pragma once")
for name, f in (("invert", invert), ("grey", grey), ("blur", blur)):
    data = bmp(f)
    print(f"__attribute__((unused)) static const unsigned char kIcon_{name}[{len(data)}] = {{")
    for i in range(0, len(data), 16):
        print("    " + ", ".join(str(b) for b in data[i:i + 16]) + ",")
    print("};")
