#!/usr/bin/env bash
# Installs the built library into a scratch prefix, then configures, builds
# and runs the host project of this folder against that installation.
#   run.sh LIBRARY_BUILD_DIR [CMAKE_ARGUMENT...]
set -euo pipefail
build=$1
shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
cmake -S "$here" -B "$scratch/host" -DCMAKE_PREFIX_PATH="$scratch/prefix" "$@" >/dev/null
cmake --build "$scratch/host" >/dev/null
# The key map is missing on purpose: the plug-in says so once and goes on.
cd "$scratch"
LD_LIBRARY_PATH="$scratch/prefix/lib:$scratch/prefix/lib64${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" "$scratch/host/package_host"
