"""OpenCV peer of bench/convolve.cpp: cv2.filter2D over a 4000 x 3000 image
of 4 uint8 channels with the same kernels (float32 coefficients / divisor,
delta = bias, edge pixels repeated). Items are pixels, as there.

OpenCV runs on one thread, like pixkit, and is timed in CPU time of this
process, as Google Benchmark times pixkit, so a busy machine affects both
alike. Prints {"benchmarks": [{"name": ..., "items_per_second": N}]}.
"""
import json

import cv2
import numpy as np
from _cputime import best_rate

WIDTH, HEIGHT = 4000, 3000

KERNEL_5X5 = [1, 2, 3, 2, 1, 2, 4, -6, 4, 2, 3, -6, 40, -6, 3, 2, 4, -6, 4, 2, 1, 2, 3, 2, 1]
DIVISOR_5X5, BIAS_5X5 = 64, 5


def rate(src, kernel, delta):
    cv2.setNumThreads(1)
    dst = np.empty_like(src)
    return best_rate(lambda: cv2.filter2D(src, -1, kernel, dst=dst, delta=delta,
                                          borderType=cv2.BORDER_REPLICATE), WIDTH * HEIGHT, rounds=3)


def main():
    rng = np.random.default_rng(1)
    src = rng.integers(0, 256, (HEIGHT, WIDTH, 4), np.uint8)
    src[:, :, 3] = 0
    k5 = (np.array(KERNEL_5X5, np.float32) / np.float32(DIVISOR_5X5)).reshape(5, 5)
    box = np.full((3, 3), np.float32(1) / np.float32(9), np.float32)
    out = {"benchmarks": [
        {"name": "Convolve5x5/opencv", "items_per_second": rate(src, k5, BIAS_5X5)},
        {"name": "Convolve3x3/opencv", "items_per_second": rate(src, box, 0)},
    ]}
    print(json.dumps(out))


if __name__ == "__main__":
    main()
