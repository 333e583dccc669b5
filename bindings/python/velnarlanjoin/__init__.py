"""velnarlanjoin: find the game servers on the LAN and host a game that
browsers list, through the VelnarLanJoin library's C interface (ctypes).

    with Browser() as browser:
        for server in browser.update().wait(timeout=30):
            print(server.endpoint, server.hostname)

The library is loaded on first use: from the path in VELNARLANJOIN_LIBRARY,
else beside this package, else through the system's loader."""
from .browser import Browser, Pass, ServerGone, ServerListed, StateChanged, UpdateProblem
from .constants import SECTIONS, Compare, Problem, Result, State, Update
from .errors import Error, LibraryNotFoundError, LibraryVersionError
from .host import Host, HostCounters, HostLimits
from .server import Server
from .text import decode

__version__ = "1.1.0"
__all__ = ["Browser", "Pass", "ServerGone", "ServerListed", "StateChanged", "UpdateProblem", "SECTIONS", "Compare",
           "Problem", "Result", "State", "Update", "Error", "LibraryNotFoundError", "LibraryVersionError", "Host",
           "HostCounters", "HostLimits", "Server", "decode", "library_version", "library_path"]


def library_version():
    """The loaded library's version as text ("1.1.0"); loads it if needed."""
    from . import _native
    return decode(_native.library().vlj_version_text())


def library_path():
    """The path (or name) the library was loaded from; loads it if needed."""
    from . import _native
    return _native.library().path
