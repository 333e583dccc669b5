#!/usr/bin/env bash
# The C# binding under Mono on a namespaced LAN (network namespaces or, without
# root, the loopback of a private user namespace):
#   1. LanJoinCheck self: text decoding, errors, limits, handler failures;
#      and a library of another major version refused; LanJoinCheck live: a
#      game hosted through the binding, listed, then gone in a live list;
#   2. lanserver's servers (generated, special cases, bytes that are not
#      UTF-8) listed by lanbrowse --json and by the binding in two passes:
#      the same records, value by value (same_records.py);
#   3. a game hosted through the binding, listed by the C host (LANLIST,
#      when built) or lanbrowse.
# The binding collects garbage after every step, with callbacks registered.
#   run.sh                 all of it (CTest)
#   run.sh --servers N     only 2., with N generated servers and 64 queries at once
# LANSERVER, LANBROWSE and PLUGIN_DIR (the plug-in's folder) are set by CTest.
# Exit 77 (a skip) where no namespace can be made, or where a sanitized
# plug-in cannot be loaded into mono.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
: "${LANSERVER:?}" "${LANBROWSE:?}" "${PLUGIN_DIR:?PLUGIN_DIR must name the folder of the plug-in}"
count=0
[[ ${1:-} == --servers ]] && count=${2:?how many servers}

source "$root/scripts/lib/netns-lan.sh"
netlan_choose csharp "$0" "$@" || {
    echo "SKIP: no network namespace can be made here (needs root or user namespaces)"
    exit 77
}
tmp=$(mktemp -d)
netlan_on_exit "$tmp"
source "$here/mono.sh"
csharp_prepare "$tmp" "$PLUGIN_DIR"
mono_env=("${CSHARP_ENV[@]}")
echo "library $(env "${mono_env[@]}" mono "$tmp/LanJoinCheck.exe" version), through mono $(mono --version | sed -n '1s/.*version \([^ ]*\).*/\1/p')"

# mono_on SIDE ARGS...: the test program on the servers' or the player's
# side, from the top folder (for the key map); in the background, $! is mono.
mono_on() {
    local side=$1
    shift
    local command=(env "${mono_env[@]}" mono "$tmp/LanJoinCheck.exe" "$@")
    if [[ $NETLAN_MODE != loopback ]]; then
        local ns=$NETLAN_PLAYER
        [[ $side == servers ]] && ns=$NETLAN_SERVERS
        command=(ip netns exec "$ns" "${command[@]}")
    fi
    (cd "$root" && exec "${command[@]}")
}

if ((count == 0)); then
    # A library of another major version is refused, saying so.
    mkdir "$tmp/other"
    echo 'unsigned vlj_version(void) { return 2u << 16; }' | ${CC:-cc} -shared -fPIC -x c -o "$tmp/other/libVelnarLanJoin.so" -
    if LD_LIBRARY_PATH="$tmp/other" mono "$tmp/LanJoinCheck.exe" version >"$tmp/other.log" 2>&1 ||
        ! grep -q "library is version 2.0.0, but this binding (.*) needs 1.x" "$tmp/other.log"; then
        echo "FAILED: a library of version 2.0.0 was not refused:"; cat "$tmp/other.log"; exit 1
    fi
fi
if [[ $NETLAN_WANTED == veth ]]; then netlan_veth $((count > 0 ? count : 32)); else netlan_loopback; fi
netlan_contained || { echo "the namespaced LAN is not closed: nothing sent" >&2; exit 1; }

queries=8
if ((count > 0)); then
    args=(--servers "$count")
    queries=64
else
    mono_on player self
    mono_on player live
    # Definitions of servers.def, and two whose values are not all UTF-8.
    cp "$root/tests/e2e/servers.def" "$tmp/servers.def"
    printf '* \\hostname\\Caf\xe9 Latin\\gamename\\ridgeline\\mapname\\\xc3\xa9t\xc3\xa9\\numplayers\\1\\maxplayers\\8\\player_0\\\x80\x81\x9f\n' >>"$tmp/servers.def"
    printf '* \\hostname\\Bad \xc0\xaf UTF\\gamename\\ridgeline\\gametype\\\xed\xa0\x80\\numplayers\\0\\maxplayers\\4\n' >>"$tmp/servers.def"
    args=(--servers 12 --silent 1 --other-game 1 --dead 1 --definitions "$tmp/servers.def")
fi
netlan_start_servers "$tmp/ready" --duration 120 --quiet "${args[@]}" || { echo "lanserver did not start" >&2; exit 1; }
(cd "$root" && netlan_player "$LANBROWSE" --json --queries $queries --sort hostname --mode text) >"$tmp/lanbrowse.json" 2>"$tmp/lanbrowse.err" ||
    { cat "$tmp/lanbrowse.err"; exit 1; }
mono_on player list "$tmp/csharp.json" $queries
python3 "$here/same_records.py" "$tmp/lanbrowse.json" "$tmp/csharp.json"
((count == 0)) || exit 0
netlan_stop_servers

# The hosted game ("CSharp G\u00e4me" in UTF-8), on the servers' side,
# listed from the player's side as a table.
mono_on servers host "$tmp/host-ready" "$tmp/host-stop" 60 >"$tmp/host.log" 2>&1 &
NETLAN_PIDS+=($!)
for ((waited = 0; waited < 200; waited++)); do
    [[ -s $tmp/host-ready ]] && break
    sleep 0.05
done
[[ -s $tmp/host-ready ]] || { echo "FAILED: the hosted game did not start"; cat "$tmp/host.log"; exit 1; }
lister=${LANLIST:-$LANBROWSE}
(cd "$root" && netlan_player "$lister") >"$tmp/listed.txt" 2>"$tmp/listed.err" || { cat "$tmp/listed.err"; exit 1; }
port=$(cat "$tmp/host-ready")
grep -Eq ":$port +[0-9]+ +CSharp G$(printf '\xc3\xa4')me +scree +capture_the_flag +2/8$" "$tmp/listed.txt" ||
    { echo "FAILED: $(basename "$lister") did not list the hosted game:"; cat "$tmp/listed.txt"; exit 1; }
echo "$(basename "$lister") lists the game hosted through the binding"
touch "$tmp/host-stop"
wait "${NETLAN_PIDS[-1]}" || { echo "FAILED: the hosting program failed"; cat "$tmp/host.log"; exit 1; }
NETLAN_PIDS=()
grep -q '^answered [1-9]' "$tmp/host.log" || { echo "FAILED: counters"; cat "$tmp/host.log"; exit 1; }
cat "$tmp/host.log"
echo "ok: csharp ($NETLAN_WANTED)"
