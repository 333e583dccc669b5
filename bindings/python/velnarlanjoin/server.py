"""A listed server, copied out of the library's record."""
from ctypes import byref, c_char_p, c_int32
from dataclasses import dataclass, field
from typing import Dict, List

from ._native import check
from .constants import SECTIONS
from .text import decode

_SECTION_NAMES = [(name, name.encode()) for name in SECTIONS]


@dataclass(frozen=True)
class Server:
    """A server as the browser listed it: a plain copy that stays valid
    after the browser moves on or is closed.

    sections maps each section ("basic", "info", "players", "teams",
    "rules") to its values of no player, key to text; players holds the
    values of each player (0, 1, ...) of section "players", key to text.
    A mapped key that the server did not send reads "(NONE)"."""
    id: int
    address: str
    port: int
    ping: int
    sections: Dict[str, Dict[str, str]] = field(repr=False)
    players: List[Dict[str, str]] = field(repr=False)

    def __hash__(self):
        # The values are dicts; equal servers share these three anyway.
        return hash((self.id, self.address, self.port))

    @property
    def endpoint(self):
        return "%s:%d" % (self.address, self.port)

    @property
    def info(self):
        return self.sections["info"]

    @property
    def rules(self):
        return self.sections["rules"]

    @property
    def hostname(self):
        return self.sections["info"].get("hostname")


def copy_server(lib, pointer, call):
    """The Server the library's record at pointer holds, read while the
    pointer is valid. Raises Error when a value cannot be read."""
    key, value, player = c_char_p(), c_char_p(), c_int32()
    key_ref, value_ref, player_ref = byref(key), byref(value), byref(player)
    value_at = lib.vlj_server_value_at
    sections, players = {}, []
    for name, raw_name in _SECTION_NAMES:
        plain = sections[name] = {}
        for index in range(lib.vlj_server_value_count(pointer, raw_name)):
            check(lib, value_at(pointer, raw_name, index, key_ref, value_ref, player_ref), call)
            k, v, p = decode(key.value), decode(value.value), player.value
            if p < 0:
                plain[k] = v
            elif name == "players":
                while len(players) <= p:
                    players.append({})
                players[p][k] = v
            else:
                plain["%s_%d" % (k, p)] = v  # no key map does this; kept rather than lost
    return Server(lib.vlj_server_id(pointer), decode(lib.vlj_server_address(pointer)), lib.vlj_server_port(pointer),
                  lib.vlj_server_ping(pointer), sections, players)
