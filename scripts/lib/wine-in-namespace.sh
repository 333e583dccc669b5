#!/usr/bin/env bash
# Runs inside the player's network namespace (ip netns exec): starts a Wine
# server there, checks that it serves from that namespace, then runs
# lanbrowse.exe under Wine twice (--json and the table) and native lanbrowse
# once, with the same lanbrowse options. The Wine server creates the sockets
# of every Windows program, so nothing Windows runs unless it is inside.
#   wine-in-namespace.sh NAMESPACE EXE NATIVE_LANBROWSE OUT_DIR [LANBROWSE OPTIONS...]
# Writes windows.json, windows.txt and native.txt (and their .err) to OUT_DIR.
# Non-zero when any run failed or the Wine server was not inside.
set -uo pipefail
namespace=$1 exe=$2 native=$3 out=$4
shift 4

wineserver -f -p &
server=$!
for ((i = 0; i < 200; i++)); do
    ss -xlpH | grep -q "pid=$server," && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.05
done
if [[ $(ip netns identify "$server" 2>/dev/null) != "$namespace" ]] || ! ss -xlpH | grep -q "pid=$server,"; then
    echo "the Wine server is not serving from inside $namespace: nothing run" >&2
    kill "$server" 2>/dev/null
    exit 1
fi
status=0
wine "$exe" --json "$@" >"$out/windows.json" 2>"$out/windows-json.err" || status=1
wine "$exe" "$@" >"$out/windows.txt" 2>"$out/windows.err" || status=1
"$native" "$@" >"$out/native.txt" 2>"$out/native.err" || status=1
# The same server served every Windows run.
kill -0 "$server" 2>/dev/null || status=1
wineserver -k
wait "$server"
exit $status
