"""All-core peers of bench/allcores.cpp: OpenCV's resize and warpAffine with
as many threads as processors, and libvips with its concurrency set to the
same number, on a 4000 x 3000 4-channel picture: scaled to 2000 x 1500
(nearest, and area / linear for the supersampled case) and to 8000 x 6000
(nearest), turned by 30 degrees into the box that holds it (nearest, and
bilinear for the supersampled case), copied, and filtered with the 5 x 5
kernel of bench/peers/opencv_filter.py (OpenCV only); and the 4000 x 3000
JPEG files of bench/jpeg_bench.cpp decoded from memory (cv2.imdecode and
vips_jpegload_buffer). Items are target pixels, source pixels for the turn,
as there. libvips runs in this process
through its C interface; each of its results is written to memory, as its
lazy pipeline computes nothing otherwise.

Threads finishing sooner show only in wall-clock time: every rate is the
best of several wall-clock rounds, so a busy machine lowers it. Prints
{"benchmarks": [{"name": ..., "items_per_second": N}]}.
Usage: allcores.py <build dir> (for the JPEG files; jpeg_bench is run when
they are missing)
"""
import ctypes
import json
import math
import os
import pathlib
import subprocess
import sys
import time
from ctypes import c_double, c_int, c_size_t, c_void_p

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
JPEG_CASES = [("JpegDecode444", "jpeg_444.jpg"), ("JpegDecode420", "jpeg_420.jpg"),
              ("JpegDecode420p", "jpeg_420p.jpg"), ("JpegDecode420d", "jpeg_420d.jpg")]


def best_wall_rate(run, items, rounds=5, seconds=0.5):
    """best_rate in wall-clock seconds."""
    return best_rate(run, items, rounds, seconds, clock=time.perf_counter)


def jpeg_files(build):
    """The bytes of each JPEG case, {} when jpeg_bench cannot write them."""
    bench = pathlib.Path(build) / "bench"
    if not (bench / "jpeg_420d.jpg").exists():
        subprocess.run([str(bench / "jpeg_bench"), "--benchmark_filter=none"],
                       capture_output=True)
    if not (bench / "jpeg_420d.jpg").exists():
        return {}
    return {name: (bench / file).read_bytes() for name, file in JPEG_CASES}


def opencv(src, jpegs):
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
    for name, data in jpegs.items():
        buf = np.frombuffer(data, np.uint8)
        rate = best_wall_rate(lambda: cv2.imdecode(buf, cv2.IMREAD_COLOR), W * H)
        out.append({"name": "AllCores/%s/opencv" % name, "items_per_second": rate})
    return out


class Vips:
    """libvips called in this process through its C interface (there is no
    Python binding on Debian's list), each result written to memory."""

    def __init__(self):
        self.lib = ctypes.CDLL("libvips.so.42")
        self.glib = ctypes.CDLL("libglib-2.0.so.0")
        self.gobject = ctypes.CDLL("libgobject-2.0.so.0")
        lib = self.lib
        if lib.vips_init(b"allcores") != 0:
            raise OSError("vips_init failed")
        lib.vips_concurrency_set(THREADS)
        lib.vips_cache_set_max(0)  # every call computes its result anew
        lib.vips_image_new_from_memory.restype = c_void_p
        lib.vips_image_new_from_memory.argtypes = [c_void_p, c_size_t, c_int, c_int, c_int, c_int]
        lib.vips_image_write_to_memory.restype = c_void_p
        lib.vips_image_write_to_memory.argtypes = [c_void_p, ctypes.POINTER(c_size_t)]
        lib.vips_interpolate_new.restype = c_void_p
        lib.vips_array_int_newv.restype = c_void_p

    def run(self, operation, image, *args):
        """operation(image, &out, *args, NULL), then out written to memory."""
        out = c_void_p()
        if getattr(self.lib, operation)(c_void_p(image), ctypes.byref(out), *args, None) != 0:
            raise OSError("vips_%s failed" % operation)
        self.write(out)

    def decode(self, data):
        """vips_jpegload_buffer on the bytes, the image written to memory."""
        out = c_void_p()
        if self.lib.vips_jpegload_buffer(ctypes.c_char_p(data), c_size_t(len(data)),
                                         ctypes.byref(out), None) != 0:
            raise OSError("vips_jpegload_buffer failed")
        self.write(out)

    def write(self, out):
        size = c_size_t()
        memory = self.lib.vips_image_write_to_memory(out, ctypes.byref(size))
        self.glib.g_free(c_void_p(memory))
        self.gobject.g_object_unref(out)


def vips(src, jpegs):
    lib = Vips()
    image = lib.lib.vips_image_new_from_memory(src.ctypes.data, src.nbytes, W, H, 4, 0)
    c, s = math.cos(ANGLE), math.sin(ANGLE)
    nearest, bilinear = (c_void_p(lib.lib.vips_interpolate_new(n)) for n in (b"nearest",
                                                                            b"bilinear"))
    area = c_void_p(lib.lib.vips_array_int_newv(4, c_int(0), c_int(0), c_int(TURN_W),
                                                c_int(TURN_H)))
    turn = [c_double(c), c_double(-s), c_double(s), c_double(c), b"odx", c_double(TURN_DX),
            b"oarea", area, b"interpolate"]
    cases = [  # VIPS_KERNEL_NEAREST is 0, VIPS_KERNEL_LINEAR 1
        ("ScaleDown", ["vips_resize", c_double(0.5), b"kernel", c_int(0)], 2000 * 1500),
        ("ScaleDownSS", ["vips_resize", c_double(0.5), b"kernel", c_int(1)], 2000 * 1500),
        ("ScaleUp", ["vips_resize", c_double(2), b"kernel", c_int(0)], 8000 * 6000),
        ("Rotate30", ["vips_affine"] + turn + [nearest], W * H),
        ("Rotate30SS", ["vips_affine"] + turn + [bilinear], W * H),
        ("Copy", ["vips_copy"], W * H),
    ]
    return [{"name": "AllCores/%s/vips" % name,
             "items_per_second": best_wall_rate(lambda: lib.run(call[0], image, *call[1:]),
                                                items)}
            for name, call, items in cases] + [
                {"name": "AllCores/%s/vips" % name,
                 "items_per_second": best_wall_rate(lambda: lib.decode(data), W * H)}
                for name, data in jpegs.items()]


def vips_apart(build):
    """vips() in a child process whose allocator reuses freed memory, so
    that each result is not written into freshly mapped pages (pixkit and
    OpenCV write into a target allocated once)."""
    env = dict(os.environ, MALLOC_MMAP_MAX_="0", MALLOC_TRIM_THRESHOLD_=str(1 << 40))
    done = subprocess.run([sys.executable, __file__, "--vips", build], env=env,
                          capture_output=True, text=True)
    if done.returncode != 0:
        return []
    return json.loads(done.stdout)


def main():
    rng = np.random.default_rng(1)
    src = rng.integers(0, 256, (H, W, 4), np.uint8)
    src[:, :, 3] = 0
    copy = np.empty_like(src)
    args = sys.argv[1:]
    apart = args[:1] == ["--vips"]
    build = (args[1:] if apart else args)[:1] or ["build"]
    jpegs = jpeg_files(build[0])
    if apart:
        print(json.dumps(vips(src, jpegs)))
        return
    results = opencv(src, jpegs) + vips_apart(build[0])
    results.append({"name": "AllCores/Copy/numpy",
                    "items_per_second": best_wall_rate(lambda: np.copyto(copy, src), W * H)})
    print(json.dumps({"benchmarks": results}))


if __name__ == "__main__":
    main()
