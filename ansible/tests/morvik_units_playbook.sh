#!/bin/bash
# The Ansible module on localhost (local connection) against morvik-sim on loopback: a check
# run writes nothing, the first real run changes, the second does not, a configuration file
# is held the same way, and a unit that refuses fails its task with the tool's message.
# Skipped (exit 77) where ansible-playbook is not installed.
set -euo pipefail

cli=$(realpath "$1")
sim=$(realpath "$2")
demo=$(realpath "$3")
library=$(realpath "$4")

if ! command -v ansible-playbook >/dev/null; then
    echo "ansible-playbook is not installed (Debian package ansible-core): skipped"
    exit 77
fi

work=$(mktemp -d)
sim_pid=
cleanup() {
    if [[ -n $sim_pid ]]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/data"
cp "$demo"/* "$work/data/"
# The demo fleet and a unit that refuses every request, known to pwd.ini.
python3 - "$work/data/fleet.json" "$work/fleet.json" <<'EOF'
import json, sys
fleet = json.load(open(sys.argv[1]))
fleet.setdefault("units", []).append({
    "name": "grumpy", "mac": "02:4D:56:00:00:22", "ip": "127.77.0.22", "productId": 7,
    "version": "1.2", "loginId": "admin", "password": "quorvane",
    "faults": {"errorReply": True}})
fleet["units"].append({
    "name": "-gate", "mac": "02:4D:56:00:00:23", "ip": "127.77.0.23", "productId": 7,
    "version": "1.2", "loginId": "admin", "password": "quorvane"})
json.dump(fleet, open(sys.argv[2], "w"))
EOF
printf '\n[90]\nMAC : 02:4D:56:00:00:22 \nID : admin \nPassword : quorvane \n' >>"$work/data/pwd.ini"
printf '\n[91]\nMAC : 02:4D:56:00:00:23 \nID : admin \nPassword : quorvane \n' >>"$work/data/pwd.ini"
# The module runs the tool through this, which keeps every command line it was given.
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\nexec "%s" "$@"\n' "$work/argv.log" "$cli" >"$work/cli"
chmod +x "$work/cli"

"$sim" --data-dir "$work/data" --fleet "$work/fleet.json" --port 0 >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do
    grep -q '^ready port=' "$work/sim.out" 2>/dev/null && break
    sleep 0.05
done
port=$(sed -n 's/^ready port=//p' "$work/sim.out")
[[ -n $port ]] || { echo "the simulator did not start"; cat "$work/sim.err"; exit 1; }

tool() {
    "$cli" --data-dir "$work/data" --port "$port" --broadcast 127.255.255.255 \
        --host-address 127.0.0.1 --wait 500 "$@"
}

value_of() { # unit address
    tool read --json -- "$1" | python3 -c '
import json, sys
for parameter in json.load(sys.stdin)[0]["parameters"]:
    if parameter["address"] == sys.argv[1]:
        print(parameter["value"])' "$2"
}

playbook() { # name, then the module arguments as YAML lines
    local name=$1
    shift
    {
        echo "- hosts: localhost"
        echo "  connection: local"
        echo "  gather_facts: false"
        echo "  tasks:"
        echo "    - morvik_units:"
        echo "        cli: $work/cli"
        echo "        data_dir: $work/data"
        echo "        port: $port"
        echo "        broadcast: 127.255.255.255"
        echo "        host_address: 127.0.0.1"
        echo "        wait: 500"
        for line in "$@"; do
            echo "        $line"
        done
    } >"$work/$name.yml"
}

export ANSIBLE_LIBRARY=$library ANSIBLE_HOME=$work/ansible-home ANSIBLE_LOCAL_TEMP=$work/tmp
ANSIBLE_PYTHON_INTERPRETER=$(command -v python3)
export ANSIBLE_NOCOLOR=1 ANSIBLE_PYTHON_INTERPRETER
export ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_INVENTORY_UNPARSED_WARNING=0
export ANSIBLE_LOCALHOST_WARNING=0

failures=0
run() { # label, expected changed count, expected failed count, playbook, ansible options...
    local label=$1 changed=$2 failed=$3 book=$4
    shift 4
    local status=0
    ansible-playbook -i localhost, "$@" "$work/$book.yml" >"$work/$label.log" 2>&1 || status=$?
    if ! grep -Eq "localhost +: ok=[0-9]+ +changed=$changed +unreachable=0 +failed=$failed" \
        "$work/$label.log"; then
        echo "FAILED $label: expected changed=$changed failed=$failed (status $status)"
        cat "$work/$label.log"
        failures=$((failures + 1))
        return
    fi
    echo "ok $label"
}

expect() { # label, actual, wanted
    if [[ $2 != "$3" ]]; then
        echo "FAILED $1: \"$2\", wanted \"$3\""
        failures=$((failures + 1))
    else
        echo "ok $1"
    fi
}

# Values.
original=$(value_of vela1-dock 0.6.1)
playbook values 'units: [vela1-dock]' 'values: {"0.6.1": "Playbook room"}'
run check-values 1 0 values --check --diff
if ! grep -q -- '-02:4D:56:00:00:01 0.6.1 (.*): '"$original" "$work/check-values.log" ||
    ! grep -q '+02:4D:56:00:00:01 0.6.1 (.*): Playbook room' "$work/check-values.log"; then
    echo "FAILED check-values: no before/after in the diff"
    failures=$((failures + 1))
fi
expect "check mode writes nothing" "$(value_of vela1-dock 0.6.1)" "$original"
run first-values 1 0 values
expect "the value is written" "$(value_of vela1-dock 0.6.1)" "Playbook room"
run second-values 0 0 values
# The unit's own values, written otherwise, change nothing.
playbook spelled 'units: [vela1-dock]' 'values: {"1.7.1": "1500", "1.1.1": "192.168.010.021"}'
run spelled-values 0 0 spelled

# A configuration file cloned onto another unit, keeping its name and address; a unit of
# another product beside it is left alone, failing nothing.
tool save vela1-dock "$work/dock.cnf" >/dev/null
lab_address=$(value_of vela1-lab 1.1.1)
playbook file 'units: [vela1-lab, vela4-line-a]' "config_file: $work/dock.cnf" \
    'skip: ["0.1.1", "1.1.1"]' "backup_dir: $work/backups"
run check-file 1 0 file --check
expect "check mode keeps no backup" "$(find "$work/backups" -type f 2>/dev/null | wc -l)" 0
run first-file 1 0 file
expect "the file's value is written" "$(value_of vela1-lab 0.6.1)" "Playbook room"
expect "skipped rows are kept" "$(value_of vela1-lab 1.1.1)" "$lab_address"
expect "one backup" "$(find "$work/backups" -type f | wc -l)" 1
run second-file 0 0 file

# A unit that refuses fails the task with the tool's message.
playbook refusing 'units: [grumpy]' 'values: {"0.6.1": "Nowhere"}'
run refusing 0 1 refusing
grep -q 'refused' "$work/refusing.log" ||
    { echo "FAILED refusing: the tool's message is missing"; cat "$work/refusing.log"; failures=$((failures + 1)); }

# A unit whose name looks like an option.
playbook dash 'units: ["-gate"]' 'values: {"0.6.1": "Gate"}'
run dash 1 0 dash
expect "the value of -gate is written" "$(value_of -gate 0.6.1)" "Gate"

# A new password goes to the unit from standard input: no command line, no output shows it.
playbook login 'units: [vela1-dock]' 'values: {"2.1.2": "s3cret-new"}' 'login_id: admin' \
    'password: quorvane'
run check-login 1 0 login --check --diff
grep -q '02:4D:56:00:00:01 2.1.2 (.*): \*\*\*\*\*\*\*\*' "$work/check-login.log" ||
    { echo "FAILED check-login: the password row is not masked"; failures=$((failures + 1)); }
run first-login 1 0 login --diff
expect "the new password is the unit's" "$(value_of vela1-dock 2.1.2)" "s3cret-new"
run second-login 0 0 login
expect "no password in a command line or the output" \
    "$(cat "$work/argv.log" "$work"/*-login.log | grep -c -e s3cret-new -e quorvane)" 0

[[ $failures -eq 0 ]]
