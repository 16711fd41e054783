#!/usr/bin/env bash
# Start-up of the desktop program to its first painted main window, against a minimal Qt
# Widgets program that shows one empty QMainWindow (bench/gui/empty_window.cpp), timed the same
# way: from just before the process is started to the window's first paint. Both run on the
# offscreen platform, alternating, after one warm-up run each; prints every run and the medians.
#   bench/gui_startup.sh [BUILD_DIR] [RUNS]      (default build/release, 15 runs)
# Build first: cmake --build --preset release --target morvik empty_window_bench
set -euo pipefail

cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/release}")
runs=${2:-15}
morvik=$build/app/morvik
empty=$build/bench/empty_window_bench
for program in "$morvik" "$empty"; do
    [[ -x $program ]] || { echo "missing $program: build it first" >&2; exit 1; }
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/data" "$scratch/config" "$scratch/runtime"
chmod 700 "$scratch/runtime"
cp data/demo/*.ini data/demo/*.dcf "$scratch/data/"
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$scratch/config XDG_RUNTIME_DIR=$scratch/runtime
# Nothing is probed at start-up; should anything be sent, it stays on loopback.
export MORVIK_DEVICE_PORT=9 MORVIK_BROADCAST_ADDRESS=127.255.255.255 MORVIK_HOST_ADDRESS=127.0.0.1

first_paint_ms() {
    local program=$1 start output
    start=$(date +%s%N)
    output=$(cd "$scratch/data" && MORVIK_FIRST_PAINT_FROM_NS=$start timeout 30 "$program" 2>/dev/null) || true
    sed -n 's/^first-paint-ms=//p' <<<"$output"
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

first_paint_ms "$morvik" >/dev/null
first_paint_ms "$empty" >/dev/null
morvik_times=()
empty_times=()
for ((run = 1; run <= runs; run++)); do
    m=$(first_paint_ms "$morvik")
    e=$(first_paint_ms "$empty")
    [[ -n $m && -n $e ]] || { echo "run $run: a program did not report its first paint" >&2; exit 1; }
    morvik_times+=("$m")
    empty_times+=("$e")
    printf 'run %2d: morvik %7s ms   empty window %7s ms\n' "$run" "$m" "$e"
done
morvik_median=$(printf '%s\n' "${morvik_times[@]}" | median)
empty_median=$(printf '%s\n' "${empty_times[@]}" | median)
printf 'median of %d runs (offscreen): morvik %s ms, empty QMainWindow %s ms, difference %s ms\n' \
    "$runs" "$morvik_median" "$empty_median" \
    "$(awk -v a="$morvik_median" -v b="$empty_median" 'BEGIN { printf "%.1f", a - b }')"
