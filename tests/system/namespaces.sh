# shellcheck shell=bash
# The sourcing test sets cli, sim and demo from its arguments.
# shellcheck disable=SC2154
# Shared by the namespace system tests (sourced, not run). A test calls
#   enter_own_namespace "$0" "$@"
# first: it runs again inside a network, UTS and mount namespace of its own, so that nothing it
# sends can leave this machine, or reports itself skipped (exit 77) where that cannot be done.
# Inside, unit_network makes a network of its own for units: a veth pair whose far end lives in
# a further network namespace, held by a sleeping process, where start_units runs morvik-sim.

enter_own_namespace() {
    local script=$1
    shift
    if [[ ${MORVIK_IN_NAMESPACE:-} == 1 ]]; then
        work=$(mktemp -d)
        chmod 755 "$work"
        holders=()
        sims=()
        trap 'stop_all' EXIT
        setup ip link set lo up
        return
    fi
    if ! unshare --net --uts --mount true 2>/dev/null; then
        echo "SKIPPED: cannot create network namespaces here (needs root or user namespaces)"
        exit 77
    fi
    exec env -u MORVIK_DEVICE_PORT -u MORVIK_BROADCAST_ADDRESS -u MORVIK_HOST_ADDRESS \
        MORVIK_IN_NAMESPACE=1 unshare --net --uts --mount --propagation private "$script" "$@"
}

stop_all() {
    local pid
    for pid in "${sims[@]}" "${holders[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}

# A machine that lets us make the namespace may still refuse parts of it (no veth driver, no
# mounts in a container): that is a skip, not a failure of the tool.
setup() {
    "$@" || {
        echo "SKIPPED: the namespace cannot be set up here: '$*' failed"
        exit 77
    }
}

declare -A network_pid

# unit_network NAME HOST_LINK HOST_ADDRESS/PREFIX UNIT_ADDRESS/PREFIX...
# The host's end keeps HOST_LINK; the units' end is "u-HOST_LINK" with the unit addresses. A
# NAME used again adds a further link to the same network of units (a bridged network).
unit_network() {
    local name=$1 link=$2 host_address=$3
    shift 3
    local first=0
    if [[ -z ${network_pid[$name]:-} ]]; then
        first=1
        unshare --net sleep 600 &
        local pid=$!
        holders+=("$pid")
        network_pid[$name]=$pid
        for _ in $(seq 50); do
            [[ $(readlink "/proc/$pid/ns/net") != $(readlink /proc/self/ns/net) ]] && break
            sleep 0.02
        done
    fi
    setup ip link add "$link" type veth peer name "u-$link" netns "${network_pid[$name]}"
    setup ip addr add "$host_address" dev "$link"
    setup ip link set "$link" up
    setup in_network "$name" ip link set lo up
    local address
    for address in "$@"; do
        setup in_network "$name" ip addr add "$address" dev "u-$link"
    done
    setup in_network "$name" ip link set "u-$link" up
    if ((first)); then
        # Units answer the host whatever their own address.
        setup in_network "$name" ip route add default dev "u-$link"
    fi
}

in_network() {
    local name=$1
    shift
    nsenter --net="/proc/${network_pid[$name]}/ns/net" "$@"
}

# start_units NAME FLEET_FILE: morvik-sim on port 2002 in network NAME, with the data of
# "$work/data".
start_units() {
    local name=$1 fleet=$2
    # Exec'd, so that "$!" is the simulator itself and stop_all ends it: killing a subshell
    # around it would leave it running in its namespace.
    (exec nsenter --net="/proc/${network_pid[$name]}/ns/net" "$sim" --data-dir "$work/data" \
        --fleet "$fleet" --allow-non-loopback) >"$work/sim-$name.out" 2>"$work/sim-$name.err" &
    sims+=("$!")
    for _ in $(seq 100); do
        grep -q '^ready' "$work/sim-$name.out" 2>/dev/null && break
        sleep 0.05
    done
    grep -q '^ready port=2002' "$work/sim-$name.out" || {
        cat "$work/sim-$name.err"
        echo "FAILED: the simulator of network $name did not start"
        exit 1
    }
}

# The host's name resolves to ADDRESS (127.0.1.1 as Debian and Ubuntu install it).
host_name_resolves_to() {
    setup hostname morvik-host
    printf '127.0.0.1 localhost\n%s morvik-host\n' "$1" >"$work/hosts"
    setup mount --bind "$work/hosts" /etc/hosts
    setup test "$(getent hosts morvik-host | awk '{print $1}')" = "$1"
}

# Runs the command as an unprivileged user where the build can be reached by one; the rest of
# the test needs root only to build the namespace.
unprivileged() {
    if setpriv --reuid=65534 --regid=65534 --clear-groups test -x "$cli" 2>/dev/null; then
        setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
    else
        echo "(as root: user 65534 cannot reach $cli)" >&2
        "$@"
    fi
}

# Squeezed JSON, for greps.
squeezed() {
    tr -d ' \n' <"$1"
}

# A document is valid only if Python's json reads it with the bytes decoded as strict UTF-8.
strict_json() {
    python3 -c 'import json, sys; json.loads(open(sys.argv[1], "rb").read().decode("utf-8"))' "$1"
}
