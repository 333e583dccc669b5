"""Records in one comparable shape, from lanbrowse --json and from the
binding: (address:port, sections, players), the ping left out (each
browser measures its own)."""
import json

from velnarlanjoin import SECTIONS, decode


def _text(value):
    # lanbrowse writes the bytes as the server sent them: back to bytes, then
    # the binding's rule.
    return decode(value.encode("utf-8", "surrogateescape"))


def _shape(endpoint, sections, players):
    sections = {name: dict(values) for name, values in sections.items()}
    sections["info"].pop("ping", None)
    return endpoint, sections, [dict(p) for p in players]


def from_lanbrowse(output):
    """The records of the first pass of lanbrowse --json output (bytes), in its order."""
    document = json.loads(output.decode("utf-8", "surrogateescape").splitlines()[0])
    records = []
    for server in document["servers"]:
        sections = {name: {} for name in SECTIONS}
        players = []
        for name in SECTIONS:
            for value in server[name]:
                key, text = _text(value["key"]), _text(value["value"])
                if "index" not in value:
                    sections[name][key] = text
                    continue
                index = int(value["index"])
                players += [{} for _ in range(index + 1 - len(players))]
                players[index][key] = text
        records.append(_shape("%s:%d" % (server["address"], server["port"]), sections, players))
    return records


def from_binding(servers):
    return [_shape(s.endpoint, s.sections, s.players) for s in servers]
