#!/usr/bin/env python3
"""Checks that every listing of tests/e2e/every_host.sh holds exactly the
games hosted, each once, with its port, hostname, map and players.
  check_every_host.py --game PORT NAME MAP PLAYERS [--game ...] LISTING...
PLAYERS are the names joined by ", ". A LISTING is the table of
lanlist --players (*.txt), or the JSON that tests/csharp/LanJoinCheck.cs
and tests/e2e/every_host.py write (its last pass)."""
import argparse
import json
import re
import sys


def from_table(path):
    games = []
    for line in open(path, encoding="utf-8").read().splitlines()[1:]:
        cells = re.split(r" {2,}", line.strip())
        if len(cells) not in (6, 7):
            raise ValueError("%s: a row of %d cells: %r" % (path, len(cells), line))
        endpoint, name, map_name = cells[0], cells[2], cells[3]
        games.append((int(endpoint.rsplit(":", 1)[1]), name, map_name, cells[6] if len(cells) == 7 else ""))
    return games


def from_json(path):
    games = []
    for server in json.load(open(path, encoding="utf-8"))["passes"][-1]["servers"]:
        values = server["values"]
        info = {key: value for section, player, key, value in values if section == "info" and player is None}
        names = {int(player): value for section, player, key, value in values if section == "players" and key == "name"}
        games.append((server["port"], info.get("hostname"), info.get("mapname"),
                      ", ".join(names[i] for i in sorted(names))))
    return games


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--game", nargs=4, action="append", required=True, metavar=("PORT", "NAME", "MAP", "PLAYERS"))
    parser.add_argument("listings", nargs="+")
    args = parser.parse_args()
    wanted = sorted((int(port), name, map_name, players) for port, name, map_name, players in args.game)
    failed = 0
    for path in args.listings:
        got = sorted(from_table(path) if path.endswith(".txt") else from_json(path))
        if got != wanted:
            failed += 1
            print("FAILED: %s listed\n  %s\nexpected\n  %s" % (path, "\n  ".join(map(repr, got)),
                                                              "\n  ".join(map(repr, wanted))))
        else:
            print("ok: %s lists all %d games" % (path, len(wanted)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
