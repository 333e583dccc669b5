#!/usr/bin/env bash
# The plug-in's dynamic symbols: the factories under their plain names, the
# service classes and the interfaces, and nothing of the engine.
#   check-exports.sh PATH_TO_LIBVELNARLANJOIN_SO
set -euo pipefail
symbols=$(nm -D --defined-only "$1" | awk '{print $3}')
status=0
for pattern in '^CreateJoinClass$' '^_ZN5brenn11matchmaking6velnar13VelnarLanJoinC[12]E' \
    '^CreateHostClass$' '^_ZN5brenn11matchmaking6velnar13VelnarLanHost6updateEv$' \
    '^_ZN5brenn11matchmaking6velnar13VelnarLanJoin11sortServersE' '^_ZN5brenn11matchmaking8IServiceaSERKS1_$' \
    '^_ZN5brenn11matchmaking12IJoinServiceC[12]ERKS1_$' '^_ZN5brenn11matchmaking12IHostServiceC[12]Ev$'; do
    grep -q -E "$pattern" <<<"$symbols" || { echo "missing export: $pattern"; status=1; }
done
# (Of the platform layer only the simulated LAN is exported, for hosts' tests.)
if grep -E '_ZN5brenn(7browser|7hosting|6server|8dynarray|9hashtable|10stringpool|10allocation|11serverindex|8platform)' \
    <<<"$symbols" | grep -v '_ZN5brenn8platform12SimulatedLan'; then
    echo "engine internals are exported (above)"
    status=1
fi
echo "$(wc -l <<<"$symbols") dynamic symbols"
exit $status
