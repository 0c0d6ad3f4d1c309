"""OpenCV peer of the clone benchmark (bench/clone.cpp): cv2.copyTo of the
same 101 x 101 rectangles through a disc mask, at the same offset, from a
separate snapshot or (Cumulative) from the image itself, on a 4000 x 3000
image of 32-bit pixels. Items are the pixels of the rectangles.

OpenCV runs on one thread, like pixkit, timed in CPU time of this process;
the Python loop over the dabs is part of the peer's time.
Prints {"benchmarks": [{"name": ..., "items_per_second": N}]}.
"""
import json

import cv2
import numpy as np

from _cputime import best_rate

W, H, R = 4000, 3000, 50
SIDE = 2 * R + 1
DX, DY = -37, -23


def corners():
    return [(x, y) for y in range(100, H - 100 - SIDE + 1, 200)
            for x in range(100, W - 100 - SIDE + 1, 20)]


def disc():
    yy, xx = np.mgrid[-R:R + 1, -R:R + 1]
    return ((xx * xx + yy * yy) <= R * R).astype(np.uint8)


def run(cumulative):
    rng = np.random.default_rng(1)
    image = rng.integers(0, 255, (H, W, 4), np.uint8)
    snapshot = image.copy()
    source = image if cumulative else snapshot
    mask = disc()
    dabs = [(image[y:y + SIDE, x:x + SIDE], source[y + DY:y + DY + SIDE, x + DX:x + DX + SIDE])
            for x, y in corners()]

    def once():
        for dst, src in dabs:
            cv2.copyTo(src, mask, dst)

    # The views are written in place, not copies of the image.
    once()
    x, y = corners()[-1]
    assert (image[y + R, x + R] == source[y + R + DY, x + R + DX]).all() or cumulative
    return best_rate(once, len(dabs) * SIDE * SIDE)


def main():
    cv2.setNumThreads(1)
    out = [{"name": "CloneDab101/opencv", "items_per_second": run(False)},
           {"name": "CloneDab101Cumulative/opencv", "items_per_second": run(True)}]
    print(json.dumps({"benchmarks": out}))


if __name__ == "__main__":
    main()
