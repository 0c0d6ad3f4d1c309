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
    "$prog" --benchmark_format=console --benchmark_out="$out/$name.json" \
        --benchmark_out_format=json --benchmark_min_time=0.5
done
shopt -s nullglob
for peer in "$here"/peers/[!_]*.py; do
    name=$(basename "$peer" .py)
    echo "bench: peer $name"
    /usr/bin/python3 "$peer" "$build" > "$out/peer-$name.json" || echo "bench: peer $name failed"
done
/usr/bin/python3 "$here/ratios.py" "$out"
