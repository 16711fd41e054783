#!/usr/bin/env bash
# Scripted benchmarks of morvik-cli against morvik-sim, on loopback only:
#   1. probe burst: 700 units answer one probe; losses, and the time from the first to the last
#      reply in the tool against a bare recvfrom loop (probe_drain), run in turn;
#   2. read: every class of one Orion16 unit (700 rows), split into the protocol's own waiting
#      and the tool's work;
#   3. write: 100 values to 50 units at once, checked in the simulator's record file and by a
#      read-back;
#   4. fleets (bench/fleet_bench.sh): reads of 10, 100 and 700 Orion16 units against --pace 100
#      and a bare send-and-drain loop, peak RSS, 5 % loss each way.
#
#   bench/cli_bench.sh [--build-dir DIR] [--no-build] [--probe-runs N] [--read-runs N]
#                      [--write-runs N] [--fleet-runs N] [--fleet-only] [--keep]
#
# Builds morvik-cli, morvik-sim and probe_drain in a Release tree (default build/release) unless
# --no-build. Prints a summary table with the commands used; exit status 1 when a check fails
# (units lost in more than one probe run in 20, an incomplete read, a value that did not land).
# The machine may be shared: every figure is a median of repeated runs, and the probe ratio is
# measured side by side in the same run.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$ROOT/build/release
BUILD=1
PROBE_RUNS=20
READ_RUNS=10
WRITE_RUNS=5
FLEET_RUNS=20
FLEET_ONLY=0
KEEP=0

while [ $# -gt 0 ]; do
    case $1 in
    --build-dir) BUILD_DIR=$(realpath -m "$2"); shift 2 ;;
    --no-build) BUILD=0; shift ;;
    --probe-runs) PROBE_RUNS=$2; shift 2 ;;
    --read-runs) READ_RUNS=$2; shift 2 ;;
    --write-runs) WRITE_RUNS=$2; shift 2 ;;
    --keep) KEEP=1; shift ;;
    --fleet-runs) FLEET_RUNS=$2; shift 2 ;;
    --fleet-only) FLEET_ONLY=1; shift ;;
    -h | --help) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "cli_bench.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

# The units and every address the tool sends to stay on the loopback network.
BROADCAST=127.255.255.255
HOST_ADDRESS=127.0.0.1
BURST_UNITS=700
WRITE_UNITS=50
WRITE_VALUES=100
PROBE_WAIT_MS=500 # the probe command always waits out its window; the burst takes milliseconds
LOGIN=(--id admin --password quorvane)

if [ "$BUILD" = 1 ]; then
    if [ ! -f "$BUILD_DIR/build.ninja" ]; then
        cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DMORVIK_WITH_GUI=OFF >/dev/null
    fi
    cmake --build "$BUILD_DIR" -j2 --target morvik-cli morvik-sim probe_drain read_drain >/dev/null
fi
FLEET=("$ROOT/bench/fleet_bench.sh" --build-dir "$BUILD_DIR" --no-build --runs "$FLEET_RUNS")
[ "$KEEP" = 1 ] && FLEET+=(--keep)
if [ "$FLEET_ONLY" = 1 ]; then
    exec "${FLEET[@]}"
fi
CLI=$BUILD_DIR/cli/morvik-cli
SIM=$BUILD_DIR/sim/morvik-sim
DRAIN=$BUILD_DIR/bench/probe_drain
for program in "$CLI" "$SIM" "$DRAIN"; do
    [ -x "$program" ] || { echo "cli_bench.sh: $program is missing (build it, or drop --no-build)" >&2; exit 1; }
done

LOAD_AT_START=$(cut -d' ' -f1-3 /proc/loadavg)
SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/morvik-cli-bench.XXXXXX")
SIM_PID=
# shellcheck disable=SC2317  # called by the EXIT trap
cleanup() {
    if [ -n "$SIM_PID" ]; then
        kill "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    if [ "$KEEP" = 1 ]; then
        echo "cli_bench.sh: scratch files kept in $SCRATCH" >&2
    else
        rm -rf "$SCRATCH"
    fi
}
trap cleanup EXIT

# A read logs the login that worked in pwd.ini: the tool works on a copy of the demo data.
DATA=$SCRATCH/data
cp -r "$ROOT/data/demo" "$DATA"

# Starts a simulator on a free port; sets SIM_PID and PORT.
start_sim() {
    local fleet=$1
    shift
    local out=$SCRATCH/sim.out
    : >"$out"
    "$SIM" --data-dir "$DATA" --fleet "$fleet" --port 0 "$@" >"$out" 2>"$SCRATCH/sim.err" &
    SIM_PID=$!
    PORT=
    for _ in $(seq 100); do
        PORT=$(sed -n 's/^ready port=\([0-9]*\)$/\1/p' "$out")
        [ -n "$PORT" ] && return 0
        kill -0 "$SIM_PID" 2>/dev/null || break
        sleep 0.1
    done
    echo "cli_bench.sh: morvik-sim did not start:" >&2
    cat "$SCRATCH/sim.err" >&2
    exit 1
}

stop_sim() {
    kill "$SIM_PID"
    wait "$SIM_PID" || true
    SIM_PID=
}

cli() {
    "$CLI" --data-dir "$DATA" --port "$PORT" --broadcast "$BROADCAST" \
        --host-address "$HOST_ADDRESS" "$@"
}
CLI_PREFIX="morvik-cli --data-dir DATA --port PORT --broadcast $BROADCAST --host-address $HOST_ADDRESS"

# --- fleets ---------------------------------------------------------------------------------
# The burst fleet: 700 units in five series of 140, one per demo product (Vela8 has no
# description and only answers probes), each series with the values of the demo unit of its
# product. The write fleet: 50 Orion16 units whose parameters start at zero.
python3 - "$ROOT/data/demo/fleet.json" "$SCRATCH" "$BURST_UNITS" "$WRITE_UNITS" <<'EOF'
import json, sys
demo_path, scratch, burst, write = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
demo = {}
for unit in json.load(open(demo_path))["units"]:
    demo.setdefault((unit["productId"], unit["version"]), unit)
products = [(7, "1.2", "vela1"), (23, "2.5", "vela4"), (55, "1.0", "lyra2"),
            (61, "3.10", "orion16"), (12, "1.0", "vela8")]
per_series = burst // len(products)
series = []
for i, (product, version, prefix) in enumerate(products):
    values = dict(demo[(product, version)].get("values", {}))
    if values:
        values["0.1.1"] = prefix + "-b{n}"
    count = per_series if i < len(products) - 1 else burst - per_series * (len(products) - 1)
    series.append({
        "template": {"name": prefix + "-b{n}", "productId": product, "version": version,
                     "loginId": "admin", "password": "quorvane", "values": values},
        "count": count, "ipBase": "127.80.%d.1" % i, "macBase": "02:4D:56:10:%02X:01" % i})
json.dump({"units": [], "generate": series}, open(scratch + "/burst-fleet.json", "w"), indent=1)
with open(scratch + "/read-unit", "w") as out:
    out.write("127.80.%d.1\n" % [p[2] for p in products].index("orion16"))

template = {"name": "wr-{n}", "productId": 61, "version": "3.10",
            "loginId": "admin", "password": "quorvane"}
json.dump({"units": [], "generate": [{"template": template, "count": write,
                                      "ipBase": "127.81.0.1", "macBase": "02:4D:56:20:00:01"}]},
          open(scratch + "/write-fleet.json", "w"), indent=1)
with open(scratch + "/write-units", "w") as out:
    for n in range(write):
        out.write("02:4D:56:20:00:%02X\n" % (n + 1))
EOF

# The fields of a "morvik-cli: timing ..." or "traffic ..." line as NAME=VALUE lines.
fields() { { grep -E "^morvik-cli: (timing|traffic) " "$1" || true; } | tr ' ' '\n' | { grep '=' || true; }; }
field() { fields "$1" | sed -n "s/^$2=//p"; }

# --- 1. probe burst -------------------------------------------------------------------------
start_sim "$SCRATCH/burst-fleet.json"
echo "probe burst: $BURST_UNITS units on port $PORT, $PROBE_RUNS runs of each side" >&2
PROBE_TABLE=$SCRATCH/probe.tsv
: >"$PROBE_TABLE"
for run in $(seq "$PROBE_RUNS"); do
    drain=$("$DRAIN" --port "$PORT" --broadcast "$BROADCAST" --expect "$BURST_UNITS" \
        --window "$PROBE_WAIT_MS")
    drain_received=$(sed -n 's/.*received=\([0-9]*\).*/\1/p' <<<"$drain")
    drain_ms=$(sed -n 's/.*first_to_last_ms=\([0-9.]*\).*/\1/p' <<<"$drain")
    cli --wait "$PROBE_WAIT_MS" --json --verbose probe >"$SCRATCH/probe.json" 2>"$SCRATCH/probe.err"
    listed=$(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))))' \
        "$SCRATCH/probe.json" 2>/dev/null || echo 0)
    tool_ms=$(field "$SCRATCH/probe.err" probe_first_to_last_ms)
    printf '%s\t%s\t%s\t%s\t%s\n' "$run" "$drain_received" "$drain_ms" "$listed" "$tool_ms" >>"$PROBE_TABLE"
done

# --- 2. read of one Orion16 unit ------------------------------------------------------------
READ_UNIT=$(cat "$SCRATCH/read-unit")
echo "read: $READ_UNIT, $READ_RUNS runs" >&2
READ_TABLE=$SCRATCH/read.tsv
: >"$READ_TABLE"
for run in $(seq "$READ_RUNS"); do
    status=0
    cli "${LOGIN[@]}" --json --verbose read "$READ_UNIT" >"$SCRATCH/read.json" 2>"$SCRATCH/read.err" || status=$?
    complete=$(python3 -c '
import json, sys
units = json.load(open(sys.argv[1]))
shown = [p for p in units[0]["parameters"] if p["access"] != "HIDDEN"]
print("%d/%d" % (sum(1 for p in shown if p["value"] != ""), len(units[0]["parameters"])))
' "$SCRATCH/read.json" 2>/dev/null || echo "-")
    printf '%s\t%s\t%s' "$run" "$status" "$complete" >>"$READ_TABLE"
    for name in wall_ms probe_ms pause_ms wait_ms work_ms sent received probe_received; do
        printf '\t%s' "$(field "$SCRATCH/read.err" $name)" >>"$READ_TABLE"
    done
    printf '\n' >>"$READ_TABLE"
done
stop_sim

# --- 3. write of 100 values to 50 units -----------------------------------------------------
RECORD=$SCRATCH/write-record.txt
start_sim "$SCRATCH/write-fleet.json" --record "$RECORD"
mapfile -t WRITE_MACS <"$SCRATCH/write-units"
echo "write: $WRITE_VALUES values to ${#WRITE_MACS[@]} units, $WRITE_RUNS runs" >&2
WRITE_TABLE=$SCRATCH/write.tsv
: >"$WRITE_TABLE"
for run in $(seq "$WRITE_RUNS"); do
    # Every run writes other values, so that each read-back shows this run's write.
    python3 - "$run" "$SCRATCH/values" <<'EOF'
import sys
run, path = int(sys.argv[1]), sys.argv[2]
bauds = ["2400 bps", "4800 bps", "19200 bps", "38400 bps", "57600 bps", "230400 bps"]
parities = ["Odd", "Even", "Mark", "Space"]
values = [("0.1.1", "bench-r%d" % run), ("0.6.1", "bench rack %d" % run),
          ("0.7.1", "bench noc x%d" % run), ("1.8.1", str(32 + run))]
for port in range(1, 17):
    values += [("4.1.%d" % port, bauds[(port + run) % len(bauds)]),
               ("4.3.%d" % port, parities[(port + run) % len(parities)]),
               ("4.7.%d" % port, str(7000 + 100 * run + port)),
               ("4.8.%d" % port, "10.%d.0.%d" % (run, port)),
               ("4.9.%d" % port, str(9000 + 100 * run + port)),
               ("4.13.%d" % port, "r%d-port-%d" % (run, port))]
with open(path, "w") as out:
    for address, text in values:
        out.write("%s=%s\n" % (address, text))
EOF
    mapfile -t VALUES <"$SCRATCH/values"
    [ "${#VALUES[@]}" = "$WRITE_VALUES" ] || { echo "cli_bench.sh: ${#VALUES[@]} values planned" >&2; exit 1; }
    record_before=$(wc -l <"$RECORD")
    status=0
    cli "${LOGIN[@]}" --yes --json --verbose set "${WRITE_MACS[@]}" "${VALUES[@]}" \
        >"$SCRATCH/write.json" 2>"$SCRATCH/write.err" || status=$?
    tail -n +"$((record_before + 1))" "$RECORD" >"$SCRATCH/write-run-record.txt"
    # The read-back, outside the timed command.
    cli "${LOGIN[@]}" --json read "${WRITE_MACS[@]}" >"$SCRATCH/readback.json" 2>"$SCRATCH/readback.err" || true
    check=$(python3 - "$SCRATCH/values" "$SCRATCH/write.json" "$SCRATCH/write-run-record.txt" \
        "$SCRATCH/readback.json" "$SCRATCH/write-units" <<'EOF'
import json, sys
values_path, results_path, record_path, readback_path, units_path = sys.argv[1:6]
planned = dict(line.rstrip("\n").split("=", 1) for line in open(values_path))
macs = [line.strip() for line in open(units_path)]
try:
    results = json.load(open(results_path))
    ok = sum(1 for r in results if r["result"] == "ok")
except (ValueError, KeyError):
    ok = 0

# The simulator's record: the addresses of every WriteRequest (B0) each unit received.
def write_entries(frame):
    at = 3                                           # signature
    if frame[at] == 0xDB:
        at += 1 + 6 + 1                              # long header: MAC, address mode
    else:
        at += 1
    at += 1 + frame[at]                              # login ID
    at += 1 + frame[at]                              # password
    length = int.from_bytes(frame[at:at + 2], "big")  # Orion16: most significant first
    end = at + length
    at += 2 + 2                                      # frameLength, request ID
    if frame[at] != 0xB0:
        return None
    at += 1
    entries = []
    while at < end:
        count = frame[at]
        address = ".".join(str(c) for c in frame[at + 1:at + 1 + count])
        at += 1 + count
        size = int.from_bytes(frame[at:at + 2], "big")
        at += 2 + size
        entries.append(address)
    return entries

received = {mac: set() for mac in macs}
datagrams = 0
for line in open(record_path):
    mac, _, data = line.split()
    if mac not in received:
        continue  # the probe, on the simulator's shared socket
    try:
        entries = write_entries(bytes.fromhex(data))
    except (IndexError, ValueError):
        entries = None
    if entries is None:
        continue
    datagrams += 1
    received[mac].update(entries)
recorded = sum(1 for mac in macs if received[mac] >= set(planned))

read_back = 0
try:
    units = {u["mac"].upper(): u for u in json.load(open(readback_path))}
    for mac in macs:
        shown = {p["address"]: p["value"] for p in units[mac]["parameters"]}
        if all(shown.get(a) == t for a, t in planned.items()):
            read_back += 1
except (ValueError, KeyError):
    pass
print("%d %d %d %d" % (ok, recorded, datagrams, read_back))
EOF
)
    printf '%s\t%s\t%s' "$run" "$status" "$(tr ' ' '\t' <<<"$check")" >>"$WRITE_TABLE"
    for name in wall_ms probe_ms pause_ms wait_ms work_ms sent received requests_sent replies_received; do
        printf '\t%s' "$(field "$SCRATCH/write.err" $name)" >>"$WRITE_TABLE"
    done
    printf '\n' >>"$WRITE_TABLE"
done
stop_sim

# --- summary --------------------------------------------------------------------------------
python3 - "$PROBE_TABLE" "$READ_TABLE" "$WRITE_TABLE" "$BURST_UNITS" "$WRITE_UNITS" \
    "$WRITE_VALUES" "$PROBE_WAIT_MS" "$READ_UNIT" "$CLI_PREFIX" "$(uname -srm)" "$(nproc)" "$LOAD_AT_START" \
    "$(cut -d' ' -f1-3 /proc/loadavg)" <<'EOF' || SUMMARY_STATUS=$?
import statistics, sys
(probe_path, read_path, write_path, burst, write_units, write_values, wait_ms, read_unit,
 prefix, system, cores, load_start, load_end) = sys.argv[1:14]
burst, write_units, write_values = int(burst), int(write_units), int(write_values)

def rows(path):
    return [line.rstrip("\n").split("\t") for line in open(path) if line.strip()]

def number(text):
    try:
        return float(text)
    except ValueError:
        return float("nan")

def median(values):
    values = [v for v in values if v == v]
    return statistics.median(values) if values else float("nan")

failed = []
print()
print("morvik-cli benchmarks against morvik-sim on loopback (%s, %s cores, load average %s "
      "at the start, %s at the end)" % (system, cores, load_start, load_end))

probe = rows(probe_path)
missing = [burst - int(r[3]) for r in probe]
complete_runs = sum(1 for m in missing if m == 0)
drain_missing = [burst - int(r[1] or 0) for r in probe]
drain_ms = median([number(r[2]) for r in probe])
tool_ms = median([number(r[4]) for r in probe])
ratio = tool_ms / drain_ms if drain_ms > 0 else float("nan")
ratios = [number(r[4]) / number(r[2]) for r in probe if number(r[2]) > 0]
print()
print("1. Probe burst: %d units answer one probe, %d runs of each side, in turn" % (burst, len(probe)))
print("   %-46s %s" % ("runs listing %d of %d (target >= 19 of 20)" % (burst, burst),
                      "%d of %d" % (complete_runs, len(probe))))
print("   %-46s %.2f (max %d)" % ("units missing per run, mean", statistics.mean(missing), max(missing)))
print("   %-46s %.2f (max %d)" % ("bare loop: datagrams missing per run, mean",
                                  statistics.mean(drain_missing), max(drain_missing)))
print("   %-46s %.3f ms" % ("first->last reply, bare recvfrom loop, median", drain_ms))
print("   %-46s %.3f ms" % ("first->last reply, morvik-cli, median", tool_ms))
print("   %-46s %.2f (median of per-pair ratios %.2f; target <= 2)" % (
    "ratio tool / bare loop (of the medians)", ratio, median(ratios)))
if complete_runs < len(probe) - len(probe) // 20:
    failed.append("probe burst: units lost in %d runs" % (len(probe) - complete_runs))

read = rows(read_path)
columns = ["wall_ms", "probe_ms", "pause_ms", "wait_ms", "work_ms"]
medians = {c: median([number(r[3 + i]) for r in read]) for i, c in enumerate(columns)}
wall = medians["wall_ms"]
def share(c):
    return "%6.1f ms  %5.1f %%" % (medians[c], 100 * medians[c] / wall if wall else float("nan"))
print()
print("2. Read: every class of one Orion16 unit (700 rows), %d runs" % len(read))
print("   %-46s %6.1f ms" % ("wall time, median", wall))
print("   %-46s %s" % ("probe window (stops when the unit answered)", share("probe_ms")))
print("   %-46s %s" % ("session pause after the unit (100 ms)", share("pause_ms")))
print("   %-46s %s" % ("waiting for replies", share("wait_ms")))
print("   %-46s %s" % ("tool's work", share("work_ms")))
print("   %-46s %s" % ("datagrams sent/received (probe replies)", "%s/%s (%s)" % (
    read[0][8], read[0][9], read[0][10])))
print("   %-46s %s" % ("exit status: non-empty values/rows, per run",
                      " ".join(sorted(set("%s:%s" % (r[1], r[2]) for r in read)))))
if any(r[1] != "0" for r in read):
    failed.append("read: a run did not complete")

write = rows(write_path)
wcols = ["wall_ms", "probe_ms", "pause_ms", "wait_ms", "work_ms", "sent", "received",
         "requests_sent", "replies_received"]
wmed = {c: median([number(r[6 + i]) for r in write]) for i, c in enumerate(wcols)}
print()
print("3. Write: %d values to %d units at once, %d runs" % (write_values, write_units, len(write)))
print("   %-46s %6.1f ms" % ("wall time, median", wmed["wall_ms"]))
print("   %-46s %6.1f / %.1f / %.1f / %.1f ms" % ("probe / pause / wait / work, medians",
      wmed["probe_ms"], wmed["pause_ms"], wmed["wait_ms"], wmed["work_ms"]))
print("   %-46s %d / %d" % ("datagrams sent / received, median", wmed["sent"], wmed["received"]))
print("   %-46s %d / %d" % ("  of which requests / replies", wmed["requests_sent"],
                            wmed["replies_received"]))
for r in write:
    print("   run %s: exit %s, units ok %s/%d, units whose record holds every address %s/%d "
          "(%s write datagrams), units reading back every value %s/%d" % (
              r[0], r[1], r[2], write_units, r[3], write_units, r[4], r[5], write_units))
    if r[1] != "0" or int(r[2]) != write_units or int(r[3]) != write_units or int(r[5]) != write_units:
        failed.append("write run %s: not every unit took every value" % r[0])

print()
print("Commands (PORT: the simulator's, DATA: a scratch copy of data/demo):")
print("   morvik-sim --data-dir DATA --fleet burst-fleet.json --port 0")
print("   probe_drain --port PORT --broadcast 127.255.255.255 --expect %d --window %s" % (burst, wait_ms))
print("   %s --wait %s --json --verbose probe" % (prefix, wait_ms))
print("   %s --id admin --password quorvane --json --verbose read %s" % (prefix, read_unit))
print("   morvik-sim --data-dir DATA --fleet write-fleet.json --port 0 --record write-record.txt")
print("   %s --id admin --password quorvane --yes --json --verbose set MAC1..MAC%d "
      "ADDRESS=TEXT x%d" % (prefix, write_units, write_values))
print("   %s --id admin --password quorvane --json read MAC1..MAC%d   (read-back)" % (prefix, write_units))
if failed:
    print()
    for line in failed:
        print("FAILED: " + line)
    sys.exit(1)
EOF

FLEET_STATUS=0
"${FLEET[@]}" || FLEET_STATUS=$?
exit $((${SUMMARY_STATUS:-0} || FLEET_STATUS))
