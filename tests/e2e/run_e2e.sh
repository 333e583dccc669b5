#!/usr/bin/env bash
# End-to-end tests: lanserver and lanbrowse, and so the built plug-in, on a
# namespaced LAN: network namespaces joined by a veth pair, with real sockets.
#   run_e2e.sh SCENARIO   mixed | crowd | watch | empty | lossy | segments | burst | live | hosted
#                         | chosted | clist
# LANSERVER and LANBROWSE name the programs (CTest sets them), HOSTGAME the
# example game that the scenario "hosted" browses, LANLIST the C host of
# "chosted" and "clist" (tests/e2e/host_scenarios.sh). Exit 77 (a
# skip) only where no network namespace can be made; without root, the
# scenario runs on the loopback of a user namespace instead of the veth.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
scenario=${1:?scenario: mixed, crowd, watch, empty, lossy, segments, burst, live, hosted, chosted or clist}
: "${LANSERVER:?LANSERVER must name the lanserver program}" "${LANBROWSE:?LANBROWSE must name lanbrowse}"

source "$root/scripts/lib/netns-lan.sh"
source "$here/e2e_steps.sh"
source "$here/host_scenarios.sh"
netlan_choose e2e "$0" "$@" || {
    echo "SKIP: no network namespace can be made here (needs root or user namespaces);" \
         "these tests never broadcast on the machine's own network"
    exit 77
}
mode=$NETLAN_WANTED
command -v python3 >/dev/null || { echo "python3 is needed to check the results" >&2; exit 1; }

tmp=$(mktemp -d)
netlan_on_exit "$tmp"

case $scenario in
mixed)
    # Generated servers (one silent, one of another game, one dead), the
    # special cases of servers.def, a reply delay; two sorts. One more
    # server sends bytes that are not UTF-8, quotes and control characters:
    # lanbrowse's JSON must still be valid UTF-8 (check_pass.py reads it
    # strictly), with Windows-1252 read where UTF-8 is not valid.
    lan 22
    cp "$here/servers.def" "$tmp/servers.def"
    printf '* \\hostname\\Hostile Bytes\\gamename\\ridgeline\\mapname\\Caf\xe9 \x93Noir\x94\\gametype\\say "hi" \x01\x1f\x7f\\numplayers\\1\\maxplayers\\8\\player_0\\\x80\x81\x9f\xff\n' >>"$tmp/servers.def"
    servers --servers 12 --silent 1 --other-game 1 --dead 1 --definitions "$tmp/servers.def" --delay 120
    browse players --queries 4 --sort numplayers --descending --mode int
    expect_status 0
    check --json "$tmp/players.json"
    grep -q "$(printf 'Caf\xc3\xa9 \xe2\x80\x9cNoir\xe2\x80\x9d')" "$tmp/players.json" ||
        { echo "FAILED: a Windows-1252 value was not decoded"; exit 1; }
    browse names --queries 8 --sort hostname --mode nocase
    expect_status 0
    check --json "$tmp/names.json"
    # Both silent servers were found and asked in both passes, at most four
    # times a pass (four exactly on time: the simulated LAN's tests); the dead ones never.
    n=$(unanswered)
    ((n >= 4 && n <= 16)) || { echo "FAILED: silent servers left $n queries unanswered, expected 4 to 16"; show_logs; exit 1; }
    ;;
crowd)
    # 200 servers answering the broadcast within a second, 16 queries at once.
    lan 200
    servers --servers 200 --spread 1000
    browse crowd --queries 16 --sort maxplayers --mode float
    expect_status 0
    check --json "$tmp/crowd.json"
    ;;
watch)
    # A full pass, then an aux pass that finds the same records again.
    lan 6
    servers --servers 6
    browse watch --watch 1 --passes 2 --aux
    expect_status 0
    check --json "$tmp/watch.json" --pass 1 --expect-new true
    check --json "$tmp/watch.json" --pass 2 --expect-new false
    ;;
lossy)
    # 100 servers, every frame on the veth dropped with a chance of 10 %
    # both ways: the rounds and the queries asked again list (nearly) all.
    # How many must be listed follows from the loss rate (check_pass.py --loss).
    [[ $mode == veth ]] || { echo "SKIP: loss needs the veth LAN"; exit 77; }
    lan 100
    servers --servers 100
    netlan_loss 10
    browse lossy --queries 8
    expect_status 0
    check --json "$tmp/lossy.json" --loss 10
    ;;
segments)
    # A player with two networks of 50 servers each and a third interface
    # holding the default route (and so 255.255.255.255), as a VPN does:
    # every server of both networks is listed.
    [[ $mode == veth ]] || { echo "SKIP: segments need the veth LAN"; exit 77; }
    netlan_segments 50 50
    netlan_contained || { echo "the namespaced LAN is not closed: nothing sent" >&2; exit 1; }
    servers --servers 50
    netlan_start_servers_in "$NETLAN_SERVERS_B" "$NETLAN_SERVER_BASE_B" "$tmp/ready-b" --manifest "$tmp/servers-b.json" \
        --duration 90 --servers 50 --seed 2 >"$tmp/lanserver-b.log" || { echo "lanserver B did not start" >&2; exit 1; }
    browse segments --queries 16
    expect_status 0
    check --json "$tmp/segments.json" --manifest "$tmp/servers-b.json"
    ;;
burst)
    # 1000 servers answering every broadcast at once (no spread), about 91 a
    # port as with 1000 addresses, but on 91 addresses of 11 ports each.
    lan 91
    netlan_start_servers_in "$NETLAN_SERVERS" "$NETLAN_SERVER_BASE+91" "$tmp/ready" --manifest "$tmp/servers.json" \
        --duration 90 --servers 1000 >"$tmp/lanserver.log" || { echo "lanserver did not start" >&2; exit 1; }
    browse burst --queries 64
    expect_status 0
    check --json "$tmp/burst.json"
    ;;
empty)
    # Nobody answers: exit code 2 and a clear message.
    lan 1
    servers --servers 1 --dead 1
    browse empty
    expect_status 2
    grep -q "no server answered" "$tmp/empty.err" || { echo "FAILED: no message"; show_logs; exit 1; }
    check --json "$tmp/empty.json"
    ;;
live)
    source "$here/live_scenario.sh"
    live_scenario
    ;;
hosted | chosted | clist)
    "scenario_$scenario"
    ;;
*)
    echo "unknown scenario: $scenario" >&2
    exit 1
    ;;
esac
echo "ok: $scenario ($mode)"
