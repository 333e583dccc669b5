#!/usr/bin/env bash
# The plug-in's dynamic symbols against tests/package/exports.rules: the
# factories under their plain names, the service classes and the
# interfaces, and nothing of the engine.
#   check-exports.sh PATH_TO_LIBVELNARLANJOIN_SO
set -euo pipefail
nm -D --defined-only "$1" | awk '{print $3}' | "$(dirname "${BASH_SOURCE[0]}")/match-exports.sh"
