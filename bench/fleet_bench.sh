#!/usr/bin/env bash
# Fleet benchmarks of morvik-cli against morvik-sim, on loopback only (run by cli_bench.sh, or
# alone):
#   1. read of every class of 700 Orion16 units (generated fleet), default options, units named
#      by MAC: wall time from start to exit, every value present, peak RSS of the tool;
#   2. scale curve: 10, 100 and 700 units, default (window) against --pace 100, and the bare
#      loop read_drain (every request sent back to back, replies drained) for the ratio;
#   3. 5 % of datagrams lost each way, probes and their replies included (the loss seed changes
#      from run to run): read of 100 units
#      named by MAC (every value present), and set of 10 values to 100 units (every unit holds
#      every value: the simulator's record and a read-back), every printed result checked
#      against what the units hold (an "ok" that did not happen is an untrue result).
#
#   bench/fleet_bench.sh [--build-dir DIR] [--no-build] [--runs N] [--lossy-only] [--keep]
#
# Medians of N runs (default 20; the 700-unit --pace 100 read takes over a minute, so the
# curve's paced runs are 3 at most). Exit status 1 when a target check fails.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$ROOT/build/release
BUILD=1
RUNS=20
KEEP=0
LOSSY_ONLY=0
while [ $# -gt 0 ]; do
    case $1 in
    --build-dir) BUILD_DIR=$(realpath -m "$2"); shift 2 ;;
    --no-build) BUILD=0; shift ;;
    --runs) RUNS=$2; shift 2 ;;
    --keep) KEEP=1; shift ;;
    --lossy-only) LOSSY_ONLY=1; shift ;;
    -h | --help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "fleet_bench.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

BROADCAST=127.255.255.255
HOST_ADDRESS=127.0.0.1

if [ "$BUILD" = 1 ]; then
    if [ ! -f "$BUILD_DIR/build.ninja" ]; then
        cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DMORVIK_WITH_GUI=OFF >/dev/null
    fi
    cmake --build "$BUILD_DIR" -j2 --target morvik-cli morvik-sim read_drain >/dev/null
fi
CLI=$BUILD_DIR/cli/morvik-cli
SIM=$BUILD_DIR/sim/morvik-sim
DRAIN=$BUILD_DIR/bench/read_drain
for program in "$CLI" "$SIM" "$DRAIN"; do
    [ -x "$program" ] || { echo "fleet_bench.sh: $program is missing" >&2; exit 1; }
done

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/morvik-fleet-bench.XXXXXX")
SIM_PID=
cleanup() {
    if [ -n "$SIM_PID" ]; then
        kill "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    if [ "$KEEP" = 1 ]; then
        echo "fleet_bench.sh: scratch files kept in $SCRATCH" >&2
    else
        rm -rf "$SCRATCH"
    fi
}
trap cleanup EXIT
DATA=$SCRATCH/data
cp -r "$ROOT/data/demo" "$DATA"

start_sim() {
    local fleet=$1
    shift
    : >"$SCRATCH/sim.out"
    "$SIM" --data-dir "$DATA" --fleet "$fleet" --port 0 "$@" >"$SCRATCH/sim.out" 2>"$SCRATCH/sim.err" &
    SIM_PID=$!
    PORT=
    for _ in $(seq 200); do
        PORT=$(sed -n 's/^ready port=\([0-9]*\)$/\1/p' "$SCRATCH/sim.out")
        [ -n "$PORT" ] && return 0
        kill -0 "$SIM_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "fleet_bench.sh: morvik-sim did not start:" >&2
    cat "$SCRATCH/sim.err" >&2
    exit 1
}
stop_sim() {
    # A simulator that ended by itself would leave the runs after its end unanswered: say so.
    if ! kill -0 "$SIM_PID" 2>/dev/null; then
        local status=0
        wait "$SIM_PID" || status=$?
        SIM_PID=
        echo "fleet_bench.sh: morvik-sim ended by itself during the runs (exit status $status):" >&2
        cat "$SCRATCH/sim.err" >&2
        exit 1
    fi
    kill "$SIM_PID"
    wait "$SIM_PID" || true
    SIM_PID=
}
cli() {
    "$CLI" --data-dir "$DATA" --port "$PORT" --broadcast "$BROADCAST" \
        --host-address "$HOST_ADDRESS" --id admin --password quorvane "$@"
}
PREFIX="morvik-cli --data-dir DATA --port PORT --broadcast $BROADCAST --host-address $HOST_ADDRESS --id admin --password quorvane"

# Generated Orion16 fleets: COUNT units from 127.90.0.1 / 02:4D:56:30:00:01, LOSS percent lost.
make_fleet() { # file count loss [seed]
    python3 - "$1" "$2" "$3" "${4:-5}" <<'EOF'
import json, sys
path, count, loss, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
template = {"name": "o16-{n}", "productId": 61, "version": "3.10",
            "loginId": "admin", "password": "quorvane", "values": {"0.1.1": "o16-{n}"}}
if loss:
    template["faults"] = {"lossPercent": loss, "lossSeed": seed, "lossIncludesProbes": True}
json.dump({"units": [], "generate": [{"template": template, "count": count,
          "ipBase": "127.90.0.1", "macBase": "02:4D:56:30:00:01"}]}, open(path, "w"))
EOF
}
macs() { # count
    for n in $(seq "$1"); do printf '02:4D:56:30:%02X:%02X\n' $((n / 256)) $((n % 256)); done
}
# "complete/units" of a read document: "ok" means every requested parameter received its value
# (an empty text is a value too: parameters without an initial value hold zero bytes).
read_check() {
    python3 -c '
import json, sys
units = json.load(open(sys.argv[1]))
print("%d/%d" % (sum(1 for u in units if u.get("result") == "ok"), len(units)))' "$1" 2>/dev/null ||
        echo "0/0"
}
# Runs a command with its output in OUT and its messages in ERR; prints "wall_ms peak_rss_kb
# exit". The clock runs from the start of the command to its exit: the last run's output is
# removed and the files are opened before it starts (dropping a file of 90 MB takes the file
# system tens of milliseconds, which are not the tool's).
measure() { # out err command...
    python3 - "$@" <<'EOF'
import os, resource, subprocess, sys, time
out, err, command = sys.argv[1], sys.argv[2], sys.argv[3:]
if out != "/dev/null" and os.path.exists(out):
    os.remove(out)
with open(out, "w") as stdout, open(err, "w") as stderr:
    start = time.monotonic()
    status = subprocess.call(command, stdout=stdout, stderr=stderr)
    wall = (time.monotonic() - start) * 1000
print("%.1f %d %d" % (wall, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss, status))
EOF
}
# "complete/units untrue" of a lossy read: untrue counts units given "ok" whose device name is
# not the one the fleet gave them (o16-N for the unit of MAC number N).
lossy_read_check() {
    python3 -c '
import json, sys
try:
    units = json.load(open(sys.argv[1]))
except ValueError:
    units = []
if not isinstance(units, list):
    units = []
ok = [u for u in units if u.get("result") == "ok"]
def name(unit):
    n = int(unit["mac"].replace(":", "")[-4:], 16)
    return "o16-%d" % n
untrue = sum(1 for u in ok
             if {p["address"]: p["value"] for p in u["parameters"]}.get("0.1.1") != name(u))
print("%d/%d %d" % (len(ok), len(units), untrue))' "$1"
}
TABLE=$SCRATCH/fleet.tsv
: >"$TABLE"
record() { printf '%s\n' "$*" | tr ' ' '\t' >>"$TABLE"; }

# --- 1 and 2: reads of 10, 100 and 700 units ------------------------------------------------
CURVE=(10 100 700)
[ "$LOSSY_ONLY" = 1 ] && CURVE=()
for count in "${CURVE[@]}"; do
    make_fleet "$SCRATCH/fleet-$count.json" "$count" 0
    start_sim "$SCRATCH/fleet-$count.json"
    mapfile -t UNITS < <(macs "$count")
    echo "read of $count units: $RUNS runs" >&2
    for run in $(seq "$RUNS"); do
        read -r wall rss status < <(measure "$SCRATCH/read.json" "$SCRATCH/read.err" \
            "$CLI" --data-dir "$DATA" --port "$PORT" --broadcast "$BROADCAST" \
            --host-address "$HOST_ADDRESS" --id admin --password quorvane --json --verbose read "${UNITS[@]}")
        record window "$count" "$run" "$wall" "$rss" "$status" "$(read_check "$SCRATCH/read.json")"
        drain=$("$DRAIN" --port "$PORT" --first-ip 127.90.0.1 --count "$count" --product 61)
        record drain "$count" "$run" "$(sed -n 's/.*first_send_to_last_ms=\([0-9.]*\).*/\1/p' <<<"$drain")" \
            0 0 "$(sed -n 's/.*received=\([0-9]*\).*/\1/p' <<<"$drain")"
    done
    paced_runs=$RUNS
    [ "$count" -ge 100 ] && paced_runs=$((RUNS < 3 ? RUNS : 3))
    for run in $(seq "$paced_runs"); do
        read -r wall rss status < <(measure "$SCRATCH/read.json" /dev/null \
            "$CLI" --data-dir "$DATA" --port "$PORT" --broadcast "$BROADCAST" \
            --host-address "$HOST_ADDRESS" --id admin --password quorvane --json --pace 100 read "${UNITS[@]}")
        record paced "$count" "$run" "$wall" "$rss" "$status" "$(read_check "$SCRATCH/read.json")"
    done
    stop_sim
done

# --- 3. 5 % loss each way ------------------------------------------------------------------
RECORD=$SCRATCH/lossy-record.txt
mapfile -t UNITS < <(macs 100)
echo "5 % loss, probes included: $RUNS reads and $RUNS sets of 100 units" >&2
for run in $(seq "$RUNS"); do
    # Each run loses other datagrams: the fleet's loss seed is the run's number.
    make_fleet "$SCRATCH/lossy.json" 100 5 "$run"
    start_sim "$SCRATCH/lossy.json" --record "$RECORD"
    read -r wall rss status < <(measure "$SCRATCH/read.json" /dev/null \
        "$CLI" --data-dir "$DATA" --port "$PORT" --broadcast "$BROADCAST" \
        --host-address "$HOST_ADDRESS" --id admin --password quorvane --json read "${UNITS[@]}")
    read -r -a read_verdict < <(lossy_read_check "$SCRATCH/read.json")
    record lossy-read 100 "$run" "$wall" "$rss" "$status" "${read_verdict[@]}"
    : >"$RECORD"
    VALUES=()
    for port in $(seq 1 10); do VALUES+=("4.13.$port=run $run port $port"); done
    read -r wall rss status < <(measure "$SCRATCH/set.json" "$SCRATCH/set.err" \
        "$CLI" --data-dir "$DATA" --port "$PORT" --broadcast "$BROADCAST" \
        --host-address "$HOST_ADDRESS" --id admin --password quorvane --json --yes set \
        "${UNITS[@]}" "${VALUES[@]}")
    cli --json read "${UNITS[@]}" --retries 5 >"$SCRATCH/back.json" 2>"$SCRATCH/back.err" || true
    verdict=$(python3 - "$SCRATCH/set.json" "$SCRATCH/back.json" "$RECORD" "$run" <<'EOF'
import json, sys
def document(path):
    # A run that failed before its operation prints {"error": ...}: no unit is ok then.
    try:
        loaded = json.load(open(path))
    except ValueError:
        return []
    if not isinstance(loaded, list):
        print("fleet_bench.sh: %s: %s" % (path, loaded.get("error")), file=sys.stderr)
        return []
    return loaded
results, back, record, run = document(sys.argv[1]), document(sys.argv[2]), sys.argv[3], sys.argv[4]
ok = {u["mac"] for u in results if u["result"] == "ok"}
wanted = {"4.13.%d" % p: "run %s port %d" % (run, p) for p in range(1, 11)}
holds = set()
for unit in back:
    values = {p["address"]: p["value"] for p in unit["parameters"]}
    if all(values.get(a) == v for a, v in wanted.items()):
        holds.add(unit["mac"])
# The record: WriteRequests (command B0, right after the two tag bytes) each unit received.
written = set()
for line in open(record):
    parts = line.split()
    if len(parts) != 3 or parts[0] == "-":
        continue
    frame = bytes.fromhex(parts[2])
    if len(frame) < 8 or frame[3] != 0xDA:
        continue
    id_length = frame[4]
    at = 5 + id_length
    if at >= len(frame):
        continue
    at += 1 + frame[at] + 2 + 2  # password, frame length, tag
    if at < len(frame) and frame[at] == 0xB0:
        written.add(parts[0])
untrue = [m for m in ok if m not in holds]
# Units reported failed whose values landed all the same (an acknowledgement lost each time).
unconfirmed = [u["mac"] for u in results if u["result"] != "ok" and u["mac"] in holds]
print("%d %d %d %d %d" % (len(ok), len(holds), len(written), len(untrue), len(unconfirmed)))
EOF
)
    # shellcheck disable=SC2086  # the verdict is four words, one per column
    record lossy-set 100 "$run" "$wall" "$rss" "$status" $verdict
    stop_sim
done

python3 - "$TABLE" "$PREFIX" "$RUNS" "$(uname -srm)" "$(nproc)" "$(cut -d' ' -f1-3 /proc/loadavg)" <<'EOF'
import statistics, sys
table, prefix, runs, system, cores, load = sys.argv[1:7]
rows = [l.rstrip("\n").split("\t") for l in open(table) if l.strip()]
def pick(kind, count):
    return [r for r in rows if r[0] == kind and r[1] == str(count)]
def med(values):
    values = [float(v) for v in values if v not in ("", "nan")]
    return statistics.median(values) if values else float("nan")
failed = []
print()
print("Fleet benchmarks, morvik-cli against morvik-sim on loopback (%s, %s cores, load %s)" % (system, cores, load))
print()
if any(r[0] == "window" for r in rows):
    print("Reads of every class of N Orion16 units named by MAC (median wall ms, start to exit)")
    print("   %6s  %12s  %12s  %12s  %8s  %s" % ("units", "window", "--pace 100", "bare loop", "ratio", "complete runs (window)"))
for count in (10, 100, 700):
    window, paced, drain = pick("window", count), pick("paced", count), pick("drain", count)
    if not window:
        continue
    w, p, d = med(r[3] for r in window), med(r[3] for r in paced), med(r[3] for r in drain)
    complete = sum(1 for r in window if r[5] == "0" and r[6] == "%d/%d" % (count, count))
    print("   %6d  %12.1f  %12.1f  %12.1f  %8.2f  %d of %d" % (count, w, p, d, w / d if d else float("nan"), complete, len(window)))
    if count == 700:
        under = sum(1 for r in window if float(r[3]) <= 3000 and r[5] == "0" and r[6] == "700/700")
        print("   700 units within 3 s with every value: %d of %d runs (target >= 19 of 20)" % (under, len(window)))
        print("   peak RSS of morvik-cli, 700-unit read: median %.0f KiB" % med(r[4] for r in window))
        if under < len(window) - len(window) // 20:
            failed.append("700-unit read over 3 s or incomplete in %d runs" % (len(window) - under))
        if d and w / d > 2:
            failed.append("700-unit read %.2f times the bare loop (target at most 2)" % (w / d))
if any(r[0] == "window" for r in rows):
    print("   (ratio: window wall time, probe included, to the bare loop's first send to last reply)")
    print()
reads = pick("lossy-read", 100)
complete = sum(1 for r in reads if r[6] == "100/100")
read_untrue = sum(int(r[7]) for r in reads)
print("5 % loss each way, probes and probe replies included, 100 units named by MAC")
print("   read, every value of every unit: %d of %d runs (target >= 19 of 20), median %.1f ms; "
      "untrue results: %d" % (complete, len(reads), med(r[3] for r in reads), read_untrue))
print("   read, units ok per run: %s" % " ".join(r[6].split("/")[0] for r in reads))
if complete < len(reads) - len(reads) // 20:
    failed.append("lossy read incomplete in %d runs" % (len(reads) - complete))
if read_untrue:
    failed.append("lossy read: %d untrue results" % read_untrue)
sets = pick("lossy-set", 100)
landed = sum(1 for r in sets if int(r[6]) == 100 and int(r[7]) == 100)
set_untrue = sum(int(r[9]) for r in sets)
print("   set of 10 values: runs where all 100 units print ok and read back all 10 values: %d of %d"
      " (target >= 19 of 20)" % (landed, len(sets)))
print("   set, units ok / holding every value per run: %s" % " ".join("%s/%s" % (r[6], r[7]) for r in sets))
print("   units whose record holds a WriteRequest, per run (min): %d; untrue results: %d; "
      "failed but landed: %d; median %.1f ms" % (min(int(r[8]) for r in sets), set_untrue,
                                                 sum(int(r[10]) for r in sets),
                                                 med(r[3] for r in sets)))
if landed < len(sets) - len(sets) // 20:
    failed.append("lossy set: every value landed on every unit in only %d of %d runs" % (landed, len(sets)))
if set_untrue:
    failed.append("lossy set: %d untrue results" % set_untrue)
print()
print("Commands (PORT: the simulator's; fleets generated from 127.90.0.1 / 02:4D:56:30:00:01):")
print("   %s --json --verbose read MAC1..MACN" % prefix)
print("   %s --json --pace 100 read MAC1..MACN" % prefix)
print("   read_drain --port PORT --first-ip 127.90.0.1 --count N --product 61")
print("   %s --json read MAC1..MAC100        (fleet with lossPercent 5, lossIncludesProbes)" % prefix)
print("   %s --json --yes set MAC1..MAC100 4.13.1=... x10, then read --retries 5" % prefix)
if failed:
    print()
    for line in failed:
        print("FAILED: " + line)
    sys.exit(1)
EOF
