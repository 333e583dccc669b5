#!/usr/bin/env python3
"""Checks that lanbrowse --json listed exactly one game, the hosted one.

The game is NAME on port 22000 with two players, Ada and Bo, of 8, on the
map "scree": what examples/hostgame and lanlist --host report by default.
"""
import sys

import strict_json


def main():
    path, name = sys.argv[1], sys.argv[2]
    servers = strict_json.load(path)["servers"]
    if len(servers) != 1:
        print(f"FAILED: {len(servers)} servers listed, expected the hosted game")
        return 1
    s = servers[0]
    info = {v["key"]: v["value"] for v in s["info"]}
    names = {v["index"]: v["value"] for v in s["players"] if v["key"] == "name"}
    want = {"hostname": name, "numplayers": "2", "maxplayers": "8", "mapname": "scree"}
    if s["port"] != 22000 or any(info.get(k) != v for k, v in want.items()):
        print(f"FAILED: listed as {s['port']} {info}")
        return 1
    if names != {"0": "Ada", "1": "Bo"}:
        print(f"FAILED: players {names}")
        return 1
    print(f"ok: {name} listed at {s['address']}:{s['port']} with its players")
    return 0


if __name__ == "__main__":
    sys.exit(main())
