# Running on the namespaced LAN: a command on either side, lanserver's
# servers started and stopped. Sourced by netns-lan.sh.

# Runs a command on the servers' side or the player's side.
netlan_servers() {
    if [[ $NETLAN_MODE != loopback ]]; then ip netns exec "$NETLAN_SERVERS" "$@"; else "$@"; fi
}
netlan_player() {
    if [[ $NETLAN_MODE != loopback ]]; then ip netns exec "$NETLAN_PLAYER" "$@"; else "$@"; fi
}

# netlan_start_servers READY_FILE ARGS...: starts lanserver ($LANSERVER) in
# the background on the servers' side and waits (at most 10 s) until it has
# bound every socket. Fails when it exits or never gets ready.
netlan_start_servers() {
    netlan_start_servers_in "$NETLAN_SERVERS" "$NETLAN_SERVER_BASE" "$@"
}

# netlan_start_servers_in NAMESPACE FIRST_ADDRESS READY_FILE ARGS...: the
# same in a namespace of the LAN's choosing (with segments: the second one).
netlan_start_servers_in() {
    local ns=$1 base=$2 ready=$3
    shift 3
    rm -f "$ready"
    # Started directly (not through a function), so that $! is lanserver
    # itself ("ip netns exec" execs it) and killing it stops the servers.
    if [[ $NETLAN_MODE != loopback ]]; then
        ip netns exec "$ns" "$LANSERVER" --addresses "$base" --ready-file "$ready" "$@" &
    else
        "$LANSERVER" --addresses "$base" --ready-file "$ready" "$@" &
    fi
    NETLAN_PIDS+=($!)
    local waited
    for ((waited = 0; waited < 200; waited++)); do
        [[ -f $ready ]] && return 0
        kill -0 "${NETLAN_PIDS[-1]}" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

# Stops the servers started here (and waits for them), keeping the
# namespaces for the next netlan_start_servers.
netlan_stop_servers() {
    local pid
    for pid in "${NETLAN_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${NETLAN_PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    NETLAN_PIDS=()
}
