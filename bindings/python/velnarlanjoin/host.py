"""Hosting a game: answering the browsers' status queries with its values."""
from ctypes import byref, c_void_p, sizeof
from dataclasses import dataclass

from . import _native
from ._handle import Owned
from ._native import check, int32
from .text import encode


@dataclass(frozen=True)
class HostLimits:
    """Which queries a hosted game answers: only senders on the LAN
    (lan_only), and at most so many replies a second to one sender address
    and to all together, with their bursts (each 1 to 1000000)."""
    lan_only: bool = True
    sender_rate: int = 10
    sender_burst: int = 5
    total_rate: int = 500
    total_burst: int = 100


@dataclass(frozen=True)
class HostCounters:
    """What a hosted game did with the datagrams that reached it."""
    answered: int
    not_queries: int
    not_local: int
    rate_limited: int

    @property
    def refused(self):
        return self.not_queries + self.not_local + self.rate_limited


class Host(Owned):
    """Announces a game on the LAN. Call step() from the game's loop while
    hosting; use it from one thread at a time. Closing it (or leaving its
    with-block) stops hosting and frees it.

    Texts are str (sent as UTF-8) or bytes (sent as they are); numbers are
    sent as their decimal text. Every setter raises Error and changes
    nothing when the library refuses the value."""

    _kind = "host"

    def __init__(self, name=None):
        lib = self._lib = _native.library()
        handle = c_void_p()
        check(lib, lib.vlj_host_create(encode(name), byref(handle)), "vlj_host_create")
        self._own(handle.value, lib.vlj_host_destroy, handle.value)

    def _call(self, name, *args):
        return check(self._lib, getattr(self._lib, name)(self._h(), *args), name)

    def start(self, hostname, port=0):
        """Starts answering on port, or on the first free one of 22000 to
        22010 for 0; returns the port. Error: ALREADY_HOSTING, BAD_PORT,
        BAD_VALUE, PORT_IN_USE, SOCKET_FAILED."""
        self._call("vlj_host_start", encode(hostname), int32(port))
        return self.port

    def stop(self):
        """Stops answering and gives the port back; the values stay."""
        self._call("vlj_host_stop")

    def step(self):
        """Reads the queries waiting and answers them; never waits."""
        self._call("vlj_host_step")

    @property
    def hosting(self):
        return self._call("vlj_host_is_hosting") == 1

    @property
    def port(self):
        """The port answered on; 0 while not hosting."""
        return self._call("vlj_host_port")

    @property
    def announcing(self):
        """Whether the game tells live browsers of itself (off until set):
        while on and hosting, it sends "\\announce\\..." to UDP port 22020 of
        every broadcast address after starting and after its values change,
        and "\\goodbye\\..." when hosting stops."""
        return self._call("vlj_host_is_announcing") == 1

    @announcing.setter
    def announcing(self, on):
        self._call("vlj_host_set_announcing", 1 if on else 0)

    def set_server_value(self, section, key, value):
        """A value in section "basic", "info", "rules" or "teams"."""
        self._call("vlj_host_set_server_value", encode(section), encode(key), encode(value))

    def set_player_value(self, player, key, value):
        """A value of the player in slot player (0 to 255), adding the player."""
        self._call("vlj_host_set_player_value", int32(player), encode(key), encode(value))

    def remove_player(self, player):
        self._call("vlj_host_remove_player", int32(player))

    def set_player_limit(self, limit):
        """"maxplayers", and the most players taken (0 to 256)."""
        self._call("vlj_host_set_player_limit", int32(limit))

    @property
    def player_count(self):
        return self._call("vlj_host_player_count")

    @property
    def limits(self):
        raw = _native.HostLimits(size=sizeof(_native.HostLimits))
        self._call("vlj_host_get_limits", byref(raw))
        return HostLimits(bool(raw.lan_only), raw.sender_rate, raw.sender_burst, raw.total_rate, raw.total_burst)

    @limits.setter
    def limits(self, limits):
        """Sets every limit and refills the buckets; Error BAD_LIMIT (nothing
        changes) for a rate or burst out of range."""
        for name in ("sender_rate", "sender_burst", "total_rate", "total_burst"):
            if not 0 <= getattr(limits, name) < 2**32:
                raise ValueError("%s out of range: %r" % (name, getattr(limits, name)))
        raw = _native.HostLimits(sizeof(_native.HostLimits), 1 if limits.lan_only else 0, limits.sender_rate,
                                 limits.sender_burst, limits.total_rate, limits.total_burst)
        self._call("vlj_host_set_limits", byref(raw))

    @property
    def counters(self):
        raw = _native.HostCounters(size=sizeof(_native.HostCounters))
        self._call("vlj_host_get_counters", byref(raw))
        return HostCounters(raw.answered, raw.not_queries, raw.not_local, raw.rate_limited)
