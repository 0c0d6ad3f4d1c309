#!/usr/bin/env bash
# Runs every benchmark program and every peer script, then prints, per case,
# pixkit's rate divided by each peer's rate measured in the same run.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
out="$build/bench/results"
rm -rf "$out"
mkdir -p "$out"
for prog in "$build"/bench/*; do
    [ -f "$prog" ] && [ -x "$prog" ] || continue
    name=$(basename "$prog")
    echo "bench: $name"
    # Google Benchmark's CPU time counts the main thread only: pixkit runs
    # on one thread except in the all-core benchmark, which times wall-clock.
    threads=1
    [ "$name" = allcores ] && threads=0
    PIXKIT_THREADS=$threads "$prog" --benchmark_format=console --benchmark_out="$out/$name.json" \
        --benchmark_out_format=json --benchmark_min_time=0.5
done
shopt -s nullglob
for peer in "$here"/peers/[!_]*.py; do
    name=$(basename "$peer" .py)
    echo "bench: peer $name"
    /usr/bin/python3 "$peer" "$build" > "$out/peer-$name.json" || echo "bench: peer $name failed"
done
/usr/bin/python3 "$here/ratios.py" "$out"
