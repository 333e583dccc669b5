#!/usr/bin/env bash
# The live list's figures, run by scripts/bench.sh --live: brenn_live (a host
# on the plug-in's public interface, stepped like a game's frame) on a
# namespaced LAN of two network namespaces joined by a veth pair, against
# lanserver and a machine answering from thousands of ports
# (bench/hostile_ports.py). Every case writes JSON lines to the results;
# scripts/live_table.py prints them as one table with the targets.
#   scripts/bench_live.sh BUILD_DIR [MINUTES] [JSON_LINES_FILE]
# MINUTES is the length of the lossy run (default 10). Needs root for the
# namespaces and skips with a message otherwise; it never broadcasts outside
# them, counts datagrams with nftables counters inside them, and removes
# them at the end, also on Ctrl-C.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$1
minutes=${2:-10}
keep=${3:-}
LANSERVER="$build/tools/lanserver/lanserver"
live="$build/bench/brenn_live"

source "$root/scripts/lib/netns-lan.sh"
if ! netlan_can_use_veth; then
    echo "live list: skipped: it needs root to make the two network namespaces of its LAN"
    exit 0
fi
tmp=$(mktemp -d)
netlan_on_exit "$tmp"
netlan_veth 140
netlan_contained || { echo "live list: the namespaced LAN is not contained" >&2; exit 1; }
results="$tmp/live.jsonl"
: >"$results"
base=$NETLAN_SERVER_BASE

# at N: the server address N above the first.
at() { local a b c d; IFS=. read -r a b c d <<<"$base"; echo "$a.$b.$c.$((d + $1))"; }
# run NAME ARGS...: brenn_live on the player's side, its events into $tmp/NAME.
run() { local name=$1; shift; (cd "$root" && ip netns exec "$NETLAN_PLAYER" "$live" "$@") >"$tmp/$name"; }
# record CASE FILE [KEY=VALUE...]: one result line, with the events of FILE.
record() {
    local case=$1 file=$2
    shift 2
    python3 -c 'import json,sys; print(json.dumps({"case": sys.argv[1], "extra": dict(a.split("=", 1) for a in sys.argv[3:]),
        "events": [json.loads(l) for l in open(sys.argv[2]) if l.strip()]}))' "$case" "$file" "$@" >>"$results"
}
start() { netlan_start_servers_in "$NETLAN_SERVERS" "$@" || { echo "live list: lanserver did not start" >&2; exit 1; }; }
# Datagram counters: the player's queries (to one server's port), its
# broadcasts, and what the servers' side sends from the game ports and to
# the announcement port.
count() {
    printf 'table inet live_count {\n chain out {\n  type filter hook output priority 0; policy accept;\n  udp dport 22000-22010 ip daddr != { 255.255.255.255, 10.77.255.255 } counter\n  udp dport 22000-22010 ip daddr { 255.255.255.255, 10.77.255.255 } counter\n }\n}\n' |
        ip netns exec "$NETLAN_PLAYER" nft -f -
    printf 'table inet live_count {\n chain out {\n  type filter hook output priority 0; policy accept;\n  udp sport 22000-22010 udp dport != 22020 counter\n  udp dport 22020 counter\n }\n}\n' |
        ip netns exec "$NETLAN_SERVERS" nft -f -
}
counters() {
    local ns
    for ns in "$NETLAN_PLAYER" "$NETLAN_SERVERS"; do
        ip netns exec "$ns" nft list table inet live_count | sed -n 's/.*counter packets \([0-9]*\).*/\1/p'
    done | xargs | tr ' ' ,
}
count

echo "live list: first server, clean LAN of 10 servers"
start "$base" "$tmp/ready" --servers 10 --duration 600 --quiet --ports 22000-22009
for tick in 5 16; do
    for n in 1 2 3 4 5; do run first "--tick" "$tick" --seconds 1; record first "$tmp/first" tick="$tick" mode=live; done
done
for n in 1 2 3; do run first --pass --tick 5 --seconds 10; record first "$tmp/first" tick=5 mode=pass; done

echo "live list: a machine answering from 1,000 and 10,000 ports beside them"
for ports in 0 1000 10000; do
    pid=""
    if ((ports > 0)); then
        ip netns exec "$NETLAN_SERVERS" python3 "$root/bench/hostile_ports.py" "$(at 139)" 22010 "$ports" 60 >/dev/null &
        pid=$!
        sleep 1
    fi
    run hostile --pass --tick 5 --seconds 60; record hostile "$tmp/hostile" ports="$ports" mode=pass
    run hostile --tick 5 --seconds 12; record hostile "$tmp/hostile" ports="$ports" mode=live
    [[ -n $pid ]] && { kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; }
done
netlan_stop_servers

echo "live list: the demo's LAN (12 servers, one silent, one of another game)"
start "$base" "$tmp/ready" --servers 12 --silent 1 --other-game 1 --duration 600 --quiet
for n in 1 2 3; do run demo --tick 5 --seconds 4; record demo "$tmp/demo" mode=live; done
run demo --pass --tick 5 --seconds 20; record demo "$tmp/demo" mode=pass
netlan_stop_servers

echo "live list: servers started and stopped while it is open, the ping at a 16 ms step"
start "$base" "$tmp/ready" --servers 10 --duration 600 --quiet --delay 1
t_open=$(date +%s%3N)
run churn --tick 16 --seconds 50 &
browser=$!
sleep 5; t_announce=$(date +%s%3N)
start "$(at 20)" "$tmp/ready-a" --servers 1 --seed 3 --announce --duration 15 --quiet
sleep 5; t_old=$(date +%s%3N)
start "$(at 21)" "$tmp/ready-o" --servers 1 --seed 4 --duration 300 --quiet
old_pid=${NETLAN_PIDS[-1]}
sleep 12; t_kill=$(date +%s%3N)
kill -KILL "$old_pid"; wait "$old_pid" 2>/dev/null || true
wait "$browser"
record churn "$tmp/churn" announcing="$(at 20):22000" old="$(at 21):22000" announce_at=$((t_announce - t_open)) \
    old_at=$((t_old - t_open)) kill_at=$((t_kill - t_open)) goodbye_at=$((t_announce + 15000 - t_open))
netlan_stop_servers

echo "live list: cost of staying live, 100 servers, 75 s (and nothing after the list closes)"
start "$base" "$tmp/ready" --servers 100 --duration 600 --quiet --announce
run cost --tick 5 --seconds 75 --after 3000 &
browser=$!
sleep 15; c15=$(counters); sleep 60; c75=$(counters); sleep 1.5; closed=$(counters)
wait "$browser"
record cost "$tmp/cost" at15="$c15" at75="$c75" closed="$closed" exited="$(counters)" servers=100
netlan_stop_servers

echo "live list: no false gone, 100 servers, 10 % loss both ways, $minutes minutes"
start "$base" "$tmp/ready" --servers 100 --duration $((minutes * 60 + 60)) --quiet
netlan_loss 10
before=$(counters)
run lossy --tick 5 --seconds $((minutes * 60))
record lossy "$tmp/lossy" before="$before" after="$(counters)" servers=100 minutes="$minutes"
netlan_loss 0

[[ -n $keep ]] && cp "$results" "$keep"
python3 "$root/scripts/live_table.py" "$results"
