#!/usr/bin/env bash
# A shared library's dynamic symbols against its rules: the plug-in's
# (tests/package/exports.rules: the factories under their plain names, the
# service classes and the interfaces, and nothing of the engine), or the
# simulated LAN library's (simlan-exports.rules).
#   check-exports.sh PATH_TO_LIBRARY [RULES]
set -euo pipefail
nm -D --defined-only "$1" | awk '{print $3}' | "$(dirname "${BASH_SOURCE[0]}")/match-exports.sh" ${2:+"$2"}
