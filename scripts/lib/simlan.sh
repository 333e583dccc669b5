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
    ip netns add "$SIMLAN_SERVERS"
    ip netns add "$SIMLAN_PLAYER"
    ip link add "$vs" netns "$SIMLAN_SERVERS" type veth peer name "$vp" netns "$SIMLAN_PLAYER"
    local batch
    batch=$(mktemp)
    {
        echo "link set lo up"
        echo "addr add 10.77.0.1/16 dev $vs"
        local i
        for ((i = 0; i < count; i++)); do
            echo "addr add 10.77.$(((10 + i) / 256)).$(((10 + i) % 256))/16 dev $vs"
        done
        echo "link set $vs up"
    } >"$batch"
    ip -n "$SIMLAN_SERVERS" -batch "$batch"
    rm -f "$batch"
    ip -n "$SIMLAN_PLAYER" link set lo up
    ip -n "$SIMLAN_PLAYER" addr add 10.77.200.1/16 dev "$vp"
    ip -n "$SIMLAN_PLAYER" link set "$vp" up
    ip -n "$SIMLAN_PLAYER" route add 255.255.255.255/32 dev "$vp"
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
    if [[ $SIMLAN_MODE == veth ]]; then ip netns exec "$SIMLAN_SERVERS" "$@"; else "$@"; fi
}
simlan_player() {
    if [[ $SIMLAN_MODE == veth ]]; then ip netns exec "$SIMLAN_PLAYER" "$@"; else "$@"; fi
}

# simlan_start_servers READY_FILE ARGS...: starts lanserver ($LANSERVER) in
# the background on the servers' side and waits (at most 10 s) until it has
# bound every socket. Fails when it exits or never gets ready.
simlan_start_servers() {
    local ready=$1
    shift
    rm -f "$ready"
    # Started directly (not through a function), so that $! is lanserver
    # itself ("ip netns exec" execs it) and killing it stops the servers.
    if [[ $SIMLAN_MODE == veth ]]; then
        ip netns exec "$SIMLAN_SERVERS" "$LANSERVER" --addresses "$SIMLAN_SERVER_BASE" --ready-file "$ready" "$@" &
    else
        "$LANSERVER" --addresses "$SIMLAN_SERVER_BASE" --ready-file "$ready" "$@" &
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
    if [[ $SIMLAN_MODE == veth ]]; then
        [[ -n $SIMLAN_SERVERS ]] && ip netns del "$SIMLAN_SERVERS" 2>/dev/null || true
        [[ -n $SIMLAN_PLAYER ]] && ip netns del "$SIMLAN_PLAYER" 2>/dev/null || true
    fi
    SIMLAN_MODE=""
    SIMLAN_SERVERS_LINK=""
    SIMLAN_PLAYER_LINK=""
}
