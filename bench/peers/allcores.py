"""All-core peers of bench/allcores.cpp: OpenCV's resize and warpAffine with
as many threads as processors, and the vips command with VIPS_CONCURRENCY
set to the same number, on a 4000 x 3000 4-channel picture: scaled to
2000 x 1500 (nearest, and area / linear for the supersampled case) and to
8000 x 6000 (nearest), turned by 30 degrees into the box that holds it
(nearest, and bilinear for the supersampled case), copied, and filtered
with the 5 x 5 kernel of bench/peers/opencv_filter.py. Items are
target pixels, source pixels for the turn, as there.

Threads finishing sooner show only in wall-clock time: every rate is the
best of several wall-clock rounds, so a busy machine lowers it. The vips
command's time includes starting the program and reading and writing its
own .v files on a memory file system (/dev/shm); the vips copy shows what
that costs on its own. Prints {"benchmarks": [{"name": ..., "items_per_second": N}]}.
"""
import json
import math
import os
import shutil
import subprocess
import tempfile
import time

import cv2
import numpy as np
from _cputime import best_rate
from opencv_filter import BIAS_5X5, DIVISOR_5X5, KERNEL_5X5

W, H = 4000, 3000
ANGLE = math.pi / 6
TURN_W = math.ceil(W * math.cos(ANGLE) + H * math.sin(ANGLE))
TURN_H = math.ceil(W * math.sin(ANGLE) + H * math.cos(ANGLE))
TURN_DX = math.ceil(H * math.sin(ANGLE))
THREADS = os.cpu_count() or 1


def best_wall_rate(run, items, rounds=5, seconds=0.5):
    """best_rate in wall-clock seconds."""
    return best_rate(run, items, rounds, seconds, clock=time.perf_counter)


def opencv(src):
    cv2.setNumThreads(THREADS)
    c, s = math.cos(ANGLE), math.sin(ANGLE)
    turn = np.array([[c, -s, float(TURN_DX)], [s, c, 0.0]], np.float64)
    cases = [
        ("ScaleDown", (2000, 1500), cv2.INTER_NEAREST, 2000 * 1500),
        ("ScaleDownSS", (2000, 1500), cv2.INTER_AREA, 2000 * 1500),
        ("ScaleUp", (8000, 6000), cv2.INTER_NEAREST, 8000 * 6000),
    ]
    out = []
    for name, size, flags, items in cases:
        dst = np.zeros((size[1], size[0], 4), np.uint8)
        rate = best_wall_rate(lambda: cv2.resize(src, size, dst=dst, interpolation=flags), items)
        out.append({"name": "AllCores/%s/opencv" % name, "items_per_second": rate})
    for name, flags in (("Rotate30", cv2.INTER_NEAREST), ("Rotate30SS", cv2.INTER_LINEAR)):
        dst = np.zeros((TURN_H, TURN_W, 4), np.uint8)
        rate = best_wall_rate(lambda: cv2.warpAffine(src, turn, (TURN_W, TURN_H), dst=dst,
                                                     flags=flags), W * H)
        out.append({"name": "AllCores/%s/opencv" % name, "items_per_second": rate})
    kernel = (np.array(KERNEL_5X5, np.float32) / np.float32(DIVISOR_5X5)).reshape(5, 5)
    dst = np.zeros_like(src)
    rate = best_wall_rate(lambda: cv2.filter2D(src, -1, kernel, dst=dst, delta=BIAS_5X5,
                                               borderType=cv2.BORDER_REPLICATE), W * H)
    out.append({"name": "AllCores/Convolve5x5/opencv", "items_per_second": rate})
    return out


def vips(src):
    if shutil.which("vips") is None:
        return []
    env = dict(os.environ, VIPS_CONCURRENCY=str(THREADS))
    c, s = math.cos(ANGLE), math.sin(ANGLE)
    turn = ["affine", "%.12f %.12f %.12f %.12f" % (c, -s, s, c), "--odx", str(TURN_DX),
            "--oarea", "0 0 %d %d" % (TURN_W, TURN_H)]
    cases = [
        ("ScaleDown", ["resize", "0.5", "--kernel", "nearest"], 2000 * 1500),
        ("ScaleDownSS", ["resize", "0.5", "--kernel", "linear"], 2000 * 1500),
        ("ScaleUp", ["resize", "2", "--kernel", "nearest"], 8000 * 6000),
        ("Rotate30", turn + ["--interpolate", "nearest"], W * H),
        ("Rotate30SS", turn + ["--interpolate", "bilinear"], W * H),
        ("Copy", ["copy"], W * H),
    ]
    out = []
    with tempfile.TemporaryDirectory(dir="/dev/shm" if os.path.isdir("/dev/shm") else None) as tmp:
        raw, image, result = (os.path.join(tmp, n) for n in ("in.raw", "in.v", "out.v"))
        src.tofile(raw)
        subprocess.run(["vips", "rawload", raw, image, str(W), str(H), "4"], check=True)
        for name, args, items in cases:
            command = ["vips", args[0], image, result] + args[1:]
            rate = best_wall_rate(lambda: subprocess.run(command, env=env, check=True), items,
                                  rounds=3, seconds=1.0)
            out.append({"name": "AllCores/%s/vips" % name, "items_per_second": rate})
    return out


def main():
    rng = np.random.default_rng(1)
    src = rng.integers(0, 256, (H, W, 4), np.uint8)
    src[:, :, 3] = 0
    copy = np.empty_like(src)
    results = opencv(src) + vips(src)
    results.append({"name": "AllCores/Copy/numpy",
                    "items_per_second": best_wall_rate(lambda: np.copyto(copy, src), W * H)})
    print(json.dumps({"benchmarks": results}))


if __name__ == "__main__":
    main()
