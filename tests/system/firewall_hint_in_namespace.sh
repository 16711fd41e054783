#!/usr/bin/env bash
# A host firewall that lets in only established flows drops every probe reply: the units answer
# from their own addresses, which no flow to 255.255.255.255 matches. Behind such an nftables
# rule set morvik-cli must say which networks it probed and what to let in, and end with 4;
# with the rule it suggests added, or without the firewall, the unit is listed.
set -euo pipefail

cli=$1
sim=$2
demo=$3
source "$(dirname "$0")/namespaces.sh"
enter_own_namespace "$0" "$@"
command -v nft >/dev/null || {
    echo "SKIPPED: nft (Debian package nftables) is not installed"
    exit 77
}

cp -r "$demo"/. "$work/data"
unit_network units a0 10.77.0.1/24 10.77.0.2/24
setup ip route add default dev a0
cat >"$work/fleet.json" <<'FLEET'
{"units": [
  {"name": "walled", "mac": "02:4D:56:00:00:61", "ip": "10.77.0.2", "productId": 7,
   "version": "1.2", "loginId": "admin", "password": "quorvane"}
]}
FLEET
start_units units "$work/fleet.json"
cd "$work/data"

setup nft -f - <<'RULES'
table inet filter {
    chain input {
        type filter hook input priority 0; policy drop;
        ct state established,related accept
        iif "lo" accept
    }
}
RULES

echo "== probe behind a firewall that lets in only established flows"
status=0
"$cli" --wait 1000 probe >"$work/probe.out" 2>"$work/probe.err" || status=$?
cat "$work/probe.out" "$work/probe.err"
[[ $status -eq 4 ]]
grep -qx 'morvik-cli: No unit answered the probe. Probed: a0 10.77.0.1/24 (to 255.255.255.255 port 2002 on each).' \
    "$work/probe.err"
grep -q 'let in UDP from port 2002 of the units' "$work/probe.err"
grep -q 'sudo ufw allow proto udp from any port 2002$' "$work/probe.err"
grep -q 'sudo firewall-cmd --permanent --add-source-port=2002/udp' "$work/probe.err"

echo "== a read of the unit fails the same way"
status=0
"$cli" --wait 1000 --id admin --password quorvane read walled >/dev/null 2>"$work/read.err" ||
    status=$?
cat "$work/read.err"
[[ $status -eq 4 ]]
grep -q 'morvik-cli: No unit answered the probe.' "$work/read.err"

echo "== with the nftables rule of the hint added"
rule=$(sed -n 's/^morvik-cli: *nftables: *sudo //p' "$work/probe.err")
echo "$rule"
[[ $rule == "nft insert rule inet filter input udp sport 2002 accept" ]]
$rule
"$cli" --json --wait 1000 probe >"$work/allowed.json"
grep -q '"name":"walled","ip":"10.77.0.2"' <(squeezed "$work/allowed.json")

echo "== without the firewall"
nft flush ruleset
"$cli" --json --wait 1000 probe >"$work/open.json"
grep -q '"name":"walled","ip":"10.77.0.2"' <(squeezed "$work/open.json")

echo "PASSED: an unanswered probe says where it looked and what to let in"
