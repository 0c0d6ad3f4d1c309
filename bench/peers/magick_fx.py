"""ImageMagick peer of bench/ffilter.cpp: convert -fx over a 4000 x 3000
RGB image with the benchmark's two formulas in -fx's language (channels
scaled to 0..1):

  255-c                              ->  1-u
  src(x+ctl(0)-128,y,z)*3/4+(i>>2)   ->  p[10,0]*3/4+intensity/4   (ctl(0) = 138)

ImageMagick runs on one thread (-limit thread 1). Its time for the formula
is the CPU time of convert with -fx minus the CPU time of the same convert
without it (reading and writing the image), so that only the formula's
work is counted. Items are pixels. Prints
{"benchmarks": [{"name": ..., "items_per_second": N}]}.
"""
import json
import os
import resource
import subprocess
import sys
import tempfile

import numpy as np

WIDTH, HEIGHT = 4000, 3000
CONVERT = "/usr/bin/convert"
FORMULAS = {"FFInvert": "1-u", "FFShiftMix": "p[10,0]*3/4+intensity/4"}


def cpu_seconds(args):
    """CPU time (user + system) of one run of args in a child process."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def best(args, rounds):
    return min(cpu_seconds(args) for _ in range(rounds))


def main():
    rounds = int(os.environ.get("MAGICK_FX_ROUNDS", "1"))
    rng = np.random.default_rng(1)
    pixels = rng.integers(0, 256, (HEIGHT, WIDTH, 3), np.uint8)
    with tempfile.TemporaryDirectory() as tmp:
        src = os.path.join(tmp, "in.ppm")
        dst = os.path.join(tmp, "out.ppm")
        with open(src, "wb") as f:
            f.write(b"P6\n%d %d\n255\n" % (WIDTH, HEIGHT))
            f.write(pixels.tobytes())
        base = [CONVERT, "-limit", "thread", "1", src]
        plain = best(base + [dst], rounds)
        out = []
        for name, fx in FORMULAS.items():
            seconds = best(base + ["-fx", fx, dst], rounds) - plain
            if seconds <= 0:
                print("magick_fx: %s took no measurable time" % name, file=sys.stderr)
                continue
            out.append({"name": name + "/imagemagick", "items_per_second": WIDTH * HEIGHT / seconds})
    print(json.dumps({"benchmarks": out}))


if __name__ == "__main__":
    main()
