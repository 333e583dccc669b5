# The "live" end-to-end scenario, sourced by run_e2e.sh: a live list open
# for 30 s while servers come and go around it. Old servers (no
# announcements) are there from the start; two servers that announce start
# 2 s in and say goodbye 5 s later; one old server starts 3 s in and stops
# 6 s later without a word. check_live.py reads the events.

# addr_plus ADDRESS N: the IPv4 address N above ADDRESS.
addr_plus() {
    local a b c d
    IFS=. read -r a b c d <<<"$1"
    local n=$(( (a << 24 | b << 16 | c << 8 | d) + $2 ))
    echo "$(( n >> 24 & 255 )).$(( n >> 16 & 255 )).$(( n >> 8 & 255 )).$(( n & 255 ))"
}

now_ms() { date +%s%3N; }

live_scenario() {
    lan 16
    servers --servers 10 --silent 1
    local opened announcing old
    opened=$(now_ms)
    (cd "$root" && netlan_player "$LANBROWSE" --live --json --trace --duration 30) >"$tmp/live.json" 2>"$tmp/live.err" &
    local browser=$!
    sleep 2
    announcing=$(now_ms)
    netlan_start_servers_in "${NETLAN_SERVERS:-}" "$(addr_plus "$NETLAN_SERVER_BASE" 12)" "$tmp/ready-b" --servers 2 \
        --seed 5 --announce --duration 5 --manifest "$tmp/announcing.json" >"$tmp/lanserver-b.log" ||
        { echo "the announcing lanserver did not start" >&2; exit 1; }
    sleep 1
    old=$(now_ms)
    netlan_start_servers_in "${NETLAN_SERVERS:-}" "$(addr_plus "$NETLAN_SERVER_BASE" 15)" "$tmp/ready-c" --servers 1 \
        --seed 6 --duration 6 --manifest "$tmp/old.json" >"$tmp/lanserver-c.log" ||
        { echo "the second lanserver did not start" >&2; exit 1; }
    status=0
    wait "$browser" || status=$?
    echo "lanbrowse --live --duration 30: exit $status"
    expect_status 0
    python3 "$here/check_live.py" --events "$tmp/live.json" --manifest "$tmp/servers.json" \
        --announcing "$tmp/announcing.json" --announcing-at $((announcing - opened)) \
        --old "$tmp/old.json" --old-at $((old - opened)) || { show_logs; exit 1; }
}
