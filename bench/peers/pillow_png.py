"""Pillow's PNG decode and encode of bench/png_source.png (written by
bench/png_bench.cpp), in memory, the peer of that benchmark. Rates are items
per CPU second (the best of a few rounds), as Google Benchmark reports them.
Usage: pillow_png.py <build dir>
"""
import io
import json
import pathlib
import subprocess
import sys

from PIL import Image

from _cputime import best_rate


def main():
    bench = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build") / "bench"
    source = bench / "png_source.png"
    if not source.exists():
        subprocess.run([str(bench / "png_bench"), "--benchmark_filter=none"], check=True,
                       capture_output=True)
    data = source.read_bytes()
    with Image.open(io.BytesIO(data)) as im:
        im.load()
        pixels = im.copy()
    n = pixels.width * pixels.height

    def decode():
        with Image.open(io.BytesIO(data)) as r:
            r.load()

    def encode():
        pixels.save(io.BytesIO(), "PNG")

    print(json.dumps({"benchmarks": [
        {"name": "png_decode_4000x3000/pillow", "items_per_second": best_rate(decode, n)},
        {"name": "png_encode_4000x3000/pillow", "items_per_second": best_rate(encode, n)},
    ]}))


if __name__ == "__main__":
    sys.exit(main())
