#!/usr/bin/env bash
# A host on two networks, with the default route on the first, each network with a unit in a
# network namespace of its own: "alpha" on the first, addressed by its IP, and "beta" on the
# second, addressed by broadcast (address mode 2). Both must be listed by one probe, and beta
# read and written, by a user without privileges. The second network reaches the host over two
# links (bridged), so beta hears the probe twice and answers twice: it is listed once. A
# broadcast address given by the user gets that one datagram only.
set -euo pipefail

cli=$1
sim=$2
demo=$3
source "$(dirname "$0")/namespaces.sh"
enter_own_namespace "$0" "$@"

cp -r "$demo"/. "$work/data"
chmod -R a+rwX "$work"
unit_network first a0 10.77.0.1/24 10.77.0.2/24
unit_network second b0 10.88.0.1/24 10.88.0.2/24
unit_network second c0 10.89.0.1/24 10.89.0.2/24
setup ip route add default dev a0
host_name_resolves_to 127.0.1.1

cat >"$work/first.json" <<'FLEET'
{"units": [
  {"name": "alpha", "mac": "02:4D:56:00:00:51", "ip": "10.77.0.2", "productId": 7,
   "version": "1.2", "loginId": "admin", "password": "quorvane",
   "values": {"0.1.1": "alpha"}}
]}
FLEET
cat >"$work/second.json" <<'FLEET'
{"units": [
  {"name": "beta", "mac": "02:4D:56:00:00:52", "ip": "10.88.0.2", "productId": 7,
   "version": "1.2", "addressMode": 2, "loginId": "admin", "password": "quorvane",
   "values": {"0.1.1": "beta"}}
]}
FLEET
start_units first "$work/first.json"
start_units second "$work/second.json"

cd "$work/data"
echo "== the networks a probe goes out on"
unprivileged "$cli" interfaces | tee "$work/interfaces.out"
grep -q '^  a0  10.77.0.1/24  broadcast 10.77.0.255$' "$work/interfaces.out"
grep -q '^  b0  10.88.0.1/24  broadcast 10.88.0.255$' "$work/interfaces.out"
grep -q '^  c0  10.89.0.1/24  broadcast 10.89.0.255$' "$work/interfaces.out"

echo "== probe by an unprivileged user"
unprivileged "$cli" --json --verbose --wait 1000 probe >"$work/probe.json" 2>"$work/probe.err"
cat "$work/probe.json" "$work/probe.err"
# Five probe requests over the window, each out of the three networks.
grep -q ' probe_sent=15 probe_received=15 ' "$work/probe.err"
[[ $(grep -o '"name":"beta"' <(squeezed "$work/probe.json") | wc -l) -eq 1 ]]
grep -q '"name":"alpha","ip":"10.77.0.2"' <(squeezed "$work/probe.json")
grep -q '"name":"beta","ip":"10.88.0.2","mac":"02:4D:56:00:00:52","productId":"07","version":"1.2","addressMode":"2"' \
    <(squeezed "$work/probe.json")

echo "== the unit on the second network, reached by broadcast, is written and read back"
unprivileged "$cli" --json --wait 1000 --timeout 2000 --id admin --password quorvane --yes \
    set beta 0.1.1=written >"$work/set.json"
cat "$work/set.json"
grep -q '"result":"ok"' <(squeezed "$work/set.json")
unprivileged "$cli" --json --wait 1000 --timeout 2000 --id admin --password quorvane \
    read beta >"$work/read.json"
grep -q '"address":"0.1.1","class":"[^"]*","parameter":"[^"]*","access":"[^"]*","value":"written"' \
    <(squeezed "$work/read.json")

echo "== a broadcast address given by the user gets that one datagram"
unprivileged "$cli" --json --wait 1000 --broadcast 10.88.0.255 probe >"$work/directed.json"
cat "$work/directed.json"
grep -q '"name":"beta"' <(squeezed "$work/directed.json")
if grep -q '"name":"alpha"' <(squeezed "$work/directed.json"); then
    echo "FAILED: a unit on another network answered a directed broadcast" >&2
    exit 1
fi

echo "PASSED: a probe and broadcast requests reach every network the host is on"
