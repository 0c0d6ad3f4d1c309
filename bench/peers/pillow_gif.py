"""Times Pillow, giflib (through ctypes) and ImageMagick on the cases of
bench/gif_bench.cpp and prints them as benchmark JSON (items = pixels).

usage: pillow_gif.py BUILD_DIR          run the peers
       pillow_gif.py --make-input PATH  write the 2000 x 2000 decode input
"""
import ctypes
import io
import json
import os
import resource
import subprocess
import sys

from PIL import Image


def photo_like(w, h):
    """The same pixels as PhotoLike() in gif_bench.cpp, as RGB bytes."""
    out = bytearray(w * h * 3)
    i = 0
    for y in range(h):
        for x in range(w):
            out[i] = (x * 200 // w + ((x ^ y) & 15)) & 255
            out[i + 1] = (y * 200 // h + ((x * 3 + y) & 15)) & 255
            out[i + 2] = ((x + y) * 100 // (w + h) + (((x * y) >> 4) & 31)) & 255
            i += 3
    return Image.frombytes("RGB", (w, h), bytes(out))


def make_input(path):
    photo_like(2000, 2000).quantize(256).save(path, "GIF")


def cpu_seconds():
    """CPU time of this process and its finished children, as Google
    Benchmark counts it for pixkit (the machine may be shared)."""
    own = resource.getrusage(resource.RUSAGE_SELF)
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def rate(fn, pixels, min_time=1.0):
    fn()  # warm up
    runs, start = 0, cpu_seconds()
    while True:
        fn()
        runs += 1
        elapsed = cpu_seconds() - start
        if elapsed >= min_time and runs >= 3:
            return pixels * runs / elapsed


def giflib_decoder():
    lib = ctypes.CDLL("libgif.so.7")
    lib.DGifOpenFileName.restype = ctypes.c_void_p
    lib.DGifOpenFileName.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_int)]
    lib.DGifSlurp.argtypes = [ctypes.c_void_p]
    lib.DGifCloseFile.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_int)]

    def decode(path):
        err = ctypes.c_int(0)
        gif = lib.DGifOpenFileName(path.encode(), ctypes.byref(err))
        if not gif or lib.DGifSlurp(gif) != 1:
            raise RuntimeError("giflib cannot read %s" % path)
        lib.DGifCloseFile(gif, ctypes.byref(err))

    return decode


def main():
    if sys.argv[1] == "--make-input":
        make_input(sys.argv[2])
        return
    results = []

    def add(case, who, value):
        results.append({"name": "%s/%s" % (case, who), "items_per_second": value})

    photo = photo_like(1000, 1000)
    add("GifEncode1000x1000", "pillow", rate(lambda: photo.save(io.BytesIO(), "GIF"), 1e6))
    ppm = io.BytesIO()
    photo.save(ppm, "PPM")
    ppm = ppm.getvalue()
    # A process per image: the start-up of convert is part of its time.
    add("GifEncode1000x1000", "imagemagick",
        rate(lambda: subprocess.run(["/usr/bin/convert", "ppm:-", "gif:-"], input=ppm,
                                    capture_output=True, check=True), 1e6))

    path = os.path.join(sys.argv[1], "bench", "gif_decode_2000.gif")
    if not os.path.exists(path):
        make_input(path)
    data = open(path, "rb").read()
    add("GifDecode2000x2000", "pillow", rate(lambda: Image.open(io.BytesIO(data)).load(), 4e6))
    decode = giflib_decoder()
    add("GifDecode2000x2000", "giflib", rate(lambda: decode(path), 4e6))
    print(json.dumps({"benchmarks": results}))


main()
