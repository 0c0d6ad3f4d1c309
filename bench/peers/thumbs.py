"""Peers of bench/thumb_bench.cpp: 120 x 90 thumbnails of the photos in
bench/thumbs/ (4000 x 3000 JPEGs, quality 85, 4:2:0) by vipsthumbnail
(VIPS_CONCURRENCY=1) and ImageMagick's mogrify (-limit thread 1), each pinned
to one core. Items are images per CPU second of the tool (user + system
time of the child processes), as Google Benchmark times pixkit's thread.
vipsthumbnail converts all 500 files; mogrify, slower by far, the first 50
(the distinct pictures), which gives its rate just as well.
Runs thumb_bench first when the photos are missing.
Usage: thumbs.py <build dir>
"""
import json
import os
import pathlib
import resource
import shutil
import subprocess
import sys
import tempfile


def child_seconds():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def timed(cmd, env=None):
    before = child_seconds()
    subprocess.run(cmd, check=True, env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    return child_seconds() - before


def main():
    bench = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build") / "bench"
    folder = bench / "thumbs"
    if not (folder / "photo499.jpg").exists():
        subprocess.run([str(bench / "thumb_bench"), "--benchmark_filter=Thumbs500/"],
                       check=True, capture_output=True)
    files = sorted(str(p) for p in folder.glob("photo*.jpg"))
    pin = ["taskset", "-c", "0"] if shutil.which("taskset") else []
    results = []
    with tempfile.TemporaryDirectory() as out:
        if shutil.which("vipsthumbnail"):
            env = dict(os.environ, VIPS_CONCURRENCY="1")
            seconds = timed(pin + ["vipsthumbnail", "--size", "120x90",
                                   "-o", os.path.join(out, "%s.jpg")] + files, env)
            results.append({"name": "Thumbs500/vipsthumbnail",
                            "items_per_second": len(files) / seconds})
        if shutil.which("mogrify"):
            some = files[:50]
            seconds = timed(pin + ["mogrify", "-path", out, "-limit", "thread", "1",
                                   "-thumbnail", "120x90"] + some)
            results.append({"name": "Thumbs500/imagemagick",
                            "items_per_second": len(some) / seconds})
    print(json.dumps({"benchmarks": results}, indent=1))


if __name__ == "__main__":
    main()
