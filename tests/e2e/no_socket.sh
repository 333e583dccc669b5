#!/usr/bin/env bash
# lanbrowse when the system lets it open no socket (ulimit -n): it says what
# failed and why, and exits 3; with sockets but no network it says that
# instead and exits 2. It runs in a private network namespace with nothing
# but a loopback that is down, so nothing it sends can leave.
#   no_socket.sh LANBROWSE SOURCE_DIR   (exit 77: no namespace can be made)
set -euo pipefail
lanbrowse=${1:?usage: no_socket.sh LANBROWSE SOURCE_DIR}
source_dir=${2:?usage: no_socket.sh LANBROWSE SOURCE_DIR}

if [[ ${NO_SOCKET_INSIDE:-} != yes ]]; then
    for enter in "unshare -n" "unshare -rn"; do
        $enter true 2>/dev/null && exec env NO_SOCKET_INSIDE=yes $enter "$0" "$@"
    done
    echo "SKIP: no private network namespace can be made here (needs root or user namespaces)"
    exit 77
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$source_dir"  # for the key map

# run LIMIT: lanbrowse with at most LIMIT open files, and none open but the
# standard three (whatever the test's runner passed down); status in $status.
run() {
    status=0
    (
        for fd in $(ls "/proc/$BASHPID/fd"); do
            if ((fd > 2)); then exec {fd}>&-; fi
        done
        ulimit -n "$1"
        exec "$lanbrowse" --queries 8 --timeout 10
    ) >"$tmp/out" 2>"$tmp/err" || status=$?
    echo "ulimit -n $1: exit $status: $(grep -v '^$' "$tmp/err" | tail -n 1)"
}
fail() {
    echo "FAILED: $*"
    cat "$tmp/err"
    exit 1
}

# Files enough to start (the sanitizers' checks want two more than the
# three standard ones) but not for the 8 query sockets and the discovery
# socket: 6 leaves query sockets short, 11 only the discovery socket.
for limit in 6 11; do
    run "$limit"
    [[ $status -eq 3 ]] || fail "exit $status, expected 3"
    grep -q "^lanbrowse: could not open a socket: Too many open files" "$tmp/err" || fail "no reason given"
    grep -q "no server answered" "$tmp/err" && fail "said that no server answered"
    [[ ! -s $tmp/out ]] || fail "printed a table"
done
# Sockets enough: the update runs and finds no network to broadcast on.
run 64
[[ $status -eq 2 ]] || fail "exit $status, expected 2"
grep -q "no broadcast could be sent" "$tmp/err" || fail "no message for the missing network"
grep -q "could not open a socket" "$tmp/err" && fail "blamed the sockets"
echo "ok: no socket"
