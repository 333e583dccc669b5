#!/usr/bin/env bash
# Checks a list of exported names (one a line, on standard input) against
# the rules of tests/package/exports.rules (the plug-in's), or of the rules
# file given (simlan-exports.rules: the simulated LAN's library). Prints
# what is missing or forbidden and the count of names; non-zero when a rule
# is broken.
#   match-exports.sh [RULES] < NAMES
set -euo pipefail
rules=${1:-"$(dirname "${BASH_SOURCE[0]}")/exports.rules"}
names=$(cat)
status=0
forbid=() allow=()
while read -r word pattern; do
    case $word in
        require) grep -q -E "$pattern" <<<"$names" || { echo "missing export: $pattern"; status=1; } ;;
        forbid) forbid+=("$pattern") ;;
        allow) allow+=("$pattern") ;;
        "" | \#*) ;;
        *) echo "exports.rules: unknown rule '$word'"; exit 2 ;;
    esac
done <"$rules"
for pattern in "${forbid[@]}"; do
    found=$(grep -E "$pattern" <<<"$names" || true)
    for allowed in "${allow[@]}"; do found=$(grep -v -E "$allowed" <<<"$found" || true); done
    if [[ -n $found ]]; then
        echo "$found"
        echo "names exported against $(basename "$rules") (above)"
        status=1
    fi
done
echo "$(grep -c . <<<"$names") exported names"
exit $status
