"""libjpeg-turbo's tjbench on the files of bench/jpeg_bench.cpp, in memory.

Decodes jpeg_444.jpg, jpeg_420.jpg (also at 1/8 of the size, -scale 1/8),
jpeg_420p.jpg (progressive) and jpeg_420d.jpg (detailed) and encodes jpeg_source.ppm (quality
75, 4:4:4) into BGRX pixels, our own layout, once with SIMD and once with
JSIMD_FORCENONE=1. Runs jpeg_bench first when the files are missing.
Usage: tjbench.py <build dir>
"""
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

RATE = re.compile(r"Throughput:\s+([0-9.]+) Megapixels/sec")


def tjbench(args, scalar):
    env = dict(os.environ)
    if scalar:
        env["JSIMD_FORCENONE"] = "1"
    out = subprocess.run(["tjbench"] + args + ["-bgrx", "-benchtime", "2", "-warmup", "1",
                                               "-nowrite"],
                         capture_output=True, text=True, env=env, check=True).stdout
    return [float(m) * 1e6 for m in RATE.findall(out)]


def main():
    bench = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build") / "bench"
    if not (bench / "jpeg_420d.jpg").exists():
        subprocess.run([str(bench / "jpeg_bench"), "--benchmark_filter=none"], check=True,
                       capture_output=True)
    if shutil.which("tjbench") is None:
        print(json.dumps({"benchmarks": []}))
        return
    results = []
    with tempfile.TemporaryDirectory() as tmp:
        for name in ("jpeg_444.jpg", "jpeg_420.jpg", "jpeg_420p.jpg", "jpeg_420d.jpg",
                     "jpeg_source.ppm"):
            shutil.copy(bench / name, tmp)
        for scalar, who in ((False, "tjbench_simd"), (True, "tjbench_scalar")):
            for case in ("444", "420", "420p", "420d"):
                rate = tjbench([os.path.join(tmp, "jpeg_%s.jpg" % case)], scalar)[0]
                results.append({"name": "jpeg_decode_%s/%s" % (case, who),
                                "items_per_second": rate})
            eighth = tjbench([os.path.join(tmp, "jpeg_420.jpg"), "-scale", "1/8"], scalar)[0]
            results.append({"name": "jpeg_decode_420_eighth/%s" % who, "items_per_second": eighth})
            compress = tjbench([os.path.join(tmp, "jpeg_source.ppm"), "75", "-subsamp", "444"],
                               scalar)
            results.append({"name": "jpeg_encode_444/%s" % who, "items_per_second": compress[0]})
    print(json.dumps({"benchmarks": results}, indent=1))


if __name__ == "__main__":
    main()
