#!/usr/bin/env bash
# The demo: builds what is missing, makes a namespaced LAN of its own, starts
# a dozen game servers on it (one silent, one of another game) and browses it
# with the example host, sorted by players. It leaves no namespace, process
# or veth behind, also on Ctrl-C, and never broadcasts outside the
# namespaces it made.
#   scripts/demo.sh                    sorted by players, most first
#   scripts/demo.sh LANBROWSE-OPTIONS  e.g. --sort hostname --mode nocase
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/demo"
LANSERVER="$build/tools/lanserver/lanserver"
LANBROWSE="$build/tools/lanbrowse/lanbrowse"
browse_args=("$@")
(( ${#browse_args[@]} )) || browse_args=(--sort numplayers --descending --mode int)

if [[ -z ${NETLAN_INSIDE:-} ]]; then
    "$root/scripts/install-deps.sh"
    mkdir -p "$build"
    if ! { cmake -S "$root" -B "$build" -DBRENN_BUILD_TESTS=OFF &&
           cmake --build "$build" -j 2 --target lanserver lanbrowse; } >"$build/build.log" 2>&1; then
        cat "$build/build.log" >&2
        echo "demo: the build failed (log above, also in $build/build.log)" >&2
        exit 1
    fi
fi

source "$root/scripts/lib/netns-lan.sh"
netlan_choose demo "$0" "$@" || {
    echo "demo: cannot make a private network namespace (needs root, or user namespaces);" \
         "the demo never broadcasts on the machine's own network" >&2
    exit 1
}
tmp=$(mktemp -d)
netlan_on_exit "$tmp"

if [[ $NETLAN_WANTED == veth ]]; then
    netlan_veth 12
    echo "Namespaced LAN: namespace $NETLAN_SERVERS (servers 10.77.0.10 to 10.77.0.21)" \
         "joined by a veth pair to namespace $NETLAN_PLAYER (player 10.77.200.1)"
else
    netlan_loopback
    echo "Namespaced LAN: loopback of a private namespace (servers 127.0.0.2 to 127.0.0.13, player 127.0.0.1)"
fi
netlan_start_servers "$tmp/ready" --servers 12 --silent 1 --other-game 1 --duration 60 --quiet \
    --manifest "$tmp/servers.json" || { echo "demo: lanserver did not start" >&2; exit 1; }

# The two servers the table must not show, read from lanserver's manifest.
read -r silent other < <(python3 - "$tmp/servers.json" <<'PY'
import json, sys
servers = json.load(open(sys.argv[1], encoding="utf-8"))
where = lambda s: f"{s['address']}:{s['port']}"
silent = [where(s) for s in servers if s["behaviour"] == "silent"]
other = [where(s) for s in servers if dict(s["pairs"]).get("gamename", "ridgeline") != "ridgeline"]
print(",".join(silent) or "-", ",".join(other) or "-")
PY
)
echo "12 servers answer the broadcast; $silent stays silent afterwards and $other runs another game."
echo "Browsing: lanbrowse ${browse_args[*]}"
echo

# The library reads its key map from MultiplayerServers/ under the current directory.
cd "$root"
netlan_player "$LANBROWSE" "${browse_args[@]}"
