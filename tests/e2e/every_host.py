#!/usr/bin/env python3
"""The Python host of tests/e2e/every_host.sh, through the binding:
  every_host.py host NAME MAP PLAYER READY STOP SECONDS
      hosts a game on the first free port, writes the port into READY, and
      answers until the file STOP exists or SECONDS pass
  every_host.py list OUT
      lists the LAN in one pass; the records into OUT as JSON, in the shape
      tests/csharp/LanJoinCheck.cs writes them
The library is the one VELNARLANJOIN_LIBRARY names (else the binding's search)."""
import json
import os
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "bindings" / "python"))
import velnarlanjoin as vlj  # noqa: E402


def host(name, map_name, player, ready, stop, seconds):
    with vlj.Host("every-host") as game:
        game.set_player_limit(8)
        game.set_server_value("info", "mapname", map_name)
        game.set_server_value("info", "gametype", "king_of_the_hill")
        game.set_player_value(0, "player", player)
        Path(ready).write_text("%d\n" % game.start(name))
        deadline = time.monotonic() + float(seconds)
        while not os.path.exists(stop) and time.monotonic() < deadline:
            game.step()
            time.sleep(0.002)
        print("answered", game.counters.answered)


def listing(out):
    with vlj.Browser() as browser:
        servers = browser.update().wait(timeout=30)
    records = []
    for s in servers:
        values = [[section, None, key, value] for section, plain in s.sections.items() for key, value in plain.items()]
        values += [["players", str(i), key, value] for i, player in enumerate(s.players) for key, value in player.items()]
        records.append({"address": s.address, "port": s.port, "values": values})
    Path(out).write_text(json.dumps({"passes": [{"servers": records}]}))
    print("python: %d servers" % len(records))


if __name__ == "__main__":
    if len(sys.argv) == 8 and sys.argv[1] == "host":
        host(*sys.argv[2:])
    elif len(sys.argv) == 3 and sys.argv[1] == "list":
        listing(sys.argv[2])
    else:
        sys.exit("usage: every_host.py host NAME MAP PLAYER READY STOP SECONDS | list OUT")
