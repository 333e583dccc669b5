#!/usr/bin/env bash
# The Python binding's pass against lanbrowse's: 1000 lanserver servers
# answering at once on a namespaced LAN (scripts/lib/netns-lan.sh), listed by
# lanbrowse and then by the binding (bench/python_pass.py), RUNS times
# (default 3); prints each run and the medians, and fails when the records
# differ or the binding's median pass takes over 1.2 times lanbrowse's.
#   bench/python_pass.sh BUILD_DIR [RUNS]
# It runs on the loopback of a private network namespace (unshare -rn: root
# or user namespaces), where no address needs resolving: a veth LAN of 1000
# addresses fills the kernel's neighbour table, which all namespaces share
# (1024 entries by default), and its passes then find nothing. It never
# broadcasts outside the namespace it made.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:?BUILD_DIR: a build with VelnarLanJoin, lanserver and lanbrowse}" && pwd)
runs=${2:-3}
LANSERVER=$build/tools/lanserver/lanserver
LANBROWSE=$build/tools/lanbrowse/lanbrowse
export VELNARLANJOIN_LIBRARY=$build/service/libVelnarLanJoin.so.1
python=python3
[[ -x /usr/bin/python3 ]] && python=/usr/bin/python3

if [[ ${NETLAN_INSIDE:-} != loopback ]]; then
    unshare -rn true 2>/dev/null || { echo "skipped: no network namespace can be made here"; exit 0; }
    exec env NETLAN_INSIDE=loopback unshare -rn "$0" "$@"
fi
source "$root/scripts/lib/netns-lan.sh"
tmp=$(mktemp -d)
netlan_on_exit "$tmp"
netlan_loopback
netlan_contained || { echo "the namespaced LAN is not contained: nothing sent" >&2; exit 1; }
netlan_start_servers "$tmp/ready" --servers 1000 --duration 600 --quiet || { echo "lanserver did not start" >&2; exit 1; }

keymap=$root/MultiplayerServers/VelnarKeyMap.ini
: >"$tmp/runs.jsonl"
for ((run = 1; run <= runs; run++)); do
    netlan_player "$LANBROWSE" --json --queries 64 --keymap "$keymap" >"$tmp/lanbrowse.json" 2>/dev/null || true
    netlan_player "$python" "$root/bench/python_pass.py" --keymap "$keymap" --queries 64 \
        --lanbrowse-json "$tmp/lanbrowse.json" | tee -a "$tmp/runs.jsonl" || true  # the summary judges
done
"$python" - "$tmp/runs.jsonl" "$NETLAN_MODE" <<'SUMMARY'
import json, statistics, sys
runs = [json.loads(line) for line in open(sys.argv[1])]
python = statistics.median(r["python_ms"] for r in runs)
lanbrowse = statistics.median(r["lanbrowse_ms"] for r in runs)
print("1000 servers (%s), 64 queries at once, %d runs: lanbrowse %d ms, Python binding %d ms (x%.3f), "
      "same records in every run: %s" % (sys.argv[2], len(runs), lanbrowse, python, python / lanbrowse,
                                          all(r["same_records"] for r in runs)))
sys.exit(0 if python <= 1.2 * lanbrowse and all(r["same_records"] for r in runs) else 1)
SUMMARY
