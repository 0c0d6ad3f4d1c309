"""OpenCV peer of bench/brushops.cpp: resize of a 2000 x 2000 32-bit brush
to half (nearest; area for the anti-aliased case) and to double (nearest;
linear for the anti-aliased case), flip of 4000 x 3000, and resize of a
1000 x 1000 brush to 1500 x 1500 (nearest) for the variants of the stretch
preview step. Items are source pixels, as there.

OpenCV runs on one thread, like pixkit, and is timed in CPU time of this
process. Prints {"benchmarks": [{"name": ..., "items_per_second": N}]}.
"""
import json

import cv2
import numpy as np
from _cputime import best_rate


def image(w, h):
    rng = np.random.default_rng(1)
    return rng.integers(0, 256, (h, w, 4), np.uint8)


def main():
    cv2.setNumThreads(1)
    out = []
    brush = image(2000, 2000)
    cases = [("Halve2000", 1000, cv2.INTER_NEAREST), ("Halve2000AA", 1000, cv2.INTER_AREA),
             ("Double2000", 4000, cv2.INTER_NEAREST), ("Double2000AA", 4000, cv2.INTER_LINEAR)]
    for name, side, interp in cases:
        rate = best_rate(lambda: cv2.resize(brush, (side, side), interpolation=interp),
                         2000 * 2000)
        out.append({"name": name + "/opencv", "items_per_second": rate})
    big = image(4000, 3000)
    flipped = np.empty_like(big)
    out.append({"name": "Mirror4000x3000/opencv",
                "items_per_second": best_rate(lambda: cv2.flip(big, 1, dst=flipped),
                                              4000 * 3000)})
    small = image(1000, 1000)
    rate = best_rate(lambda: cv2.resize(small, (1500, 1500), interpolation=cv2.INTER_NEAREST),
                     1000 * 1000)
    # One resize is the peer of every variant of the preview step.
    for name in ("StretchPreview1000", "StretchPreviewPaint1000", "StretchPreviewSaved1000"):
        out.append({"name": name + "/opencv", "items_per_second": rate})
    print(json.dumps({"benchmarks": out}))


if __name__ == "__main__":
    main()
