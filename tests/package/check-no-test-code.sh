#!/usr/bin/env bash
# The shipped plug-in holds no test or benchmark code: none of its symbols
# (local ones too, where the binary still has them) and none of its texts
# names the simulated LAN, a test hook, a benchmark mode or its setting.
#   check-no-test-code.sh PATH_TO_PLUGIN    (NM names another nm, e.g. for a DLL)
set -euo pipefail
plugin=$1
forbidden='SimulatedLan|simlan|[Tt]esting|failAfter|findServerLinear|disableServerIndex|BRENN_DISCOVERY|[Bb]enchmark|classic'
found=$( { "${NM:-nm}" -C "$plugin" 2>/dev/null || true; strings -a "$plugin"; } | grep -E "$forbidden" | sort -u || true)
if [[ -n $found ]]; then
    echo "$found"
    echo "$(basename "$plugin") holds test or benchmark code (above)"
    exit 1
fi
echo "$(basename "$plugin"): no test or benchmark code"
