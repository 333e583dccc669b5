#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, when any is
# missing and we run as root. Prints nothing when all are there.
set -euo pipefail

missing=()
command -v cmake >/dev/null || missing+=(cmake)
command -v g++ >/dev/null || missing+=(g++)
command -v gcc >/dev/null || missing+=(gcc)  # the C host and the C header checks
command -v pkg-config >/dev/null || missing+=(pkg-config)
command -v make >/dev/null || missing+=(make)
[[ -f /usr/include/gtest/gtest.h ]] || missing+=(libgtest-dev)
[[ -f /usr/include/benchmark/benchmark.h ]] || missing+=(libbenchmark-dev)
# JSON in lanbrowse and lanserver (header-only, for the cross builds too).
[[ -f /usr/include/nlohmann/json.hpp ]] || missing+=(nlohmann-json3-dev)
command -v ip >/dev/null || missing+=(iproute2)
command -v nft >/dev/null || missing+=(nftables)
command -v python3 >/dev/null || missing+=(python3)
/usr/bin/python3 -c "import pytest" 2>/dev/null || missing+=(python3-pytest)
# The C# binding's test: compiled with mcs, run with mono.
command -v mcs >/dev/null || missing+=(mono-mcs)
command -v mono >/dev/null || missing+=(mono-runtime)
for extra in "$@"; do
    dpkg -s "$extra" >/dev/null 2>&1 || missing+=("$extra")
done

if (( ${#missing[@]} )); then
    if [[ $(id -u) -ne 0 ]]; then
        echo "missing packages: ${missing[*]} (run as root to install them)" >&2
        exit 1
    fi
    echo "installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${missing[@]}" >/dev/null
fi
