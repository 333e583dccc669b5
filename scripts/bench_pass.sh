#!/usr/bin/env bash
# The whole-pass benchmark, run by scripts/bench.sh: a namespaced LAN of two
# network namespaces joined by a veth pair (scripts/lib/netns-lan.sh), lanserver
# with 10, 100 and 1000 servers answering at once or 20 ms late, and
# brenn_pass (a host on the plug-in's public interface calling update() in a
# tight loop) with 8 and 64 queries at once, each case for the browser as it
# is and as it was (brenn_pass of the earlier revision's build, made by
# scripts/bench.sh), counting the queries the player sent. Prints the table of scripts/pass_table.py; exits non-zero
# when a target is missed.
#   scripts/bench_pass.sh BUILD_DIR BEFORE_BUILD_DIR [RUNS] [JSON_LINES_FILE]
# Each case runs RUNS times (default 3); the table shows the median run.
# Needs root for the namespaces, and skips with a message otherwise. It never
# broadcasts outside the namespaces it made, and removes them at the end,
# also on Ctrl-C.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$1
before=$2
runs=${3:-3}
keep=${4:-}
LANSERVER="$build/tools/lanserver/lanserver"
declare -A pass=([after]="$build/bench/brenn_pass" [before]="$before/bench/brenn_pass")
[[ -x ${pass[before]} ]] || { echo "whole pass: the earlier revision has no brenn_pass" >&2; exit 1; }

source "$root/scripts/lib/netns-lan.sh"
source "$root/scripts/lib/netns-lan-bench.sh"
if ! netlan_can_use_veth; then
    echo "whole pass: skipped: it needs root to make the two network namespaces of its LAN"
    echo "            (it never broadcasts on the machine's own network)"
    exit 0
fi

tmp=$(mktemp -d)
netlan_on_exit "$tmp"

# More than about 150 servers answering the broadcast at the same instant
# overflow the receive buffer of the host's discovery socket, and servers
# are missed; real servers answer over some time, and --spread models it:
# 1000 answers over 2 s, within the 3 s of discovery.
spread=2000
netlan_veth 1000
netlan_contained || { echo "whole pass: the namespaced LAN is not contained" >&2; exit 1; }

results="$tmp/pass.jsonl"
: >"$results"
for servers in 10 100 1000; do
    for delay in 0 20; do
        # Bounded: the cases of one lanserver take well under a minute.
        netlan_start_servers "$tmp/ready" --servers "$servers" --delay "$delay" --spread "$spread" \
            --duration 300 --quiet --manifest "$tmp/servers.json" ||
            { echo "whole pass: lanserver did not start" >&2; exit 1; }
        # The first server answers the round-trip pings, after a burst of
        # unmeasured ones: the first datagrams after the cores idled come
        # back late.
        if ((delay == 0)); then pings=(--warmup 100 --pings 200); else pings=(--warmup 2 --pings 20); fi
        first=$(sed -n 's/.*"address": "\([^"]*\)", "port": \([0-9]*\),.*/\1:\2/p' "$tmp/servers.json" | sed -n 1p)
        for queries in 8 64; do
            for ((run = 1; run <= runs; run++)); do
                for behaviour in before after; do
                    # Every run starts with the host knowing no server's link
                    # address, as on a LAN it never talked to: each first query
                    # also resolves its address (ARP), on the host's CPU.
                    ip -n "$NETLAN_PLAYER" neigh flush all
                    netlan_count_udp
                    # The key map is read from the current directory.
                    line=$(cd "$root" && netlan_player "${pass[$behaviour]}" --queries "$queries" \
                        --ping "$first" "${pings[@]}" --timeout 60) ||
                        { echo "whole pass: $servers servers, $queries queries, ${delay} ms: the pass failed" >&2; exit 1; }
                    echo "{\"servers\": $servers, \"delay_ms\": $delay, \"spread_ms\": $spread, \"run\": $run," \
                        "\"behaviour\": \"$behaviour\", \"queries_sent\": $(netlan_queries_sent), ${line#\{}" >>"$results"
                done
            done
        done
        netlan_stop_servers
    done
done

[[ -n $keep ]] && cp "$results" "$keep"
python3 "$root/scripts/pass_table.py" "$results"
