"""OpenCV peer of the flood benchmark (bench/flood.cpp): cv2.floodFill,
4-connected, on a 3-channel copy of the same 4000 x 3000 images, putting
the image back between runs outside the timing. Items are filled pixels.

Cases: uniform (no range), noisy (fixed range 7 per channel, which accepts
the same pixels as pixkit's channel-sum tolerance 21 here), fence.

OpenCV runs on one thread, like pixkit, timed in CPU time of this process.
Prints {"benchmarks": [{"name": ..., "items_per_second": N, "filled": n}]}.
"""
import json
import time

import cv2
import numpy as np

W, H = 4000, 3000
FILL = (0x00, 0x20, 0xFF)  # blue, green, red of pixkit's 0x00FF2000


def hashed():
    i = np.arange(W * H, dtype=np.uint32)
    v = i * np.uint32(2654435761)
    v ^= v >> np.uint32(15)
    v *= np.uint32(2246822519)
    v ^= v >> np.uint32(13)
    return v.reshape(H, W)


def images():
    uniform = np.full((H, W, 3), 0x40, np.uint8)
    v = hashed()
    noisy = np.empty((H, W, 3), np.uint8)
    noisy[:, :, 2] = 100 + (v & 7)
    noisy[:, :, 1] = 100 + ((v >> 3) & 7)
    noisy[:, :, 0] = 100 + ((v >> 6) & 7)
    noisy[((v >> 16) % 10) == 0] = 255
    fence = np.full((H, W, 3), 0xFF, np.uint8)
    fence[:, 0::2] = 0x40
    fence[H - 1, :] = 0x40
    return uniform, noisy, fence


def seed_of(img, seed):
    x, y = seed
    while (img[y, x] == 255).all():
        x += 1
    return (x, y)


def rate(original, seed, diff, fixed):
    cv2.setNumThreads(1)
    img = original.copy()
    flags = 4 | (cv2.FLOODFILL_FIXED_RANGE if fixed else 0)
    best, filled = 0.0, 0
    for _ in range(3):
        spent, pixels = 0.0, 0
        while spent < 0.5:
            np.copyto(img, original)
            start = time.process_time()
            filled = cv2.floodFill(img, None, seed, FILL, diff, diff, flags)[0]
            spent += time.process_time() - start
            pixels += filled
        best = max(best, pixels / spent)
    return best, filled


def main():
    uniform, noisy, fence = images()
    cases = [
        ("FloodUniform4000x3000", uniform, (W // 2, H // 2), (0, 0, 0), False),
        ("FloodNoisy4000x3000", noisy, seed_of(noisy, (W // 2, H // 2)), (7, 7, 7), True),
        ("FloodFence4000x3000", fence, (W - 1, H - 1), (0, 0, 0), False),
    ]
    out = []
    for name, img, seed, diff, fixed in cases:
        r, filled = rate(img, seed, diff, fixed)
        out.append({"name": name + "/opencv", "items_per_second": r, "filled": filled})
    print(json.dumps({"benchmarks": out}))


if __name__ == "__main__":
    main()
