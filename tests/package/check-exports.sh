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
    '^_ZN5brenn11matchmaking12IJoinServiceC[12]ERKS1_$' '^_ZN5brenn11matchmaking12IHostServiceC[12]Ev$' \
    '^_ZN5brenn8platform7installERKNS0_10OperationsE$' '^_ZN5brenn8platform7currentEv$' '^_ZN5brenn8platform6nativeEv$' \
    '^_ZN5brenn8platform11hostToNet16Et$' '^_ZN5brenn8platform11netToHost32Ej$'; do
    grep -q -E "$pattern" <<<"$symbols" || { echo "missing export: $pattern"; status=1; }
done
# Of the platform layer only what Platform.h declares (the table in use and
# the byte order helpers) and the simulated LAN are exported.
if grep -E '_ZN5brenn(7browser|7hosting|6server|8dynarray|9hashtable|10stringpool|10allocation|11serverindex|8platform)' \
    <<<"$symbols" | grep -v -E '_ZN5brenn8platform(12SimulatedLan|7install|7current|6native|11(hostToNet|netToHost)(16|32))'; then
    echo "engine internals are exported (above)"
    status=1
fi
echo "$(wc -l <<<"$symbols") dynamic symbols"
exit $status
