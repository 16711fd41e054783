#!/usr/bin/env bash
# A windowed read while one unit floods the tool's parameter socket, on loopback only: 80
# simulated Vela1 units (morvik-sim) and one crafted unit (hostile_peer) that answers the
# probe and then sends junk to the tool for 10 s instead of answering. The simulated units
# answer 1500 ms late (probes too: --wait 3000), so that the window fills and the tool waits
# for room while the flood runs. The flooding unit is of the same product and named first, so
# the 80 units are read in the same operation as it. Per run: wall time, the time spent
# waiting for room (pause_ms= of --verbose), peak RSS of the tool and the units read
# completely. Both programs get --retries 2, so that a silent unit leaves the window after the
# same share of the time-out.
#
#   bench/flood_bench.sh [--build-dir DIR] [--no-build] [--runs N] [--other-cli PATH] [--keep]
#
# --other-cli runs a second morvik-cli (an earlier build) in turn with the first, so that both
# are measured side by side on the same machine state. Medians of N runs (default 5).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$ROOT/build/release
BUILD=1
RUNS=5
KEEP=0
OTHER=
while [ $# -gt 0 ]; do
    case $1 in
    --build-dir) BUILD_DIR=$(realpath -m "$2"); shift 2 ;;
    --no-build) BUILD=0; shift ;;
    --runs) RUNS=$2; shift 2 ;;
    --other-cli) OTHER=$(realpath "$2"); shift 2 ;;
    --keep) KEEP=1; shift ;;
    -h | --help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "flood_bench.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
if [ "$BUILD" = 1 ]; then
    if [ ! -f "$BUILD_DIR/build.ninja" ]; then
        cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DMORVIK_WITH_GUI=OFF >/dev/null
    fi
    cmake --build "$BUILD_DIR" -j2 --target morvik-cli morvik-sim hostile_peer >/dev/null
fi
CLI=$BUILD_DIR/cli/morvik-cli
SIM=$BUILD_DIR/sim/morvik-sim
PEER=$BUILD_DIR/bench/hostile_peer
for program in "$CLI" "$SIM" "$PEER" ${OTHER:+"$OTHER"}; do
    [ -x "$program" ] || { echo "flood_bench.sh: $program is missing" >&2; exit 2; }
done
WORK=$(mktemp -d "${TMPDIR:-/tmp}/morvik-flood-XXXXXX")
PEER_PID=
SIM_PID=
stop_all() {
    for pid in "$SIM_PID" "$PEER_PID"; do
        if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
    done
    SIM_PID=
    PEER_PID=
}
cleanup() {
    stop_all
    if [ "$KEEP" = 1 ]; then echo "kept $WORK" >&2; else rm -rf "$WORK"; fi
}
trap cleanup EXIT
cp -r "$ROOT/data/demo/." "$WORK/"
python3 - "$WORK/fleet.json" <<'PY'
import json, sys
template = {"name": "v1-{n}", "productId": 7, "version": "1.2", "loginId": "admin",
            "password": "quorvane", "values": {"0.1.1": "v1-{n}"},
            "faults": {"lateAnswerMs": 1500}}
json.dump({"units": [], "generate": [{"template": template, "count": 80,
          "ipBase": "127.90.0.1", "macBase": "02:4D:56:30:00:01"}]}, open(sys.argv[1], "w"))
PY
UNITS=(02:4D:56:00:09:01)
for n in $(seq 80); do UNITS+=("$(printf '02:4D:56:30:%02X:%02X' $((n / 256)) $((n % 256)))"); done

# A fresh flood for each run: the peer first (it picks the port), the simulator on its port.
start_all() {
    "$PEER" flooder:1:flood --misbehave-ms 10000 --lifetime-ms 60000 >"$WORK/peer.out" 2>&1 &
    PEER_PID=$!
    PORT=
    for _ in $(seq 100); do
        PORT=$(sed -n 's/^ready port=//p' "$WORK/peer.out")
        [ -n "$PORT" ] && break
        sleep 0.05
    done
    [ -n "$PORT" ] || { echo "flood_bench.sh: hostile_peer did not start" >&2; exit 1; }
    "$SIM" --data-dir "$WORK" --fleet "$WORK/fleet.json" --port "$PORT" >"$WORK/sim.out" 2>&1 &
    SIM_PID=$!
    for _ in $(seq 100); do
        grep -q '^ready port=' "$WORK/sim.out" && return 0
        sleep 0.05
    done
    echo "flood_bench.sh: morvik-sim did not start" >&2
    exit 1
}
TABLE=$WORK/flood.tsv
: >"$TABLE"
run_one() { # label cli
    start_all
    python3 - "$2" "$WORK" "$PORT" "$1" "${UNITS[@]}" >>"$TABLE" <<'PY'
import json, re, resource, subprocess, sys, time
cli, work, port, label, units = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:]
command = [cli, "--data-dir", work, "--port", port, "--broadcast", "127.255.255.255",
           "--host-address", "127.0.0.1", "--id", "admin", "--password", "quorvane",
           "--wait", "3000", "--retries", "2", "--json", "--verbose", "read"] + units
start = time.monotonic()
done = subprocess.run(command, capture_output=True, text=True)
wall = (time.monotonic() - start) * 1000
rss = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
pause = re.search(r"pause_ms=(\d+)", done.stderr)
try:
    complete = sum(1 for u in json.loads(done.stdout) if u.get("result") == "ok")
except ValueError:
    complete = -1
print("%s\t%.0f\t%s\t%d\t%d\t%d" % (label, wall, pause.group(1) if pause else "nan", rss,
                                    complete, done.returncode))
PY
    stop_all
}
for run in $(seq "$RUNS"); do
    echo "flood run $run of $RUNS" >&2
    run_one this "$CLI"
    [ -n "$OTHER" ] && run_one other "$OTHER"
done
python3 - "$TABLE" "$CLI" "$OTHER" <<'PY'
import statistics, sys
table, cli, other = sys.argv[1], sys.argv[2], sys.argv[3]
rows = [l.rstrip("\n").split("\t") for l in open(table) if l.strip()]
print()
print("Read of 80 Vela1 units beside one unit flooding the tool's socket (medians)")
print("   %-6s %10s %14s %14s %18s  %s" % ("cli", "wall ms", "room wait ms", "peak RSS KiB",
                                         "units complete", "path"))
for label, path in (("this", cli), ("other", other)):
    picked = [r for r in rows if r[0] == label]
    if not picked:
        continue
    med = lambda i: statistics.median(float(r[i]) for r in picked if r[i] != "nan")
    print("   %-6s %10.0f %14.0f %14.0f %18s  %s" % (label, med(1), med(2), med(3),
          "/".join(sorted({r[4] for r in picked})) + " of 80", path))
print("   (room wait: pause_ms= of --verbose, the time the windowed read spent waiting to ask"
      " the next unit)")
PY
