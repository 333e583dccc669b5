# Scenarios of run_e2e.sh with a game hosted through the library, and the C
# host's: sourced by run_e2e.sh; they use its steps (e2e_steps.sh: lan,
# servers, browse, check, show_logs, expect_status) and its variables
# ($tmp, $mode, $root).

# host_game LOG PROGRAM ARGS...: runs a hosting program on the servers' side
# (from the top folder) and waits until it says "hosting".
host_game() {
    local log=$1 waited
    shift
    if [[ $mode == veth ]]; then
        (cd "$root" && exec ip netns exec "$NETLAN_SERVERS" "$@") >"$log" 2>&1 &
    else
        (cd "$root" && exec "$@") >"$log" 2>&1 &
    fi
    NETLAN_PIDS+=($!)
    for ((waited = 0; waited < 100; waited++)); do
        grep -q "^hosting" "$log" && return 0
        sleep 0.05
    done
    echo "FAILED: $1 did not start hosting"
    show_logs
    exit 1
}

# check_hosted JSON NAME: lanbrowse listed one game, NAME (check_hosted.py).
check_hosted() {
    python3 "$here/check_hosted.py" "$1" "$2" || { show_logs; exit 1; }
}

# The example game, hosting through the C++ interface.
scenario_hosted() {
    : "${HOSTGAME:?HOSTGAME must name the example game}"
    lan 1
    host_game "$tmp/hostgame.err" "$HOSTGAME" --seconds 60 --name "Hosted Example"
    browse hosted
    expect_status 0
    check_hosted "$tmp/hosted.json" "Hosted Example"
}

# The C host hosting through the C interface, listed by lanbrowse.
scenario_chosted() {
    : "${LANLIST:?LANLIST must name the C host}"
    lan 1
    host_game "$tmp/lanlist-host.err" "$LANLIST" --host "Hosted in C" --seconds 60 --player Ada --player Bo
    browse chosted
    expect_status 0
    check_hosted "$tmp/chosted.json" "Hosted in C"
}

# The C host lists lanserver's LAN (one silent server, one of another game):
# the table lanbrowse shows, whose records check_pass.py checks, pings aside.
scenario_clist() {
    : "${LANLIST:?LANLIST must name the C host}"
    local order=(--sort numplayers --descending --mode int)
    lan 12
    servers --servers 12 --silent 1 --other-game 1
    browse clist "${order[@]}"
    expect_status 0
    check --json "$tmp/clist.json"
    (cd "$root" && netlan_player "$LANBROWSE" "${order[@]}") >"$tmp/lanbrowse.txt" 2>"$tmp/lanbrowse.err" ||
        { echo "FAILED: lanbrowse's table"; show_logs; exit 1; }
    (cd "$root" && netlan_player "$LANLIST" "${order[@]}") >"$tmp/lanlist.txt" 2>"$tmp/lanlist.err" ||
        { echo "FAILED: lanlist exited $?"; show_logs; exit 1; }
    cat "$tmp/lanlist.txt"
    python3 "$here/same_table.py" "$tmp/lanbrowse.txt" "$tmp/lanlist.txt" || { show_logs; exit 1; }
    [[ $(grep -c . "$tmp/lanlist.txt") -eq 11 ]] || { echo "FAILED: lanlist did not list 10 servers"; exit 1; }
}
