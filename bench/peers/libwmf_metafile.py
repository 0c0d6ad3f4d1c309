"""libwmf's wmf2gd drawing the metafile bench/metafile_bench.cpp writes
(2000 x 1500 pixels of filled shapes), the peer of that benchmark. Its rate
counts the child's CPU time, start-up and PNG output included, so it
flatters pixkit a little. Prints benchmark JSON for ratios.py; nothing when
wmf2gd is not installed or the benchmark has not run."""
import json
import os
import resource
import shutil
import subprocess
import sys
import tempfile

W, H = 2000, 1500


def child_seconds():
    u = resource.getrusage(resource.RUSAGE_CHILDREN)
    return u.ru_utime + u.ru_stime


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    wmf = None
    place = os.path.join(build, "bench", "metafile_bench.wmf")
    if os.path.exists(place):
        wmf = place
    if wmf is None or shutil.which("wmf2gd") is None:
        print(json.dumps({"benchmarks": []}))
        return 0
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "out.png")
        cmd = ["wmf2gd", "-t", "png", "--maxwidth=%d" % W, "--maxheight=%d" % H, "-o", out, wmf]
        best = 0.0
        for _ in range(5):
            start = child_seconds()
            subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
            best = max(best, W * H / max(child_seconds() - start, 1e-6))
    print(json.dumps({"benchmarks": [
        {"name": "WmfPlayShapes_2000x1500/libwmf", "items_per_second": best}]}))
    return 0


if __name__ == "__main__":
    sys.exit(main())
