"""The library's codes as Python enumerations."""
from enum import IntEnum


class Result(IntEnum):
    """Result codes; Error.code holds one of the negative ones."""
    OK = 0
    INVALID_ARGUMENT = -1
    NO_MEMORY = -2
    BUFFER_TOO_SMALL = -3
    NOT_FOUND = -4
    BUSY = -5
    NO_SOCKET = -6
    STRUCT_SIZE = -7
    INTERNAL = -8
    PORT_IN_USE = -101
    SOCKET_FAILED = -102
    ALREADY_HOSTING = -103
    BAD_PORT = -104
    BAD_KEY = -105
    BAD_VALUE = -106
    BAD_SECTION = -107
    BAD_PLAYER = -108
    SERVER_FULL = -109
    REPLY_TOO_LARGE = -110
    BAD_LIMIT = -111


class Update(IntEnum):
    FULL = 0  # forget the servers listed, then find them afresh
    INFO = 1  # the same as FULL on a LAN
    AUX = 2   # keep the servers listed; those found again are refreshed
    LIVE = 3  # a live list: keeps the servers listed and stays true until closed


class Compare(IntEnum):
    INTEGER = 0
    FLOAT = 1
    TEXT = 2    # byte order, case-sensitive
    NOCASE = 3  # ASCII letters compared without case


# The names lanbrowse --mode takes, accepted by Browser.sort too.
COMPARE_NAMES = {"int": Compare.INTEGER, "float": Compare.FLOAT, "text": Compare.TEXT, "nocase": Compare.NOCASE}


class State(IntEnum):
    IDLE = 1      # the update is over (a live list: closed)
    QUERYING = 4  # the servers found are being queried
    LIVE = 5      # a live list's first sweep is complete


class Problem(IntEnum):
    NONE = 0
    NO_SOCKET = 1     # the update could not open its sockets
    NO_BROADCAST = 2  # not one broadcast could be sent: no network, no route
    KEPT_SERVERS = 3  # the list could not be emptied for want of memory: it was kept


SECTIONS = ("basic", "info", "players", "teams", "rules")
