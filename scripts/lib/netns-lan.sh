# A LAN of network namespaces for the demo, the end-to-end tests and the
# benchmarks: real sockets on a network of their own; source it, don't run
# it. (The in-memory platform of the tests, the simulated LAN, is simlan/.)
#
# Two network namespaces joined by a veth pair: "servers" holds the game
# servers' addresses (10.77.0.10 upward), "player" holds the browsing host
# (10.77.200.1) with a route that sends 255.255.255.255 down the veth. The
# veth is created straight inside the namespaces, so nothing of it ever
# appears in the machine's own namespace, and broadcasts stay on the pair.
# Where namespaces cannot be made (not root), callers re-run themselves under
# "unshare -rn" and use netlan_loopback: one private namespace whose
# loopback carries the servers (127.0.0.2 upward) and the player (127.0.0.1).
#
# Sets: NETLAN_MODE (veth, segments or loopback), NETLAN_SERVER_BASE (first
# server address), and in veth mode NETLAN_SERVERS and NETLAN_PLAYER
# (namespace names, unique per run) and NETLAN_SERVERS_LINK and
# NETLAN_PLAYER_LINK (the two ends of the veth).
#
# The pieces: netns-lan-make.sh (the namespaces, veth pairs and segments),
# netns-lan-run.sh (running lanserver and commands on either side),
# netns-lan-links.sh (loss and link addresses), netns-lan-check.sh (that
# nothing can leave); benchmarks add netns-lan-bench.sh (counting what the
# player sends).

NETLAN_MODE=""
NETLAN_SERVERS=""
NETLAN_PLAYER=""
NETLAN_SERVERS_LINK=""
NETLAN_PLAYER_LINK=""
NETLAN_SERVER_BASE=""
NETLAN_PIDS=()
NETLAN_NAMESPACES=()

netlan_dir=$(dirname "${BASH_SOURCE[0]}")
source "$netlan_dir/netns-lan-make.sh"
source "$netlan_dir/netns-lan-run.sh"
source "$netlan_dir/netns-lan-links.sh"
source "$netlan_dir/netns-lan-check.sh"

# True when this shell can make named network namespaces.
netlan_can_use_veth() {
    [[ $(id -u) -eq 0 ]] && command -v ip >/dev/null || return 1
    local probe="netlan-probe-$$-$RANDOM"
    ip netns add "$probe" 2>/dev/null || return 1
    ip netns del "$probe"
}

# True when "unshare -rn" works here (user namespaces).
netlan_can_use_loopback() {
    command -v unshare >/dev/null && unshare -rn true 2>/dev/null
}

# netlan_choose NAME SCRIPT [ARGS...]: how this script makes its LAN. Sets
# NETLAN_WANTED to veth (root can make named namespaces) or loopback (the
# script already runs inside "unshare -rn"). With neither, it re-runs
# SCRIPT ARGS inside "unshare -rn" where user namespaces work (and so does
# not return), saying so as NAME; else it fails.
netlan_choose() {
    local name=$1
    shift
    if [[ ${NETLAN_INSIDE:-} == loopback ]]; then
        NETLAN_WANTED=loopback
    elif netlan_can_use_veth; then
        NETLAN_WANTED=veth
    elif netlan_can_use_loopback; then
        echo "$name: not root: servers and player share the loopback of a private user namespace"
        exec env NETLAN_INSIDE=loopback unshare -rn "$@"
    else
        return 1
    fi
}

# netlan_on_exit DIR: when the script ends, its LAN (namespaces, veth,
# servers) and the folder DIR go; Ctrl-C ends it with 130, TERM with 143.
netlan_on_exit() {
    NETLAN_TMP=$1
    trap 'netlan_down; rm -rf "$NETLAN_TMP"' EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

# netlan_loopback: inside a private network namespace (unshare -n or -rn),
# brings the loopback up and keeps broadcasts on it. The route names its
# source: without it broadcasts leave from 0.0.0.0, and a hosted game's
# announcements and goodbye would not come from the address it answers from.
netlan_loopback() {
    NETLAN_MODE=loopback
    NETLAN_SERVER_BASE=127.0.0.2
    ip link set lo up
    ip route add broadcast 255.255.255.255 dev lo table local src 127.0.0.1
}

# Stops what was started here and removes the namespaces (and so the veth).
# Safe to call more than once.
netlan_down() {
    netlan_stop_servers
    local ns
    for ns in "${NETLAN_NAMESPACES[@]}"; do
        ip netns del "$ns" 2>/dev/null || true
    done
    NETLAN_NAMESPACES=()
    NETLAN_MODE=""
    NETLAN_SERVERS_LINK=""
    NETLAN_PLAYER_LINK=""
}
