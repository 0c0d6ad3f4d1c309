"""OpenCV peer of the wand-cut benchmark (bench/wand_cut.cpp): cv2.floodFill,
4-connected, mask only (the image is not written), with a fixed range of 7
per channel, which accepts the same pixels as pixkit's channel-sum
tolerance 21 here, on the left half of the same 4000 x 3000 image. The
mask is cleared between runs outside the timing. Items are filled pixels.

OpenCV runs on one thread, like pixkit, timed in CPU time of this process.
Prints {"benchmarks": [{"name": ..., "items_per_second": N, "filled": n}]}.
"""
import json
import time

import cv2
import numpy as np

from opencv_flood import hashed  # the same noise, same W and H

W, H = 4000, 3000


def image():
    v = hashed()
    img = np.empty((H, W, 3), np.uint8)
    img[:, :, 2] = 100 + (v & 7)
    img[:, :, 1] = 100 + ((v >> 3) & 7)
    img[:, :, 0] = 100 + ((v >> 6) & 7)
    img[:, W // 2:] = 255
    return img


def main():
    cv2.setNumThreads(1)
    img = image()
    mask = np.zeros((H + 2, W + 2), np.uint8)
    flags = 4 | cv2.FLOODFILL_FIXED_RANGE | cv2.FLOODFILL_MASK_ONLY | (1 << 8)
    best, filled = 0.0, 0
    for _ in range(3):
        spent, pixels = 0.0, 0
        while spent < 0.5:
            mask.fill(0)
            start = time.process_time()
            filled = cv2.floodFill(img, mask, (W // 4, H // 2), 0, (7, 7, 7), (7, 7, 7), flags)[0]
            spent += time.process_time() - start
            pixels += filled
        best = max(best, pixels / spent)
    print(json.dumps({"benchmarks": [
        {"name": "WandCutHalf4000x3000/opencv", "items_per_second": best, "filled": filled}]}))


if __name__ == "__main__":
    main()
