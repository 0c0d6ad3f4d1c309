"""Pillow's 24-bit BMP read and write of a 4000 x 3000 image in memory,
the peer of bench/bmp_bench.cpp. Prints benchmark JSON for ratios.py.
Rates are per CPU second of this thread, as Google Benchmark reports them,
so that other work on the machine does not skew the ratio."""
import io
import json
import random
import sys
import time

from PIL import Image

W, H = 4000, 3000


def rate(fn, min_time=0.5):
    fn()  # warm up
    runs, start = 0, time.thread_time()
    while True:
        fn()
        runs += 1
        spent = time.thread_time() - start
        if spent >= min_time and runs >= 3:
            return runs * W * H / spent


def main():
    random.seed(1)
    im = Image.frombytes("RGB", (W, H), random.randbytes(W * H * 3))
    out = io.BytesIO()
    im.save(out, "BMP")
    data = out.getvalue()

    def read():
        with Image.open(io.BytesIO(data)) as r:
            r.load()

    def write():
        im.save(io.BytesIO(), "BMP")

    print(json.dumps({"benchmarks": [
        {"name": "BmpRead24_4000x3000/pillow", "items_per_second": rate(read)},
        {"name": "BmpWrite24_4000x3000/pillow", "items_per_second": rate(write)},
    ]}))


if __name__ == "__main__":
    sys.exit(main())
