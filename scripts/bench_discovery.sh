#!/usr/bin/env bash
# The discovery benchmark, run by scripts/bench.sh --discovery: how many of
# the servers running are listed, per condition, over several passes, with
# the pass time and the datagrams the player sent per pass, for the browser
# as it is ("after") beside the browser as it was ("before": the programs of
# the earlier revision's build, made by scripts/bench.sh), measured in the
# same run:
# - real sockets on a namespaced LAN (scripts/lib/netns-lan.sh), lanbrowse
#   against lanserver: loss of 0, 1, 5, 10 and 20 % of the frames both ways
#   (an nftables rule on each veth end; at 10 and 20 % also with the link
#   addresses known, see netlan_known_neighbours), bursts of 100 to 1000 servers
#   answering at once over the 11 ports and all on one port (also with the
#   system's default receive buffer, lanbrowse --receive-buffer 0, and with a
#   16 ms step), and a player with two networks and a third interface
#   holding the default route;
# - the simulated LAN (brenn_discovery_sim): bursty loss, duplication and
#   reordering, every listed record compared with the clean LAN's ("before"
#   only when the earlier revision has brenn_discovery_sim).
# Prints the table of scripts/discovery_table.py.
#   scripts/bench_discovery.sh BUILD_DIR BEFORE_BUILD_DIR [PASSES] [JSON_LINES_FILE]
# PASSES (default 10) is the passes per loss case; bursts and segments run
# a third of it (at least 2). Needs root for the namespaces and skips with a
# message otherwise; it never broadcasts outside the namespaces it made and
# removes them at the end, also on Ctrl-C.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$1
before=$2
passes=${3:-10}
keep=${4:-}
LANSERVER="$build/tools/lanserver/lanserver"
declare -A browse=([after]="$build/tools/lanbrowse/lanbrowse" [before]="$before/tools/lanbrowse/lanbrowse")
few=$((passes / 3 > 2 ? passes / 3 : 2))

source "$root/scripts/lib/netns-lan.sh"
source "$root/scripts/lib/netns-lan-bench.sh"
tmp=$(mktemp -d)
netlan_on_exit "$tmp"

results="$tmp/discovery.jsonl"
"$build/bench/brenn_discovery_sim" --servers 100 --passes "$passes" --mode after >"$results"
# An earlier revision's program labels its own passes; only its "before"
# ones count (a revision that had both behaviours prints both).
if [[ -x $before/bench/brenn_discovery_sim ]]; then
    "$before/bench/brenn_discovery_sim" --servers 100 --passes "$passes" --mode before |
        grep '"mode": "before"' >>"$results" || true
fi

if ! netlan_can_use_veth || ! command -v nft >/dev/null; then
    echo "discovery: the real-socket cases are skipped: they need root and nftables for their namespaced LAN"
    python3 "$root/scripts/discovery_table.py" "$results"
    exit 0
fi

# measure CONDITION MODE BUILD COUNT PASSES [LANBROWSE OPTIONS...]: PASSES
# full passes of the lanbrowse of BUILD (before or after), one result line
# each.
measure() {
    local condition=$1 mode=$2 which=$3 count=$4 runs=$5
    shift 5
    [[ $known == yes ]] || ip -n "$NETLAN_PLAYER" neigh flush all
    netlan_count_udp
    (cd "$root" && netlan_player "${browse[$which]}" --json --watch 1 --passes "$runs" --timeout 60 "$@") \
        >"$tmp/pass.json" 2>"$tmp/pass.err" || [[ $? -eq 2 ]] || { cat "$tmp/pass.err" >&2; return 1; }
    python3 "$root/scripts/discovery_table.py" --record "$condition" "$mode" "$count" "$(netlan_udp_sent)" "$*" \
        <"$tmp/pass.json" >>"$results"
}

# Both behaviours, the browser as it was first.
both() {
    local condition=$1 count=$2 runs=$3
    shift 3
    measure "$condition" before before "$count" "$runs" "$@"
    measure "$condition" after after "$count" "$runs" "$@"
}

start_servers() {
    netlan_start_servers "$tmp/ready" --duration 1800 --quiet "$@" || { echo "discovery: lanserver did not start" >&2; exit 1; }
}

netlan_veth 1000
netlan_contained || { echo "discovery: the namespaced LAN is not contained" >&2; exit 1; }

# Loss, both ways, on 100 servers.
known=no
start_servers --servers 100
for loss in 0 1 5 10 20; do
    netlan_loss "$loss"
    both "loss $loss %" 100 "$passes"
done
known=yes
netlan_known_neighbours 100
for loss in 10 20; do
    netlan_loss "$loss"
    both "loss $loss %, link addresses known" 100 "$passes"
done
known=no
netlan_forget_neighbours
netlan_loss 0
netlan_stop_servers

# Bursts: every server answers each broadcast at once.
for count in 100 200 500 1000; do
    for layout in "11 ports" "one port"; do
        ports=22000-22010
        [[ $layout == "one port" ]] && ports=22000
        start_servers --servers "$count" --ports "$ports"
        both "burst of $count, $layout" "$count" "$few" --queries 64
        measure "burst of $count, $layout" "after, stock buffer" after "$count" "$few" --queries 64 \
            --receive-buffer 0
        if ((count == 1000)); then
            both "burst of $count, $layout, 16 ms step" "$count" "$few" --queries 64 --tick 16
            measure "burst of $count, $layout, 16 ms step" "after, stock buffer" after "$count" "$few" \
                --queries 64 --tick 16 --receive-buffer 0
        fi
        netlan_stop_servers
    done
done
netlan_down

# Two networks of 50 servers and a third interface with the default route.
netlan_segments 50 50
netlan_contained || { echo "discovery: the namespaced LAN is not contained" >&2; exit 1; }
start_servers --servers 50
netlan_start_servers_in "$NETLAN_SERVERS_B" "$NETLAN_SERVER_BASE_B" "$tmp/ready-b" --servers 50 --seed 2 \
    --duration 1800 --quiet || { echo "discovery: lanserver B did not start" >&2; exit 1; }
both "two networks, default route on a third" 100 "$few"

[[ -n $keep ]] && cp "$results" "$keep"
python3 "$root/scripts/discovery_table.py" "$results"
