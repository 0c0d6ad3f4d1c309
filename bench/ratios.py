"""Prints pixkit's rate over each peer's rate, per benchmark case.

Inputs are Google Benchmark JSON files and peer JSON files of the form
{"benchmarks": [{"name": "<case>/<who>", "items_per_second": N}, ...]}.
"""
import json
import pathlib
import sys


def rates(folder):
    found = {}
    for path in sorted(pathlib.Path(folder).glob("*.json")):
        try:
            data = json.loads(path.read_text())
        except (ValueError, OSError):
            continue
        for bench in data.get("benchmarks", []):
            name = bench.get("run_name", bench.get("name", ""))
            # Google Benchmark appends how it timed the case.
            for timing in ("/process_time", "/real_time"):
                name = name.replace(timing, "")
            if bench.get("aggregate_name") or "items_per_second" not in bench:
                continue
            case, _, who = name.rpartition("/")
            if case:
                found.setdefault(case, {})[who] = float(bench["items_per_second"])
    return found


def main():
    found = rates(sys.argv[1])
    print("\n%-40s %-16s %12s %12s %8s" % ("case", "peer", "pixkit MP/s", "peer MP/s", "ratio"))
    for case, who in sorted(found.items()):
        ours = who.get("pixkit")
        for peer, rate in sorted(who.items()):
            if peer == "pixkit":
                continue
            if ours is None:
                print("%-40s %-16s %12s %12.1f %8s" % (case, peer, "-", rate / 1e6, "-"))
            else:
                print("%-40s %-16s %12.1f %12.1f %7.2fx"
                      % (case, peer, ours / 1e6, rate / 1e6, ours / rate))
        if ours is not None and len(who) == 1:
            print("%-40s %-16s %12.1f %12s %8s" % (case, "-", ours / 1e6, "-", "-"))


if __name__ == "__main__":
    main()
