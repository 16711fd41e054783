#!/usr/bin/env bash
# Worst-case wall time of morvik-cli against hostile units, against the bound that --help
# promises (--wait + 6 x (units + 1) x --timeout + the 100 ms pauses between units), on
# loopback only:
#   flood:   one unit that floods the tool's parameter socket with junk instead of answering;
#   repeats: one unit that repeats its valid answer every 20 ms, beside one that never answers.
# The hostile units go on for 10 s, longer than any wait here, so a wait that they could
# extend shows at once. Each scenario runs with --timeout 500, 1000 and 2000 ms.
#
#   bench/cli_bounds.sh [--build-dir DIR] [--no-build] [--runs N] [--keep]
#
# Builds morvik-cli and hostile_peer in a Release tree (default build/release) unless
# --no-build. Prints a table (worst and median wall time per scenario and time-out, the bound
# the tool states with --verbose, and the time-out itself, which is what a wait costs once
# nothing makes progress); exit status 1 when a run exceeds its bound.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$ROOT/build/release
BUILD=1
RUNS=5
KEEP=0

while [ $# -gt 0 ]; do
    case $1 in
    --build-dir) BUILD_DIR=$(realpath -m "$2"); shift 2 ;;
    --no-build) BUILD=0; shift ;;
    --runs) RUNS=$2; shift 2 ;;
    --keep) KEEP=1; shift ;;
    -h | --help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "cli_bounds.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

if [ "$BUILD" = 1 ]; then
    if [ ! -f "$BUILD_DIR/build.ninja" ]; then
        cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DMORVIK_WITH_GUI=OFF >/dev/null
    fi
    cmake --build "$BUILD_DIR" -j2 --target morvik-cli hostile_peer >/dev/null
fi
CLI=$BUILD_DIR/cli/morvik-cli
PEER=$BUILD_DIR/bench/hostile_peer
for program in "$CLI" "$PEER"; do
    [ -x "$program" ] || { echo "cli_bounds.sh: $program is missing (build it first)" >&2; exit 2; }
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/morvik-bounds-XXXXXX")
PEER_PID=
# shellcheck disable=SC2317  # called by the EXIT trap
cleanup() {
    if [ -n "$PEER_PID" ]; then kill "$PEER_PID" 2>/dev/null || true; wait "$PEER_PID" 2>/dev/null || true; fi
    if [ "$KEEP" = 1 ]; then echo "kept $WORK" >&2; else rm -rf "$WORK"; fi
}
trap cleanup EXIT
cp -r "$ROOT/data/demo/." "$WORK/"

# The hostile units live on 127.77.9.x; probes go to the loopback broadcast address. A fresh
# peer for each scenario and time-out, so that no flood of an earlier run is still going on.
start_peer() {
    "$PEER" flooder:1:flood chatty:2:repeat silent:3:silent --misbehave-ms 10000 \
        --lifetime-ms 3600000 >"$WORK/peer.out" 2>&1 &
    PEER_PID=$!
    for _ in $(seq 100); do
        grep -q '^ready port=' "$WORK/peer.out" 2>/dev/null && break
        sleep 0.05
    done
    PORT=$(sed -n 's/^ready port=//p' "$WORK/peer.out")
    [ -n "$PORT" ] || { echo "cli_bounds.sh: hostile_peer did not start" >&2; cat "$WORK/peer.out" >&2; exit 1; }
}
stop_peer() {
    kill "$PEER_PID" 2>/dev/null || true
    wait "$PEER_PID" 2>/dev/null || true
    PEER_PID=
}

COMMON=(--data-dir "$WORK" --broadcast 127.255.255.255 --host-address 127.0.0.1
    --id admin --password secret --wait 2000 --yes --verbose)

median() { sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

printf '%-8s %10s %6s %10s %10s %10s  %s\n' SCENARIO TIMEOUT_MS UNITS WORST_MS MEDIAN_MS BOUND_MS VERDICT
STATUS=0
for scenario in flood repeats; do
    case $scenario in
    flood) UNITS=(flooder) ;;
    repeats) UNITS=(chatty silent) ;;
    esac
    for timeout in 500 1000 2000; do
        start_peer
        : >"$WORK/walls"
        bound=
        for _ in $(seq "$RUNS"); do
            start=$(date +%s%N)
            "$CLI" "${COMMON[@]}" --port "$PORT" --timeout "$timeout" set "${UNITS[@]}" 0.6.1=Quay \
                >"$WORK/out" 2>"$WORK/err" || true
            end=$(date +%s%N)
            echo $(((end - start) / 1000000)) >>"$WORK/walls"
            bound=$(sed -n 's/.*bound_ms=\([0-9]*\).*/\1/p' "$WORK/err")
        done
        stop_peer
        worst=$(sort -n "$WORK/walls" | tail -1)
        middle=$(median <"$WORK/walls")
        verdict=ok
        if [ -z "$bound" ] || [ "$worst" -gt "$bound" ]; then
            verdict="OVER THE BOUND"
            STATUS=1
        fi
        printf '%-8s %10s %6s %10s %10s %10s  %s\n' "$scenario" "$timeout" "${#UNITS[@]}" \
            "$worst" "$middle" "${bound:-?}" "$verdict"
    done
done
echo
echo "command: $CLI ${COMMON[*]} --port P --timeout T set UNIT... 0.6.1=Quay ($RUNS runs each)"
echo "peer:    $PEER flooder:1:flood chatty:2:repeat silent:3:silent --misbehave-ms 10000"
exit $STATUS
