#!/usr/bin/env bash
# The first read of a fleet that pwd.ini does not know, against a read of the same fleet once
# pwd.ini knows it: 700 generated Orion16 units on loopback, every class, units named by MAC,
# the login given with --login-file. The first read records 700 logins; the target is a wall
# time within 1.3 x that of the known read. Runs alternate (first, known, first, ...), so the
# two medians come from the same minutes of a shared machine.
#
#   bench/first_read_bench.sh [--build-dir DIR] [--no-build] [--runs N] [--units N] [--id-password]
#
# --id-password gives the login as --id and --password instead (for a build without
# --login-file, to compare with).
#
# Prints the medians, the ratio and the command. Exit status 1 when a read is incomplete or a
# first read did not record every login.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$ROOT/build/release
BUILD=1
RUNS=11
UNITS=700
LOGIN_ARGS=()
while [ $# -gt 0 ]; do
    case $1 in
    --build-dir) BUILD_DIR=$(realpath -m "$2"); shift 2 ;;
    --no-build) BUILD=0; shift ;;
    --runs) RUNS=$2; shift 2 ;;
    --units) UNITS=$2; shift 2 ;;
    --id-password) LOGIN_ARGS=(--id admin --password quorvane); shift ;;
    -h | --help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "first_read_bench.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
if [ "$BUILD" = 1 ]; then
    [ -f "$BUILD_DIR/build.ninja" ] || cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja \
        -DCMAKE_BUILD_TYPE=Release -DMORVIK_WITH_GUI=OFF >/dev/null
    cmake --build "$BUILD_DIR" -j2 --target morvik-cli morvik-sim >/dev/null
fi
CLI=$BUILD_DIR/cli/morvik-cli
SIM=$BUILD_DIR/sim/morvik-sim

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/morvik-first-read.XXXXXX")
SIM_PID=
# shellcheck disable=SC2317 # run by the trap below
cleanup() {
    if [ -n "$SIM_PID" ]; then
        kill "$SIM_PID" 2>/dev/null || true
        wait "$SIM_PID" 2>/dev/null || true
    fi
    rm -rf "$SCRATCH"
}
trap cleanup EXIT
DATA=$SCRATCH/data
cp -r "$ROOT/data/demo" "$DATA"
printf 'id=admin\npassword=quorvane\n' >"$SCRATCH/login"
chmod 600 "$SCRATCH/login"
[ ${#LOGIN_ARGS[@]} -gt 0 ] || LOGIN_ARGS=(--login-file "$SCRATCH/login")

python3 - "$SCRATCH" "$UNITS" <<'EOF'
import json, sys
scratch, count = sys.argv[1], int(sys.argv[2])
template = {"name": "o16-{n}", "productId": 61, "version": "3.10",
            "loginId": "admin", "password": "quorvane", "values": {"0.1.1": "o16-{n}"}}
json.dump({"units": [], "generate": [{"template": template, "count": count,
          "ipBase": "127.90.0.1", "macBase": "02:4D:56:30:00:01"}]},
          open(scratch + "/fleet.json", "w"))
macs = ["02:4D:56:30:%02X:%02X" % (n // 256, n % 256) for n in range(1, count + 1)]
open(scratch + "/macs", "w").write("\n".join(macs) + "\n")
demo = open(scratch + "/data/pwd.ini").read()
open(scratch + "/unknown.ini", "w").write(demo)
known = "".join("\n[%d]\nMAC : %s \nID : admin \nPassword : quorvane \n" % (900 + i, mac)
                for i, mac in enumerate(macs))
open(scratch + "/known.ini", "w").write(demo + known)
EOF
mapfile -t MACS <"$SCRATCH/macs"

"$SIM" --data-dir "$DATA" --fleet "$SCRATCH/fleet.json" --port 0 >"$SCRATCH/sim.out" 2>&1 &
SIM_PID=$!
PORT=
for _ in $(seq 200); do
    PORT=$(sed -n 's/^ready port=\([0-9]*\)$/\1/p' "$SCRATCH/sim.out")
    [ -n "$PORT" ] && break
    sleep 0.1
done
[ -n "$PORT" ] || { echo "first_read_bench.sh: morvik-sim did not start" >&2; exit 1; }

# One read with pwd.ini as `log` left it: "wall_ms complete_units logins_recorded".
read_once() { # log
    cp "$SCRATCH/$1.ini" "$DATA/pwd.ini"
    python3 - "$SCRATCH" "$CLI" --data-dir "$DATA" --port "$PORT" --broadcast 127.255.255.255 \
        --host-address 127.0.0.1 "${LOGIN_ARGS[@]}" --json read "${MACS[@]}" <<'EOF'
import json, subprocess, sys, time
scratch, command = sys.argv[1], sys.argv[2:]
start = time.monotonic()
done = subprocess.run(command, capture_output=True, text=True)
wall = (time.monotonic() - start) * 1000
complete = sum(1 for unit in json.loads(done.stdout) if unit.get("result") == "ok")
logins = open(command[command.index("--data-dir") + 1] + "/pwd.ini").read().count("MAC : 02:4D:56:30:")
print("%.1f %d %d" % (wall, complete, logins))
EOF
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: >"$SCRATCH/first" && : >"$SCRATCH/known"
failed=0
for _ in $(seq "$RUNS"); do
    for log in unknown known; do
        read -r wall complete logins <<<"$(read_once "$log")"
        if [ "$complete" != "$UNITS" ] || [ "$logins" != "$UNITS" ]; then
            echo "first_read_bench.sh: $log: $complete/$UNITS units read, $logins logins" >&2
            failed=1
        fi
        echo "$wall" >>"$SCRATCH/$([ "$log" = unknown ] && echo first || echo known)"
    done
done
first=$(median <"$SCRATCH/first")
known=$(median <"$SCRATCH/known")
login_words="--login-file LOGIN"
[ "${LOGIN_ARGS[0]}" = --login-file ] || login_words="--id admin --password quorvane"
echo "command: morvik-cli --data-dir DATA --port PORT --broadcast 127.255.255.255 --host-address 127.0.0.1 $login_words --json read MAC... ($UNITS units)"
echo "first read (pwd.ini knows none): median ${first} ms of $RUNS"
echo "known read (pwd.ini knows all):  median ${known} ms of $RUNS"
echo "ratio: $(awk -v a="$first" -v b="$known" 'BEGIN { printf "%.2f", a / b }') (target at most 1.30)"
exit "$failed"
