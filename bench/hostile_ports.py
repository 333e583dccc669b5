#!/usr/bin/env python3
"""A broken or hostile machine for scripts/bench_live.sh: every status
query that reaches UDP port PORT (a broadcast, or one sent to ADDRESS) is
answered with "\\final\\" from COUNT ports of ADDRESS (30000 upward), where
no query is ever answered. Runs SECONDS seconds, then exits.

    hostile_ports.py ADDRESS PORT COUNT SECONDS
"""
import resource
import select
import socket
import sys
import time


def main():
    address, port, count, seconds = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), float(sys.argv[4])
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    want = count + 64
    if soft < want:
        resource.setrlimit(resource.RLIMIT_NOFILE, (want, max(hard, want)))
    listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("", port))
    senders = []
    for i in range(count):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.bind((address, 30000 + i))
        senders.append(s)
    end = time.monotonic() + seconds
    answered = 0
    while time.monotonic() < end:
        ready, _, _ = select.select([listener], [], [], 0.1)
        if not ready:
            continue
        data, sender = listener.recvfrom(2048)
        if not data.startswith(b"\\status\\"):
            continue
        for s in senders:
            s.sendto(b"\\final\\", sender)
        answered += 1
    print(f"hostile_ports: answered {answered} queries from {count} ports")


if __name__ == "__main__":
    main()
