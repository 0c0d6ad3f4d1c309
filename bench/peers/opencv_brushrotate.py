"""OpenCV peer of bench/brushrotate.cpp: warpAffine turning a round
2000 x 2000 brush (random colours, transparent corners) by 30 degrees
around its centre into the same 2732 x 2732 target, nearest and linear;
cv2.rotate of a 4000 x 3000 image by a quarter turn; and warpAffine of a
1000 x 1000 brush, the work of one live-preview step. Items are source
pixels, as there.

OpenCV runs on one thread, like pixkit, and is timed in CPU time of this
process, as Google Benchmark times pixkit, so a busy machine affects both
alike. Prints {"benchmarks": [{"name": ..., "items_per_second": N}]}.
"""
import json
import math

import cv2
import numpy as np
from _cputime import best_rate

ANGLE = math.pi / 6


def round_brush(rng, d):
    b = rng.integers(0, 256, (d, d, 4), np.uint8)
    b[:, :, 3] = 0
    yy, xx = np.mgrid[0:d, 0:d]
    r = d / 2.0
    outside = np.hypot(xx + 0.5 - r, yy + 0.5 - r) > r
    b[outside] = (0, 0, 0, 1)
    return b


def turn_rate(src, flags):
    d = src.shape[0]
    c, s = math.cos(ANGLE), math.sin(ANGLE)
    target = int(d * (abs(c) + abs(s)))
    # Forward map around the centres, as pixkit's matrix for the angle:
    # (x, y) -> (c x + s y, -s x + c y).
    sc, tc = d >> 1, target >> 1
    matrix = np.array([[c, s, tc - c * sc - s * sc], [-s, c, tc + s * sc - c * sc]], np.float64)
    dst = np.zeros((target, target, 4), np.uint8)
    return best_rate(lambda: cv2.warpAffine(src, matrix, (target, target), dst=dst, flags=flags),
                     d * d)


def main():
    cv2.setNumThreads(1)
    rng = np.random.default_rng(1)
    brush = round_brush(rng, 2000)
    small = round_brush(rng, 1000)
    image = rng.integers(0, 256, (3000, 4000, 4), np.uint8)
    out = {"benchmarks": [
        {"name": "BrushTurn30/opencv_nearest",
         "items_per_second": turn_rate(brush, cv2.INTER_NEAREST)},
        {"name": "BrushTurn30SS/opencv_linear",
         "items_per_second": turn_rate(brush, cv2.INTER_LINEAR)},
        {"name": "BrushQuarterTurn/opencv",
         "items_per_second": best_rate(lambda: cv2.rotate(image, cv2.ROTATE_90_COUNTERCLOCKWISE),
                                       4000 * 3000)},
        {"name": "BrushTurnPreview/opencv",
         "items_per_second": turn_rate(small, cv2.INTER_NEAREST)},
    ]}
    print(json.dumps(out))


if __name__ == "__main__":
    main()
