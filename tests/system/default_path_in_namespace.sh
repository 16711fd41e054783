#!/usr/bin/env bash
# Runs morvik-cli with no endpoint overrides against morvik-sim inside a network, UTS and mount
# namespace of its own.
# 1. A host set up by hand: two veth pairs stand for the host's interfaces, the primary one
#    (10.77.0.1/24, which the host name resolves to) with a unit on its subnet, the other
#    (10.88.0.1/24) with a unit that the tool must refuse to address directly.
# 2. A host as Debian and Ubuntu install it: the host name resolves to 127.0.1.1. The units
#    live in a network namespace of their own behind the host's one network (10.77.0.1/24):
#    the near one on that subnet is read, the far one (10.99.0.2, on no network of the host)
#    is still refused.
set -euo pipefail

cli=$1
sim=$2
demo=$3
source "$(dirname "$0")/namespaces.sh"
enter_own_namespace "$0" "$@"

cp -r "$demo"/. "$work/data"
cat >"$work/fleet.json" <<'FLEET'
{"units": [
  {"name": "near", "mac": "02:4D:56:00:00:41", "ip": "10.77.0.2", "productId": 7,
   "version": "1.2", "loginId": "admin", "password": "quorvane",
   "values": {"0.1.1": "near"}},
  {"name": "far", "mac": "02:4D:56:00:00:42", "ip": "10.88.0.2", "productId": 7,
   "version": "1.2", "loginId": "admin", "password": "quorvane",
   "values": {"0.1.1": "far"}}
]}
FLEET
sed 's/10\.88\.0\.2/10.99.0.2/' "$work/fleet.json" >"$work/stock-fleet.json"

expect_near_read_and_far_refused() {
    echo "== read of the unit on the host's subnet"
    "$cli" --json --wait 1000 --id admin --password quorvane read 02:4D:56:00:00:41 \
        >"$work/near.json"
    strict_json "$work/near.json"
    grep -q '"value":"near"' <(squeezed "$work/near.json")

    echo "== read of the unit on no subnet of the host"
    local status=0
    "$cli" --wait 1000 --id admin --password quorvane read 02:4D:56:00:00:42 \
        >"$work/far.out" 2>"$work/far.err" || status=$?
    cat "$work/far.err"
    [[ $status -ne 0 ]]
    grep -q "Error: Can't send to $1" "$work/far.err"
}

echo "#### a host set up by hand: its name resolves to its primary interface"
setup ip link add a0 type veth peer name a1
setup ip link add b0 type veth peer name b1
setup ip addr add 10.77.0.1/24 dev a0
setup ip addr add 10.77.0.2/24 dev a1
setup ip addr add 10.88.0.1/24 dev b0
setup ip addr add 10.88.0.2/24 dev b1
for link in a0 a1 b0 b1; do setup ip link set "$link" up; done
setup ip route add default dev a0
host_name_resolves_to 10.77.0.1

"$sim" --data-dir "$work/data" --fleet "$work/fleet.json" --allow-non-loopback \
    >"$work/sim.out" 2>"$work/sim.err" &
sims+=("$!")
for _ in $(seq 100); do
    grep -q '^ready' "$work/sim.out" 2>/dev/null && break
    sleep 0.05
done
grep -q '^ready port=2002' "$work/sim.out"

cd "$work/data"
echo "== probe by broadcast to 255.255.255.255:2002"
"$cli" --json --wait 1000 probe >"$work/probe.json"
cat "$work/probe.json"
strict_json "$work/probe.json"
grep -q '"ip":"10.77.0.2"' <(squeezed "$work/probe.json")
grep -q '"ip":"10.88.0.2"' <(squeezed "$work/probe.json")
expect_near_read_and_far_refused 10.88.0.2

echo "#### a stock Debian or Ubuntu host: its name resolves to 127.0.1.1"
kill "${sims[@]}"
wait "${sims[@]}" 2>/dev/null || true
sims=()
ip link del a0
ip link del b0
unit_network units a0 10.77.0.1/24 10.77.0.2/24 10.99.0.2/32
setup ip route add default dev a0
printf '127.0.0.1 localhost\n127.0.1.1 morvik-host\n' >"$work/hosts"
setup test "$(getent hosts morvik-host | awk '{print $1}')" = 127.0.1.1
start_units units "$work/stock-fleet.json"

echo "== probe"
"$cli" --json --wait 1000 probe >"$work/probe.json"
cat "$work/probe.json"
strict_json "$work/probe.json"
grep -q '"ip":"10.77.0.2"' <(squeezed "$work/probe.json")
grep -q '"ip":"10.99.0.2"' <(squeezed "$work/probe.json")
expect_near_read_and_far_refused 10.99.0.2

echo "PASSED: default broadcast and subnet test inside the namespace, set up by hand and stock"
