# The steps of run_e2e.sh's scenarios: making the LAN, starting lanserver,
# running lanbrowse and checking its JSON. Sourced by run_e2e.sh; they use
# its variables ($tmp, $mode, $root, $here, $status).

# lan COUNT: the namespaced LAN for COUNT server addresses. On the veth the
# link addresses are set by hand (as each server would resolve the player),
# so no run needs room in the kernel's neighbour table, which all namespaces
# share and other runs may fill, nor resolution over a lossy link.
lan() {
    if [[ $mode == veth ]]; then netlan_veth "$1"; netlan_known_neighbours "$1"; else netlan_loopback; fi
}

# servers ARGS...: starts lanserver, its summary going to $tmp/lanserver.log.
servers() {
    netlan_start_servers "$tmp/ready" --manifest "$tmp/servers.json" --duration 90 "$@" >"$tmp/lanserver.log" ||
        { echo "lanserver did not start" >&2; exit 1; }
}

# browse NAME ARGS...: runs lanbrowse on the player's side (from the top
# folder, for the key map); JSON to $tmp/NAME.json, its exit code to
# $status, and to $tmp/NAME.json.waited how long the machine kept it and
# the servers from running (check_pass.py widens its time bounds by it).
browse() {
    local name=$1 player=()
    shift
    [[ $NETLAN_MODE == loopback ]] || player=(ip netns exec "$NETLAN_PLAYER")
    status=0
    (cd "$root" && exec python3 "$here/run_measured.py" --out "$tmp/$name.json" --err "$tmp/$name.err" \
        --waited "$tmp/$name.json.waited" --also "${NETLAN_PIDS[@]}" -- "${player[@]}" "$LANBROWSE" --json --trace "$@") ||
        status=$?
    echo "lanbrowse ($name) $*: exit $status, kept waiting $(<"$tmp/$name.json.waited") ms"
}

check() {
    python3 "$here/check_pass.py" --manifest "$tmp/servers.json" \
        --key-map "$root/MultiplayerServers/VelnarKeyMap.ini" "$@" || { show_logs; exit 1; }
}

show_logs() {
    local f
    echo "--- load average: $(cat /proc/loadavg)"
    for f in "$tmp"/*.err "$tmp"/lanserver.log; do
        [[ -f $f ]] && { echo "--- $(basename "$f")"; tail -n 40 "$f"; }
    done
}

expect_status() {
    [[ $status -eq $1 ]] || { echo "FAILED: lanbrowse exited $status, expected $1"; show_logs; exit 1; }
}

# unanswered: the queries that lanserver's silent servers left unanswered.
unanswered() {
    netlan_down
    sed -n 's/.*left \([0-9]*\) queries unanswered.*/\1/p' "$tmp/lanserver.log"
}
