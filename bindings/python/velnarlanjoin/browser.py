"""Browsing the LAN: the Browser, its passes and their events."""
import time
from ctypes import byref, c_void_p, sizeof
from dataclasses import dataclass
from typing import Optional

from . import _native
from ._handle import Owned
from ._native import check, int32
from .constants import COMPARE_NAMES, Compare, Problem, Result, State, Update
from .server import Server, copy_server
from .text import decode, encode

_EVENT_SERVER, _EVENT_STATE, _EVENT_PROBLEM, _EVENT_GONE = 1, 2, 3, 4


@dataclass(frozen=True)
class ServerListed:
    """A server was listed (is_new) or refreshed. server is its copy, None
    when it was listed no more by the time the event was read."""
    server: Optional[Server]
    server_id: int
    address: str
    port: int
    progress: int
    is_new: bool


@dataclass(frozen=True)
class ServerGone:
    """A live list's server left it: it stopped answering or said goodbye.
    The browser no longer lists it once the step that reported it is over."""
    server_id: int
    address: str
    port: int


@dataclass(frozen=True)
class StateChanged:
    state: State


@dataclass(frozen=True)
class UpdateProblem:
    """Something kept the update from asking the network; comes before the
    pass's last StateChanged(State.IDLE)."""
    problem: Problem


def _enum(kind, value):
    try:
        return kind(value)
    except ValueError:
        return value


class Pass:
    """One update of the browser's list, started by Browser.update.
    Iterating it steps the browser and yields the events (ServerListed,
    ServerGone, StateChanged, UpdateProblem) as they arrive, until the
    update is over; wait() does the same and returns the servers. A live
    list is over only once closed: break out of the loop, or call close()."""

    def __init__(self, browser):
        self._browser = browser
        self._copies = {}
        self.done = False
        self.problem = Problem.NONE

    def _heard(self, event):
        if isinstance(event, ServerListed) and event.server is not None:
            self._copies[event.server_id] = event.server
        elif isinstance(event, ServerGone):
            self._copies.pop(event.server_id, None)
        elif isinstance(event, UpdateProblem):
            self.problem = event.problem
        elif isinstance(event, StateChanged) and event.state == State.IDLE:
            self.done = True

    def __iter__(self):
        browser = self._browser
        while not self.done:
            yield from browser.step()
            if not self.done:
                time.sleep(browser.tick)

    def wait(self, timeout=None):
        """Steps the browser until the update is over and returns its list
        (a list of Server, in the browser's order). Raises TimeoutError when
        timeout seconds pass first; the update then goes on."""
        deadline = None if timeout is None else time.monotonic() + timeout
        browser = self._browser
        while not self.done:
            if deadline is not None and time.monotonic() > deadline:
                raise TimeoutError("the update was not over after %g s" % timeout)
            browser.step()
            if not self.done:
                time.sleep(browser.tick)
        return browser._listed(self._copies)

    def close(self):
        """Ends the update (a live list) at once: nothing is sent afterwards
        and the servers stay listed; the next step brings
        StateChanged(State.IDLE). Nothing when the update is over."""
        if not self.done and self._browser._pass is self:
            self._browser._call("vlj_browser_close")


class Browser(Owned):
    """Finds the game servers on the LAN. Use it from one thread at a time;
    close it (or leave its with-block) to free it with its servers.

    key_map: the key map file (None: MultiplayerServers/VelnarKeyMap.ini
    under the current directory), read once, here, without a message:
    Error NOT_FOUND when the file given cannot be read, key_map_loaded
    False when the default one is missing; max_queries: servers queried at
    once (0: 8); tick: seconds a pass sleeps between two steps;
    servers_per_address (1 to 65535; 0: 16) and servers_total (1 to
    1000000; 0: 4096): how many servers are taken from one address and in
    all, further answers being ignored."""

    _kind = "browser"

    def __init__(self, key_map=None, max_queries=0, name=None, tick=0.005, servers_per_address=0,
                 servers_total=0):
        lib = self._lib = _native.library()
        config = _native.BrowserConfig()
        lib.vlj_browser_config_init(byref(config))
        config.max_queries = int32(max_queries)
        config.key_map_path = encode(key_map)
        config.name = encode(name)
        config.servers_per_address = int32(servers_per_address)
        config.servers_total = int32(servers_total)
        config.size = sizeof(config)  # the bounds are read only from a config this large
        handle = c_void_p()
        check(lib, lib.vlj_browser_create(byref(config), byref(handle)), "vlj_browser_create")
        # The trace callback lives as long as the C browser that may call it.
        self._keep = {}
        self._own(handle.value, _destroy, lib, handle.value, self._keep)
        self._event = _native.Event()
        self._event_ref = byref(self._event)
        self._pass = None
        self._pending = []  # events read but not handed out yet
        self._errors = []  # what the trace function raised, for the call it ran in
        self.tick = tick

    def _raise_callback_error(self):
        if self._errors:
            error = self._errors[0]
            self._errors.clear()
            raise error

    def _call(self, name, *args):
        result = getattr(self._lib, name)(self._h(), *args)
        self._raise_callback_error()
        return check(self._lib, result, name)

    def update(self, kind=Update.FULL):
        """Starts an update (FULL and INFO empty the list first, AUX and LIVE
        keep it; LIVE runs until its Pass is closed) and returns its Pass at
        once. Raises Error: BUSY while an update
        runs, NO_SOCKET when the sockets could not be opened."""
        result = self._lib.vlj_browser_update(self._h(), int32(kind))
        if result >= 0 or result == Result.NO_SOCKET:
            self._pass = Pass(self)
        if result == Result.NO_SOCKET:
            self.step()  # the failed update's events end here, not in the next pass
        check(self._lib, result, "vlj_browser_update")
        return self._pass

    def step(self):
        """One step of the running update; never waits. Returns the events
        it delivered, in order (their servers copied out). When the trace
        function raised, that comes out instead, and the events come with
        the next step."""
        lib, handle, raw = self._lib, self._h(), self._event
        result = lib.vlj_browser_step(handle)
        while check(lib, lib.vlj_browser_poll_event(handle, self._event_ref), "vlj_browser_poll_event") == 1:
            if raw.kind == _EVENT_SERVER:
                server = copy_server(lib, raw.server, "vlj_server_value_at") if raw.server else None
                event = ServerListed(server, raw.server_id, decode(raw.address), raw.port, raw.progress,
                                     bool(raw.is_new))
            elif raw.kind == _EVENT_STATE:
                event = StateChanged(_enum(State, raw.state))
            elif raw.kind == _EVENT_PROBLEM:
                event = UpdateProblem(_enum(Problem, raw.problem))
            elif raw.kind == _EVENT_GONE:
                event = ServerGone(raw.server_id, decode(raw.address), raw.port)
            else:
                continue  # a kind of a later version of the library
            if self._pass is not None:
                self._pass._heard(event)
            self._pending.append(event)
        self._raise_callback_error()
        check(lib, result, "vlj_browser_step")
        events, self._pending = self._pending, []
        return events

    @property
    def updating(self):
        return self._call("vlj_browser_is_updating") == 1

    @property
    def problem(self):
        """What kept the last update from asking the network (a Problem)."""
        return _enum(Problem, self._call("vlj_browser_update_problem"))

    @property
    def key_map_loaded(self):
        """False when the default key map could not be read: the servers
        then hold "info"/"ping" alone. True otherwise."""
        return self._call("vlj_browser_key_map_loaded") == 1

    @property
    def receive_buffer(self):
        """The receive buffer, in bytes, that an update asks the system for
        (1048576 unless set; 0: none asked, the system's default). Setting
        it takes effect at the next update; 0 or less asks for none."""
        return self._call("vlj_browser_receive_buffer")

    @receive_buffer.setter
    def receive_buffer(self, size):
        if int(size) >= 2**31:
            raise ValueError("receive buffer too large: %r" % size)
        self._call("vlj_browser_set_receive_buffer", int32(size))

    def clear(self):
        """Forgets the servers listed. Raises Error BUSY while updating."""
        self._call("vlj_browser_clear")

    def sort(self, key, ascending=True, mode=Compare.TEXT):
        """Orders the list by the value the servers sent for key; mode is a
        Compare or one of "int", "float", "text", "nocase"."""
        if isinstance(mode, str):
            if mode not in COMPARE_NAMES:
                raise ValueError("mode must be one of %s, not %r" % (", ".join(COMPARE_NAMES), mode))
            mode = COMPARE_NAMES[mode]
        self._call("vlj_browser_sort", encode(key), 1 if ascending else 0, int32(mode))

    @property
    def servers(self):
        """The servers listed, copied, in the list's order."""
        return self._listed({})

    def _listed(self, copies):
        lib, handle = self._lib, self._h()
        listed = []
        for index in range(self._call("vlj_browser_server_count")):
            pointer = lib.vlj_browser_server_at(handle, index)
            if pointer:
                copy = copies.get(lib.vlj_server_id(pointer))
                listed.append(copy or copy_server(lib, pointer, "vlj_server_value_at"))
        return listed

    def __len__(self):
        return self._call("vlj_browser_server_count")

    def find(self, server_id):
        """The server listed with that id, copied, or None."""
        if not 0 < server_id < 2**32:
            return None
        pointer = self._lib.vlj_browser_find_server(self._h(), server_id)
        return copy_server(self._lib, pointer, "vlj_server_value_at") if pointer else None

    @property
    def trace(self):
        return self._keep.get("trace_function")

    @trace.setter
    def trace(self, function):
        """function(line: str) hears the library's trace lines, inside step()
        and update(); None stops them. An exception it raises comes out of
        that step() (the next one, when raised inside update())."""
        if function is None:
            self._call("vlj_browser_set_trace_callback", _native.TRACE_CALLBACK(), None)
            self._keep.clear()
            return

        errors = self._errors

        def hear(line, _user):
            try:
                function(decode(line))
            except BaseException as error:  # must not cross the C frames
                errors.append(error)
        callback = _native.TRACE_CALLBACK(hear)
        self._call("vlj_browser_set_trace_callback", callback, None)
        self._keep.update(trace=callback, trace_function=function)


def _destroy(lib, handle, keep):
    lib.vlj_browser_destroy(handle)
    keep.clear()
