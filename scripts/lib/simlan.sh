# Simulated LAN for the demo and the end-to-end tests; source it, don't run it.
#
# Two network namespaces joined by a veth pair: "servers" holds the game
# servers' addresses (10.77.0.10 upward), "player" holds the browsing host
# (10.77.200.1) with a route that sends 255.255.255.255 down the veth. The
# veth is created straight inside the namespaces, so nothing of it ever
# appears in the machine's own namespace, and broadcasts stay on the pair.
# Where namespaces cannot be made (not root), callers re-run themselves under
# "unshare -rn" and use simlan_loopback: one private namespace whose
# loopback carries the servers (127.0.0.2 upward) and the player (127.0.0.1).
#
# Sets: SIMLAN_MODE (veth or loopback), SIMLAN_SERVER_BASE (first server
# address), and in veth mode SIMLAN_SERVERS and SIMLAN_PLAYER (namespace
# names, unique per run) and SIMLAN_SERVERS_LINK and SIMLAN_PLAYER_LINK (the
# two ends of the veth).

SIMLAN_MODE=""
SIMLAN_SERVERS=""
SIMLAN_PLAYER=""
SIMLAN_SERVERS_LINK=""
SIMLAN_PLAYER_LINK=""
SIMLAN_SERVER_BASE=""
SIMLAN_PIDS=()
SIMLAN_NAMESPACES=()

# True when this shell can make named network namespaces.
simlan_can_use_veth() {
    [[ $(id -u) -eq 0 ]] && command -v ip >/dev/null || return 1
    local probe="simlan-probe-$$-$RANDOM"
    ip netns add "$probe" 2>/dev/null || return 1
    ip netns del "$probe"
}

# True when "unshare -rn" works here (user namespaces).
simlan_can_use_loopback() {
    command -v unshare >/dev/null && unshare -rn true 2>/dev/null
}

# simlan_choose NAME SCRIPT [ARGS...]: how this script makes its LAN. Sets
# SIMLAN_WANTED to veth (root can make named namespaces) or loopback (the
# script already runs inside "unshare -rn"). With neither, it re-runs
# SCRIPT ARGS inside "unshare -rn" where user namespaces work (and so does
# not return), saying so as NAME; else it fails.
simlan_choose() {
    local name=$1
    shift
    if [[ ${SIMLAN_INSIDE:-} == loopback ]]; then
        SIMLAN_WANTED=loopback
    elif simlan_can_use_veth; then
        SIMLAN_WANTED=veth
    elif simlan_can_use_loopback; then
        echo "$name: not root: servers and player share the loopback of a private user namespace"
        exec env SIMLAN_INSIDE=loopback unshare -rn "$@"
    else
        return 1
    fi
}

# simlan_on_exit DIR: when the script ends, its LAN (namespaces, veth,
# servers) and the folder DIR go; Ctrl-C ends it with 130, TERM with 143.
simlan_on_exit() {
    SIMLAN_TMP=$1
    trap 'simlan_down; rm -rf "$SIMLAN_TMP"' EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
}

# simlan_veth COUNT: makes the two namespaces and the veth, with COUNT server
# addresses on the servers' end. Fails (and cleans up) on any error.
simlan_veth() {
    local count=$1 id
    id=$(printf '%04x%02x' "$RANDOM" "$(($$ % 256))")
    SIMLAN_MODE=veth
    SIMLAN_SERVERS="lanjoin-servers-$id"
    SIMLAN_PLAYER="lanjoin-player-$id"
    SIMLAN_SERVER_BASE=10.77.0.10
    local vs="ljs$id" vp="ljp$id"
    SIMLAN_SERVERS_LINK=$vs
    SIMLAN_PLAYER_LINK=$vp
    simlan_namespace "$SIMLAN_SERVERS"
    simlan_namespace "$SIMLAN_PLAYER"
    ip link add "$vs" netns "$SIMLAN_SERVERS" type veth peer name "$vp" netns "$SIMLAN_PLAYER"
    simlan_server_addresses "$SIMLAN_SERVERS" "$vs" 77 "$count"
    ip -n "$SIMLAN_PLAYER" link set lo up
    ip -n "$SIMLAN_PLAYER" addr add 10.77.200.1/16 dev "$vp"
    ip -n "$SIMLAN_PLAYER" link set "$vp" up
    ip -n "$SIMLAN_PLAYER" route add 255.255.255.255/32 dev "$vp"
}

# simlan_namespace NAME: makes a namespace that simlan_down removes.
simlan_namespace() {
    ip netns add "$1"
    SIMLAN_NAMESPACES+=("$1")
}

# simlan_server_addresses NAMESPACE LINK NET COUNT: brings up the servers'
# end of a veth with 10.NET.0.1/16 and COUNT server addresses from
# 10.NET.0.10 upward.
simlan_server_addresses() {
    local ns=$1 link=$2 net=$3 count=$4 batch i
    batch=$(mktemp)
    {
        echo "link set lo up"
        echo "addr add 10.$net.0.1/16 dev $link"
        for ((i = 0; i < count; i++)); do
            echo "addr add 10.$net.$(((10 + i) / 256)).$(((10 + i) % 256))/16 dev $link"
        done
        echo "link set $link up"
    } >"$batch"
    ip -n "$ns" -batch "$batch"
    rm -f "$batch"
}

# simlan_segments COUNT_A COUNT_B: a player with three interfaces, as on a
# machine with a second network and a VPN: segment A (10.77.0.0/16, COUNT_A
# servers from 10.77.0.10, namespace SIMLAN_SERVERS), segment B
# (10.78.0.0/16, COUNT_B servers from 10.78.0.10, namespace
# SIMLAN_SERVERS_B), and a third link to an empty namespace (10.99.0.0/24)
# that holds the default route and the route for 255.255.255.255, so that
# a limited broadcast reaches neither segment.
simlan_segments() {
    local count_a=$1 count_b=$2 id ns link
    id=$(printf '%04x%02x' "$RANDOM" "$(($$ % 256))")
    SIMLAN_MODE=segments
    SIMLAN_SERVERS="lanjoin-servers-$id"
    SIMLAN_SERVERS_B="lanjoin-serversb-$id"
    SIMLAN_VPN="lanjoin-vpn-$id"
    SIMLAN_PLAYER="lanjoin-player-$id"
    SIMLAN_SERVER_BASE=10.77.0.10
    SIMLAN_SERVER_BASE_B=10.78.0.10
    SIMLAN_SERVERS_LINK="ljs$id"
    SIMLAN_SERVERS_B_LINK="ljb$id"
    SIMLAN_PLAYER_LINK="ljp$id"
    SIMLAN_PLAYER_B_LINK="ljq$id"
    SIMLAN_PLAYER_VPN_LINK="ljv$id"
    local vpn_end="ljw$id"
    for ns in "$SIMLAN_SERVERS" "$SIMLAN_SERVERS_B" "$SIMLAN_VPN" "$SIMLAN_PLAYER"; do simlan_namespace "$ns"; done
    ip link add "$SIMLAN_SERVERS_LINK" netns "$SIMLAN_SERVERS" type veth peer name "$SIMLAN_PLAYER_LINK" netns "$SIMLAN_PLAYER"
    ip link add "$SIMLAN_SERVERS_B_LINK" netns "$SIMLAN_SERVERS_B" type veth peer name "$SIMLAN_PLAYER_B_LINK" \
        netns "$SIMLAN_PLAYER"
    ip link add "$vpn_end" netns "$SIMLAN_VPN" type veth peer name "$SIMLAN_PLAYER_VPN_LINK" netns "$SIMLAN_PLAYER"
    simlan_server_addresses "$SIMLAN_SERVERS" "$SIMLAN_SERVERS_LINK" 77 "$count_a"
    simlan_server_addresses "$SIMLAN_SERVERS_B" "$SIMLAN_SERVERS_B_LINK" 78 "$count_b"
    ip -n "$SIMLAN_VPN" link set lo up
    ip -n "$SIMLAN_VPN" addr add 10.99.0.1/24 dev "$vpn_end"
    ip -n "$SIMLAN_VPN" link set "$vpn_end" up
    ip -n "$SIMLAN_PLAYER" link set lo up
    ip -n "$SIMLAN_PLAYER" addr add 10.77.200.1/16 broadcast + dev "$SIMLAN_PLAYER_LINK"
    ip -n "$SIMLAN_PLAYER" addr add 10.78.200.1/16 broadcast + dev "$SIMLAN_PLAYER_B_LINK"
    ip -n "$SIMLAN_PLAYER" addr add 10.99.0.2/24 broadcast + dev "$SIMLAN_PLAYER_VPN_LINK"
    for link in "$SIMLAN_PLAYER_LINK" "$SIMLAN_PLAYER_B_LINK" "$SIMLAN_PLAYER_VPN_LINK"; do
        ip -n "$SIMLAN_PLAYER" link set "$link" up
    done
    ip -n "$SIMLAN_PLAYER" route add default via 10.99.0.1 dev "$SIMLAN_PLAYER_VPN_LINK"
    ip -n "$SIMLAN_PLAYER" route add 255.255.255.255/32 dev "$SIMLAN_PLAYER_VPN_LINK"
}

# simlan_loss PERCENT: every frame leaving an end of a veth between servers
# and player (both ends, every segment) is dropped with that chance, by an
# nftables rule on the link's egress inside its own namespace (the kernel
# may lack netem); the machine's own interfaces are never touched.
simlan_loss() {
    local percent=$1 i
    command -v nft >/dev/null || { echo "nft (nftables) is needed for loss" >&2; return 1; }
    local ends=("$SIMLAN_SERVERS" "$SIMLAN_SERVERS_LINK" "$SIMLAN_PLAYER" "$SIMLAN_PLAYER_LINK")
    if [[ $SIMLAN_MODE == segments ]]; then
        ends+=("$SIMLAN_SERVERS_B" "$SIMLAN_SERVERS_B_LINK" "$SIMLAN_PLAYER" "$SIMLAN_PLAYER_B_LINK")
    fi
    for ((i = 0; i < ${#ends[@]}; i += 2)); do
        # A rule set before is replaced; 0 % leaves none.
        ip netns exec "${ends[i]}" nft delete table netdev "simlan_loss_${ends[i + 1]}" 2>/dev/null || true
        ((percent > 0)) || continue
        printf 'table netdev simlan_loss_%s {\n chain egress {\n  type filter hook egress device "%s" priority 0; policy accept;\n  numgen random mod 100 < %d drop\n }\n}\n' \
            "${ends[i + 1]}" "${ends[i + 1]}" "$percent" | ip netns exec "${ends[i]}" nft -f -
    done
}

# simlan_known_neighbours COUNT: the player knows the link address of the
# first COUNT servers and they know the player's, as on a LAN where each
# server is a machine of its own that asks for the player's address when it
# answers the broadcast (and so tells its own). On the veth all servers
# share one end, which asks once: without this the player resolves every
# server itself, and on a lossy link those requests are lost too.
simlan_known_neighbours() {
    local count=$1 i servers_mac player_mac
    servers_mac=$(ip -n "$SIMLAN_SERVERS" link show "$SIMLAN_SERVERS_LINK" | sed -n 's/.*link\/ether \([^ ]*\).*/\1/p')
    player_mac=$(ip -n "$SIMLAN_PLAYER" link show "$SIMLAN_PLAYER_LINK" | sed -n 's/.*link\/ether \([^ ]*\).*/\1/p')
    for ((i = 0; i < count; i++)); do
        echo "neigh replace 10.77.$(((10 + i) / 256)).$(((10 + i) % 256)) lladdr $servers_mac dev $SIMLAN_PLAYER_LINK nud permanent"
    done | ip -n "$SIMLAN_PLAYER" -batch -
    ip -n "$SIMLAN_SERVERS" neigh replace 10.77.200.1 lladdr "$player_mac" dev "$SIMLAN_SERVERS_LINK" nud permanent
}

# simlan_forget_neighbours: the player and the servers know no link address.
simlan_forget_neighbours() {
    ip -n "$SIMLAN_PLAYER" neigh flush all
    ip -n "$SIMLAN_SERVERS" neigh flush all
}

# simlan_count_udp: counts from now on the UDP datagrams the player sends:
# all of them (simlan_udp_sent), and those sent to one server's game port
# rather than to a broadcast address of the simulated LAN's networks, the
# queries (simlan_queries_sent).
simlan_count_udp() {
    ip netns exec "$SIMLAN_PLAYER" nft delete table inet simlan_count 2>/dev/null || true
    printf 'table inet simlan_count {\n chain out {\n  type filter hook output priority 0; policy accept;\n  meta l4proto udp counter\n  udp dport 22000-22010 ip daddr != { 255.255.255.255, 10.77.255.255, 10.78.255.255, 10.99.0.255 } counter\n }\n}\n' |
        ip netns exec "$SIMLAN_PLAYER" nft -f -
}
simlan_udp_sent() {
    ip netns exec "$SIMLAN_PLAYER" nft list table inet simlan_count | sed -n 's/.*counter packets \([0-9]*\).*/\1/p' | sed -n 1p
}
simlan_queries_sent() {
    ip netns exec "$SIMLAN_PLAYER" nft list table inet simlan_count | sed -n 's/.*counter packets \([0-9]*\).*/\1/p' | sed -n 2p
}

# simlan_loopback: inside a private network namespace (unshare -n or -rn),
# brings the loopback up and keeps broadcasts on it.
simlan_loopback() {
    SIMLAN_MODE=loopback
    SIMLAN_SERVER_BASE=127.0.0.2
    ip link set lo up
    ip route add broadcast 255.255.255.255 dev lo table local
}

# simlan_contained: true when nothing sent on the simulated LAN can leave
# it. In veth mode each namespace holds only its loopback and its end of the
# veth, and the player's broadcasts go down the veth; in loopback mode this
# shell's namespace holds only its loopback. Says why when false.
simlan_contained() {
    local route
    if [[ $SIMLAN_MODE == veth ]]; then
        simlan_links_are "$SIMLAN_SERVERS" lo "$SIMLAN_SERVERS_LINK" &&
            simlan_links_are "$SIMLAN_PLAYER" lo "$SIMLAN_PLAYER_LINK" || return 1
        route=$(ip -n "$SIMLAN_PLAYER" route get 255.255.255.255)
        [[ $route == *" dev $SIMLAN_PLAYER_LINK "* ]] ||
            { echo "broadcasts from $SIMLAN_PLAYER take: $route" >&2; return 1; }
    elif [[ $SIMLAN_MODE == segments ]]; then
        simlan_links_are "$SIMLAN_SERVERS" lo "$SIMLAN_SERVERS_LINK" &&
            simlan_links_are "$SIMLAN_SERVERS_B" lo "$SIMLAN_SERVERS_B_LINK" &&
            simlan_links_are "$SIMLAN_PLAYER" lo "$SIMLAN_PLAYER_LINK" "$SIMLAN_PLAYER_B_LINK" \
                "$SIMLAN_PLAYER_VPN_LINK" || return 1
        route=$(ip -n "$SIMLAN_PLAYER" route get 255.255.255.255)
        [[ $route == *" dev $SIMLAN_PLAYER_VPN_LINK "* ]] ||
            { echo "broadcasts from $SIMLAN_PLAYER take: $route" >&2; return 1; }
    elif [[ $SIMLAN_MODE == loopback ]]; then
        simlan_links_are "" lo
    else
        echo "no simulated LAN is up" >&2
        return 1
    fi
}

# simlan_links_are NAMESPACE LINK...: true when the namespace (this shell's
# when NAMESPACE is empty) holds exactly the links named.
simlan_links_are() {
    local ns=$1 actual wanted
    shift
    actual=$(ip ${ns:+-n "$ns"} -o link show | awk -F': ' '{sub(/@.*/, "", $2); print $2}' | sort | xargs)
    wanted=$(printf '%s\n' "$@" | sort | xargs)
    [[ $actual == "$wanted" ]] || { echo "namespace ${ns:-of this shell} holds links: $actual" >&2; return 1; }
}

# Runs a command on the servers' side or the player's side.
simlan_servers() {
    if [[ $SIMLAN_MODE != loopback ]]; then ip netns exec "$SIMLAN_SERVERS" "$@"; else "$@"; fi
}
simlan_player() {
    if [[ $SIMLAN_MODE != loopback ]]; then ip netns exec "$SIMLAN_PLAYER" "$@"; else "$@"; fi
}

# simlan_start_servers READY_FILE ARGS...: starts lanserver ($LANSERVER) in
# the background on the servers' side and waits (at most 10 s) until it has
# bound every socket. Fails when it exits or never gets ready.
simlan_start_servers() {
    simlan_start_servers_in "$SIMLAN_SERVERS" "$SIMLAN_SERVER_BASE" "$@"
}

# simlan_start_servers_in NAMESPACE FIRST_ADDRESS READY_FILE ARGS...: the
# same in a namespace of the LAN's choosing (with segments: the second one).
simlan_start_servers_in() {
    local ns=$1 base=$2 ready=$3
    shift 3
    rm -f "$ready"
    # Started directly (not through a function), so that $! is lanserver
    # itself ("ip netns exec" execs it) and killing it stops the servers.
    if [[ $SIMLAN_MODE != loopback ]]; then
        ip netns exec "$ns" "$LANSERVER" --addresses "$base" --ready-file "$ready" "$@" &
    else
        "$LANSERVER" --addresses "$base" --ready-file "$ready" "$@" &
    fi
    SIMLAN_PIDS+=($!)
    local waited
    for ((waited = 0; waited < 200; waited++)); do
        [[ -f $ready ]] && return 0
        kill -0 "${SIMLAN_PIDS[-1]}" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

# Stops the servers started here (and waits for them), keeping the
# namespaces for the next simlan_start_servers.
simlan_stop_servers() {
    local pid
    for pid in "${SIMLAN_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${SIMLAN_PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    SIMLAN_PIDS=()
}

# Stops what was started here and removes the namespaces (and so the veth).
# Safe to call more than once.
simlan_down() {
    simlan_stop_servers
    local ns
    for ns in "${SIMLAN_NAMESPACES[@]}"; do
        ip netns del "$ns" 2>/dev/null || true
    done
    SIMLAN_NAMESPACES=()
    SIMLAN_MODE=""
    SIMLAN_SERVERS_LINK=""
    SIMLAN_PLAYER_LINK=""
}
