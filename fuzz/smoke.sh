#!/usr/bin/env bash
# Runs every fuzz target for a few seconds, starting from its seed folder
# fuzz/seeds/<target>/ when there is one. Any crash fails the run.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-20}
here=$(cd "$(dirname "$0")" && pwd)
status=0
shopt -s nullglob
for target in "$build"/fuzz/*; do
    [ -f "$target" ] && [ -x "$target" ] || continue
    name=$(basename "$target")
    work=$(mktemp -d)
    seeds=()
    [ -d "$here/seeds/$name" ] && seeds=("$here/seeds/$name")
    echo "fuzz: $name for ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
            -artifact_prefix="$work/" "$work" "${seeds[@]}" > "$work/log" 2>&1; then
        tail -n 40 "$work/log"
        echo "fuzz: $name FAILED (artifacts in $work)"
        status=1
        continue
    fi
    tail -n 1 "$work/log"
    rm -rf "$work"
done
exit $status
