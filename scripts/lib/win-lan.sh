# The Windows suite's LAN check (scripts/test-windows.sh): lanbrowse.exe and
# lanlist.exe under Wine on a namespaced LAN of lanserver's servers.

# lanbrowse.exe under Wine on a namespaced LAN: one namespace holds twelve
# servers of the native lanserver (one silent, one of another game, as in
# scripts/demo.sh), the other the player, joined by a veth pair. The
# player's namespace gets its own wineserver, since the Wine server creates
# the sockets: the prefix's server is stopped first, one is started inside
# and checked to be there before any Windows program runs. The Windows run
# must find exactly the servers expected, with every value as the key map
# maps it (check_pass.py), and show the table native lanbrowse shows on the
# same LAN, pings aside (same_table.py). Counts as one test.
lan_tmp=""
check_lan() {
    step "lanbrowse.exe under Wine finds lanserver's servers across a veth pair"
    local status=0 c_status=1
    export C_HOST=$build/examples/lanlist/lanlist.exe LANBROWSE_NATIVE=$native/tools/lanbrowse/lanbrowse
    lan_check || status=$?
    if [[ $status -eq 0 ]]; then
        step "lanlist.exe (C) under Wine lists the same LAN and hosts a game that lanbrowse lists"
        c_status=0
        win_c_host_lan "$lan_tmp" || c_status=$?
    fi
    netlan_down
    count_check "LAN check" "$status"
    count_check "C host LAN check" "$c_status"
}

lan_check() {
    local browse=(--sort numplayers --descending --mode int)
    local exe=$build/tools/lanbrowse/lanbrowse.exe
    LANSERVER=$native/tools/lanserver/lanserver
    if ! netlan_can_use_veth; then
        echo "cannot make network namespaces (needs root); nothing is ever broadcast outside them" >&2
        return 1
    fi
    lan_tmp=$(mktemp -d)
    wineserver -k 2>/dev/null || true
    wineserver -w
    netlan_veth 12
    netlan_contained || { echo "the namespaced LAN is not closed: nothing sent" >&2; return 1; }
    echo "servers in $NETLAN_SERVERS, player in $NETLAN_PLAYER"
    netlan_start_servers "$lan_tmp/ready" --servers 12 --silent 1 --other-game 1 --duration 120 --quiet \
        --manifest "$lan_tmp/servers.json" || { echo "lanserver did not start" >&2; return 1; }
    # From the top folder, where the key map is.
    (cd "$root" && timeout 180 ip netns exec "$NETLAN_PLAYER" "$root/scripts/lib/wine-in-namespace.sh" \
        "$NETLAN_PLAYER" "$exe" "$native/tools/lanbrowse/lanbrowse" "$lan_tmp" "${browse[@]}") ||
        { echo "a run failed" >&2; tail -n 20 "$lan_tmp"/*.err >&2; return 1; }
    echo "lanbrowse.exe ${browse[*]}, under Wine:"
    tr -d '\r' <"$lan_tmp/windows.txt"
    python3 "$root/tests/e2e/check_pass.py" --manifest "$lan_tmp/servers.json" \
        --key-map "$root/MultiplayerServers/VelnarKeyMap.ini" --json "$lan_tmp/windows.json" || return 1
    python3 "$root/tests/e2e/same_table.py" "$lan_tmp/native.txt" "$lan_tmp/windows.txt" || {
        echo "native lanbrowse showed:"
        cat "$lan_tmp/native.txt"
        return 1
    }
}
