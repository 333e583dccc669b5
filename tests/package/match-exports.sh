#!/usr/bin/env bash
# Checks a list of exported names (one a line, on standard input) against
# the rules of tests/package/exports.rules. Prints what is missing or
# forbidden and the count of names; non-zero when a rule is broken.
#   match-exports.sh < NAMES
set -euo pipefail
rules="$(dirname "${BASH_SOURCE[0]}")/exports.rules"
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
        echo "forbidden exports (above): engine internals, or names decorated with @N"
        status=1
    fi
done
echo "$(grep -c . <<<"$names") exported names"
exit $status
