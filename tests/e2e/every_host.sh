#!/usr/bin/env bash
# Every host language at once, on a simulated LAN of network namespaces
# (without root: the loopback of a private user namespace). On the servers'
# side three games are hosted together, each on the port the library picks:
# one by the C host (lanlist --host), one through the C# binding under Mono
# (tests/csharp/LanJoinCheck.cs host) and one through the Python binding
# (every_host.py host). Then, from the player's side and one after the
# other, the C host, the C# binding and the Python binding each list the
# LAN, and each must list the three games with their hostname, map and
# players (check_every_host.py).
# LANLIST (the C host), VELNARLANJOIN_LIBRARY (the plug-in) and PLUGIN_DIR
# (its folder) are set by CTest. Exit 77 (a skip) where no namespace can be
# made, or where a sanitized plug-in cannot be loaded into mono.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
: "${LANLIST:?LANLIST must name the C host}" "${VELNARLANJOIN_LIBRARY:?VELNARLANJOIN_LIBRARY must name the plug-in}"
: "${PLUGIN_DIR:?PLUGIN_DIR must name the folder of the plug-in}"

source "$root/scripts/lib/netns-lan.sh"
netlan_choose everyhost "$0" "$@" || {
    echo "SKIP: no network namespace can be made here (needs root or user namespaces)"
    exit 77
}
tmp=$(mktemp -d)
netlan_on_exit "$tmp"

show_logs() {
    local f
    for f in "$tmp"/*.log "$tmp"/*.txt; do
        [[ -f $f ]] && { echo "--- $(basename "$f")"; tail -n 30 "$f"; }
    done
}
fail() {
    echo "FAILED: $*"
    show_logs
    exit 1
}

# Both bindings load the plug-in built, a sanitized one after its runtime
# (csharp_prepare).
source "$root/tests/csharp/mono.sh"
csharp_prepare "$tmp" "$PLUGIN_DIR"
environment=(env VELNARLANJOIN_LIBRARY="$VELNARLANJOIN_LIBRARY" "${CSHARP_ENV[@]}")
csharp=("${environment[@]}" mono "$tmp/LanJoinCheck.exe")
python=("${environment[@]}" python3 "$here/every_host.py")

if [[ $NETLAN_WANTED == veth ]]; then netlan_veth 1; else netlan_loopback; fi
netlan_contained || { echo "the namespaced LAN is not closed: nothing sent" >&2; exit 1; }

# on SIDE COMMAND...: COMMAND on the servers' or the player's side, from the
# top folder (for the key map). Run it in a subshell: it execs, so that $!
# of "(on ...) &" is COMMAND itself.
on() {
    local ns=$NETLAN_PLAYER
    [[ $1 == servers ]] && ns=$NETLAN_SERVERS
    shift
    cd "$root"
    if [[ $NETLAN_MODE == loopback ]]; then exec "$@"; else exec ip netns exec "$ns" "$@"; fi
}

# The three games, hosted for at most 90 s; the C# and Python ones stop
# when the file $stop appears, the C one is stopped at the end.
stop=$tmp/stop
(on servers "$LANLIST" --host "Hosted in C" --map overlook --player Cy --player Dot --seconds 90) \
    >"$tmp/c-host.log" 2>&1 &
c_host=$!
(on servers "${csharp[@]}" host "$tmp/csharp.port" "$stop" 90) >"$tmp/csharp-host.log" 2>&1 &
csharp_host=$!
(on servers "${python[@]}" host "Hosted in Python" quarry Eve "$tmp/python.port" "$stop" 90) \
    >"$tmp/python-host.log" 2>&1 &
python_host=$!
NETLAN_PIDS+=("$c_host" "$csharp_host" "$python_host")

c_port=""
for ((waited = 0; waited < 400; waited++)); do
    c_port=$(sed -n 's/^hosting .* on UDP port \([0-9]*\) .*/\1/p' "$tmp/c-host.log")
    [[ -n $c_port && -s $tmp/csharp.port && -s $tmp/python.port ]] && break
    sleep 0.05
done
[[ -n $c_port && -s $tmp/csharp.port && -s $tmp/python.port ]] || fail "the three games did not all start hosting"
csharp_port=$(cat "$tmp/csharp.port")
python_port=$(cat "$tmp/python.port")
echo "hosting: C on $c_port, C# on $csharp_port, Python on $python_port"

# Each language lists the LAN in turn (a pass takes about 3 s; the C# one
# makes two); every pass ends by itself, and timeout bounds it besides.
(on player timeout 60 "$LANLIST" --players) >"$tmp/c.txt" 2>"$tmp/c-list.log" || fail "lanlist exited $?"
cat "$tmp/c.txt"
(on player timeout 120 "${csharp[@]}" list "$tmp/csharp.json" 8) >"$tmp/csharp-list.log" 2>&1 ||
    fail "the C# listing exited $?"
(on player timeout 60 "${python[@]}" list "$tmp/python.json") >"$tmp/python-list.log" 2>&1 ||
    fail "the Python listing exited $?"

touch "$stop"
wait "$csharp_host" || fail "the C# host exited $?"
wait "$python_host" || fail "the Python host exited $?"
for side in csharp python; do
    grep -q '^answered [1-9]' "$tmp/$side-host.log" || fail "the $side host answered nothing"
done
kill "$c_host" 2>/dev/null || true

PYTHONUTF8=1 python3 "$here/check_every_host.py" \
    --game "$c_port" "Hosted in C" overlook "Cy, Dot" \
    --game "$csharp_port" "CSharp G$(printf '\xc3\xa4')me" scree "Ada, B$(printf '\xc3\xb6')" \
    --game "$python_port" "Hosted in Python" quarry Eve \
    "$tmp/c.txt" "$tmp/csharp.json" "$tmp/python.json" || fail "a listing differs"
echo "ok: everyhost ($NETLAN_WANTED)"
