"""Times Pillow and netpbm on the files bench/planar_bench.cpp leaves in
<build>/bench/planar-data/, and prints their rates as benchmark JSON.

Pillow decodes and encodes PCX in memory; netpbm's programs are timed as
processes writing to /dev/null (start-up and PPM output included, which is
small next to a 12-megapixel picture). Times are CPU times, best of five.
"""
import io
import json
import pathlib
import resource
import subprocess
import sys


def cpu_seconds():
    """CPU time of this process and its finished children, as Google
    Benchmark counts CPU time for its rates: other work on a shared machine
    does not count against either side."""
    own = resource.getrusage(resource.RUSAGE_SELF)
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def best_time(fn, repeats=5):
    best = float("inf")
    for _ in range(repeats):
        start = cpu_seconds()
        fn()
        best = min(best, cpu_seconds() - start)
    return max(best, 1e-6)


def run_tool(command):
    def go():
        with open("/dev/null", "wb") as sink:
            subprocess.run(command, stdout=sink, stderr=subprocess.DEVNULL, check=True)
    return go


def main():
    data = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build") / "bench" / "planar-data"
    results = []

    def add(name, fn, pixels):
        try:
            results.append({"name": name, "items_per_second": pixels / best_time(fn)})
        except (OSError, subprocess.CalledProcessError) as e:
            print("planar peer: %s failed: %s" % (name, e), file=sys.stderr)

    try:
        from PIL import Image
        source = Image.open(data / "true.ppm")
        source.load()
        pixels = source.size[0] * source.size[1]

        def pillow_decode():
            with Image.open(data / "true.pcx") as im:
                im.load()

        add("PcxDecode24/pillow", pillow_decode, pixels)
        add("PcxEncode24/pillow", lambda: source.save(io.BytesIO(), "PCX"), pixels)
    except (ImportError, OSError) as e:
        print("planar peer: Pillow cases skipped: %s" % e, file=sys.stderr)
        pixels = 4000 * 3000

    add("PcxDecode24/netpbm", run_tool(["pcxtoppm", str(data / "true.pcx")]), pixels)
    add("PcxEncode24/netpbm", run_tool(["ppmtopcx", "-24bit", str(data / "true.ppm")]), pixels)
    add("IlbmDecode24/netpbm", run_tool(["ilbmtoppm", str(data / "true.iff")]), pixels)
    add("IlbmDecode8/netpbm", run_tool(["ilbmtoppm", str(data / "mapped.iff")]), pixels)
    add("IlbmEncode24/netpbm",
        run_tool(["ppmtoilbm", "-24force", str(data / "true.ppm")]), pixels)
    print(json.dumps({"benchmarks": results}, indent=1))


if __name__ == "__main__":
    main()
