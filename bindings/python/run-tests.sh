#!/usr/bin/env bash
# Runs the Python binding's tests with pytest (CTest's Python.Binding).
#   run-tests.sh [PYTEST ARGS...]
# VELNARLANJOIN_LIBRARY, LANSERVER and LANBROWSE name the built library and
# tools (default: those of build/test). A run that collects no test fails.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Debian's python3-pytest serves Debian's python3, which may not be the
# first python3 on PATH.
python=""
for candidate in /usr/bin/python3 python3; do
    if command -v "$candidate" >/dev/null && "$candidate" -c "import pytest" 2>/dev/null; then
        python=$candidate
        break
    fi
done
[[ -n $python ]] || { echo "pytest is missing: install python3-pytest (scripts/install-deps.sh does)" >&2; exit 1; }

export PYTHONDONTWRITEBYTECODE=1
status=0
"$python" -m pytest -p no:cacheprovider -q -rs "$here/tests" "$@" || status=$?
if ((status == 5)); then
    echo "FAILED: pytest collected no test" >&2
    exit 1
fi
exit "$status"
