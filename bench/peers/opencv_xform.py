"""OpenCV peer of the engine benchmark: warpAffine turning a 2000 x 2000
32-bit image by 30 degrees with nearest sampling, into the same 2733 x 2733
target as bench/engine_bench.cpp. Items are source pixels, as there.

OpenCV runs on one thread, like pixkit, and is timed in CPU time of this
process, as Google Benchmark times pixkit, so a busy machine affects both
alike. Prints {"benchmarks": [{"name": ..., "items_per_second": N}]}.
"""
import json
import math

import cv2
import numpy as np
from _cputime import best_rate

SIZE = 2000
TARGET = 2733
ANGLE = math.pi / 6


def rate(src, matrix):
    cv2.setNumThreads(1)
    dst = np.zeros((TARGET, TARGET, 4), np.uint8)
    return best_rate(lambda: cv2.warpAffine(src, matrix, (TARGET, TARGET), dst=dst,
                                            flags=cv2.INTER_NEAREST), SIZE * SIZE)


def main():
    rng = np.random.default_rng(1)
    src = rng.integers(0, 256, (SIZE, SIZE, 4), np.uint8)
    src[:, :, 3] = 0
    c, s = math.cos(ANGLE), math.sin(ANGLE)
    # Forward map: (x, y) -> (c x - s y + 1000, s x + c y), as pixkit's matrix.
    matrix = np.array([[c, -s, 1000.0], [s, c, 0.0]], np.float64)
    out = {"benchmarks": [{"name": "Rotate30/opencv", "items_per_second": rate(src, matrix)}]}
    print(json.dumps(out))


if __name__ == "__main__":
    main()
