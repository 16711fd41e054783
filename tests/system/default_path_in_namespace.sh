#!/usr/bin/env bash
# Runs morvik-cli with no endpoint overrides against morvik-sim inside a network, UTS and mount
# namespace of its own: two veth pairs stand for the host's interfaces, the primary one
# (10.77.0.1/24, which the host name resolves to) with a unit on its subnet, the other
# (10.88.0.1/24) with a unit that the tool must refuse to address directly.
set -euo pipefail

cli=$1
sim=$2
demo=$3

if [[ ${MORVIK_IN_NAMESPACE:-} != 1 ]]; then
    if ! unshare --net --uts --mount true 2>/dev/null; then
        echo "SKIPPED: cannot create network namespaces here (needs root or user namespaces)"
        exit 77
    fi
    exec env -u MORVIK_DEVICE_PORT -u MORVIK_BROADCAST_ADDRESS -u MORVIK_HOST_ADDRESS \
        MORVIK_IN_NAMESPACE=1 unshare --net --uts --mount --propagation private "$0" "$@"
fi

# Inside the namespace from here on: no interface but the ones made below exists.
work=$(mktemp -d)
trap 'kill "${sim_pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT

# A machine that lets us make the namespace may still refuse parts of it (no veth driver, no
# mounts in a container): that is a skip, not a failure of the tool.
setup() {
    "$@" || {
        echo "SKIPPED: the namespace cannot be set up here: '$*' failed"
        exit 77
    }
}
setup ip link set lo up
setup ip link add a0 type veth peer name a1
setup ip link add b0 type veth peer name b1
setup ip addr add 10.77.0.1/24 dev a0
setup ip addr add 10.77.0.2/24 dev a1
setup ip addr add 10.88.0.1/24 dev b0
setup ip addr add 10.88.0.2/24 dev b1
for link in a0 a1 b0 b1; do setup ip link set "$link" up; done
setup ip route add default dev a0

setup hostname morvik-host
printf '127.0.0.1 localhost\n10.77.0.1 morvik-host\n' >"$work/hosts"
setup mount --bind "$work/hosts" /etc/hosts
setup test "$(getent hosts morvik-host | awk '{print $1}')" = 10.77.0.1

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

"$sim" --data-dir "$work/data" --fleet "$work/fleet.json" --allow-non-loopback \
    >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do
    grep -q '^ready' "$work/sim.out" 2>/dev/null && break
    sleep 0.05
done
grep -q '^ready port=2002' "$work/sim.out"

# A document is valid only if Python's json reads it with the bytes decoded as strict UTF-8.
strict_json() {
    python3 -c 'import json, sys; json.loads(open(sys.argv[1], "rb").read().decode("utf-8"))' "$1"
}

cd "$work/data"
echo "== probe by broadcast to 255.255.255.255:2002"
"$cli" --json --wait 1000 probe >"$work/probe.json"
cat "$work/probe.json"
strict_json "$work/probe.json"
grep -q '"ip":"10.77.0.2"' <(tr -d ' \n' <"$work/probe.json")
grep -q '"ip":"10.88.0.2"' <(tr -d ' \n' <"$work/probe.json")

echo "== read of the unit on the host's subnet"
"$cli" --json --wait 1000 --id admin --password quorvane read 02:4D:56:00:00:41 >"$work/near.json"
strict_json "$work/near.json"
grep -q '"value":"near"' <(tr -d ' \n' <"$work/near.json")

echo "== read of the unit on the other interface's subnet"
status=0
"$cli" --wait 1000 --id admin --password quorvane read 02:4D:56:00:00:42 >"$work/far.out" 2>"$work/far.err" || status=$?
cat "$work/far.err"
[[ $status -ne 0 ]]
grep -q "Error: Can't send to 10.88.0.2" "$work/far.err"

echo "PASSED: default broadcast and subnet test inside the namespace"
