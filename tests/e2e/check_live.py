#!/usr/bin/env python3
"""Checks the events of lanbrowse --live --json against the servers that ran.

Expected, with times in ms since the list opened (the start times given are
taken by the script, a few ms before the list or the servers were ready):
the servers there from the start listed within 300 ms and never gone; the
first sweep complete between 3 and 4 s; the servers that announce listed
within 300 ms of their start and gone within 1100 ms of their goodbye (the
end of their 5 s); the old server started later listed by the broadcast
round that follows its start and gone within 16 s (and a round's margin)
of its stop; the list closed last, nothing after it.
"""
import argparse
import sys

import strict_json

GAME = "ridgeline"


def listed_servers(manifest):
    """address:port of the servers that answer queries with this game (or none)."""
    return {f"{s['address']}:{s['port']}" for s in strict_json.load(manifest)
            if s["behaviour"] == "answers" and dict(s["pairs"]).get("gamename", GAME) == GAME}


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--events", required=True)
    p.add_argument("--manifest", required=True)
    p.add_argument("--announcing", required=True)
    p.add_argument("--announcing-at", type=int, required=True)
    p.add_argument("--old", required=True)
    p.add_argument("--old-at", type=int, required=True)
    a = p.parse_args()
    events = strict_json.load_lines(a.events)
    problems = []

    def first(kind, server):
        return next((e["ms"] for e in events if e["kind"] == kind and e.get("server") == server), None)

    start = listed_servers(a.manifest)
    for s in sorted(start):
        ms = first("new", s)
        if ms is None or ms > 300:
            problems.append(f"{s}: listed at {ms} ms, expected within 300 ms")
        if first("gone", s) is not None:
            problems.append(f"{s}: reported gone at {first('gone', s)} ms")
    sweeps = [e for e in events if e["kind"] == "sweep"]
    if len(sweeps) != 1 or not 3000 <= sweeps[0]["ms"] <= 4000:
        problems.append(f"first sweep: {sweeps}, expected one between 3000 and 4000 ms")
    for s in sorted(listed_servers(a.announcing)):
        new, gone = first("new", s), first("gone", s)
        if new is None or new > a.announcing_at + 300:
            problems.append(f"{s} (announcing, started at {a.announcing_at}): listed at {new} ms")
        goodbye = a.announcing_at + 5000
        if gone is None or not goodbye - 300 <= gone <= goodbye + 1100:
            problems.append(f"{s} (announcing, goodbye about {goodbye}): gone at {gone} ms")
    rounds = [5800, 13800, 29800]
    for s in sorted(listed_servers(a.old)):
        new, gone = first("new", s), first("gone", s)
        due = next(r for r in rounds if r > a.old_at) + 300
        if new is None or new > due:
            problems.append(f"{s} (old, started at {a.old_at}): listed at {new} ms, expected by {due}")
        stop = a.old_at + 6000
        if gone is None or not stop <= gone <= stop + 16000 + 1000:
            problems.append(f"{s} (old, stopped about {stop}): gone at {gone} ms")
    if not events or events[-1]["kind"] != "closed":
        problems.append("the last event is not the list's close")
    elif events[-1]["servers"] != len(start):
        problems.append(f"closed with {events[-1]['servers']} servers, expected {len(start)}")
    for problem in problems:
        print("FAILED:", problem)
    if not problems:
        print(f"live: {len(events)} events as expected")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
