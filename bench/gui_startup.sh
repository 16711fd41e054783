#!/usr/bin/env bash
# Start-up of the desktop program to its first painted main window, against a minimal Qt
# Widgets program that shows one empty QMainWindow (bench/gui/empty_window.cpp), timed the same
# way: from just before the process is started to the window's first paint. A third column runs
# that window with one menu: the empty window shows no text and never starts the font system,
# which any window with a menu must. All run on the same platform, in turn, after one
# warm-up run each; prints every run, the medians and the ratios.
#   bench/gui_startup.sh [BUILD_DIR] [RUNS]      (default build/release, 15 runs)
# The offscreen platform is the default; to time the X11 path under Xvfb instead:
#   QT_QPA_PLATFORM=xcb xvfb-run -a bench/gui_startup.sh
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
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} XDG_CONFIG_HOME=$scratch/config XDG_RUNTIME_DIR=$scratch/runtime
# Nothing is probed at start-up; should anything be sent, it stays on loopback.
export MORVIK_DEVICE_PORT=9 MORVIK_BROADCAST_ADDRESS=127.255.255.255 MORVIK_HOST_ADDRESS=127.0.0.1

first_paint_ms() {
    local start output
    start=$(date +%s%N)
    output=$(cd "$scratch/data" && MORVIK_FIRST_PAINT_FROM_NS=$start timeout 30 "$@" 2>/dev/null) || true
    sed -n 's/^first-paint-ms=//p' <<<"$output"
}

median() {
    sort -n | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.1f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

first_paint_ms "$morvik" >/dev/null
first_paint_ms "$empty" >/dev/null
first_paint_ms "$empty" --with-menu >/dev/null
morvik_times=()
empty_times=()
menu_times=()
for ((run = 1; run <= runs; run++)); do
    m=$(first_paint_ms "$morvik")
    e=$(first_paint_ms "$empty")
    w=$(first_paint_ms "$empty" --with-menu)
    [[ -n $m && -n $e && -n $w ]] || { echo "run $run: a program did not report its first paint" >&2; exit 1; }
    morvik_times+=("$m")
    empty_times+=("$e")
    menu_times+=("$w")
    printf 'run %2d: morvik %7s ms   empty window %7s ms   with one menu %7s ms\n' "$run" "$m" "$e" "$w"
done
morvik_median=$(printf '%s\n' "${morvik_times[@]}" | median)
empty_median=$(printf '%s\n' "${empty_times[@]}" | median)
menu_median=$(printf '%s\n' "${menu_times[@]}" | median)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf 'median of %d runs (%s): morvik %s ms, empty QMainWindow %s ms, with one menu %s ms\n' \
    "$runs" "$QT_QPA_PLATFORM" "$morvik_median" "$empty_median" "$menu_median"
printf 'ratio morvik / empty window %s, morvik / window with one menu %s\n' \
    "$(ratio "$morvik_median" "$empty_median")" "$(ratio "$morvik_median" "$menu_median")"
