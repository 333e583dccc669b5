#!/usr/bin/env bash
# Runs inside a network namespace (ip netns exec) and starts a Wine server
# there, checks that it serves from that namespace, then runs Windows
# programs under it. The Wine server creates the sockets of every Windows
# program, so nothing Windows runs unless it is inside.
#   wine-in-namespace.sh NAMESPACE EXE NATIVE_LANBROWSE OUT_DIR [LANBROWSE OPTIONS...]
#     lanbrowse.exe twice (--json and the table) and native lanbrowse once,
#     with the same options: windows.json, windows.txt, native.txt (and
#     their .err) in OUT_DIR; with C_HOST naming lanlist.exe, its table of
#     the same options too: windows-c.txt.
#   wine-in-namespace.sh --host NAMESPACE C_HOST NATIVE_LANBROWSE OUT_DIR PLAYER_NAMESPACE
#     lanlist.exe hosts "Hosted under Wine" (players Ada and Bo) while native
#     lanbrowse --json lists the LAN from PLAYER_NAMESPACE: hosted.json.
# Non-zero when any run failed or the Wine server was not inside.
set -uo pipefail
hosting=0
if [[ $1 == --host ]]; then
    hosting=1
    shift
fi
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
if ((hosting)); then
    player=$1
    wine "$exe" --host "Hosted under Wine" --seconds 20 --player Ada --player Bo >"$out/wine-host.err" 2>&1 &
    host=$!
    for ((i = 0; i < 200; i++)); do
        grep -q "^hosting" "$out/wine-host.err" && break
        sleep 0.05
    done
    ip netns exec "$player" "$native" --json >"$out/hosted.json" 2>"$out/hosted.err" || status=1
    wait "$host" || status=1
else
    wine "$exe" --json "$@" >"$out/windows.json" 2>"$out/windows-json.err" || status=1
    wine "$exe" "$@" >"$out/windows.txt" 2>"$out/windows.err" || status=1
    if [[ -n ${C_HOST:-} ]]; then
        wine "$C_HOST" "$@" >"$out/windows-c.txt" 2>"$out/windows-c.err" || status=1
    fi
    "$native" "$@" >"$out/native.txt" 2>"$out/native.err" || status=1
fi
# The same server served every Windows run.
kill -0 "$server" 2>/dev/null || status=1
wineserver -k
wait "$server"
exit $status
