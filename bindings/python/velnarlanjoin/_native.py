"""The library's C interface through ctypes: finding and loading the library,
its structures, and the prototype of every function used."""
import ctypes
import ctypes.util
import os
import sys
import threading
import warnings
from ctypes import POINTER, Structure, c_char, c_char_p, c_int32, c_uint32, c_uint64, c_void_p

from .constants import Result
from .errors import Error, LibraryNotFoundError, LibraryVersionError
from .text import decode

# The major version of the C interface this binding was written for.
MAJOR_VERSION = 1
ENVIRONMENT_VARIABLE = "VELNARLANJOIN_LIBRARY"
if sys.platform == "win32":
    FILE_NAMES = ("VelnarLanJoin.dll",)
elif sys.platform == "darwin":
    FILE_NAMES = ("libVelnarLanJoin.1.dylib", "libVelnarLanJoin.dylib")
else:
    FILE_NAMES = ("libVelnarLanJoin.so.1",)


class BrowserConfig(Structure):
    _fields_ = [("size", c_uint32), ("max_queries", c_int32), ("key_map_path", c_char_p), ("name", c_char_p),
                ("servers_per_address", c_int32), ("servers_total", c_int32)]


class Event(Structure):
    _fields_ = [("kind", c_int32), ("state", c_int32), ("progress", c_int32), ("is_new", c_int32),
                ("problem", c_int32), ("server_id", c_uint32), ("port", c_int32),
                ("address", c_char * 16), ("server", c_void_p)]


class HostLimits(Structure):
    _fields_ = [("size", c_uint32), ("lan_only", c_int32), ("sender_rate", c_uint32), ("sender_burst", c_uint32),
                ("total_rate", c_uint32), ("total_burst", c_uint32)]


class HostCounters(Structure):
    _fields_ = [("size", c_uint32), ("reserved", c_uint32), ("answered", c_uint64), ("not_queries", c_uint64),
                ("not_local", c_uint64), ("rate_limited", c_uint64)]


# Callbacks use the C calling convention (CFUNCTYPE is cdecl on every platform).
TRACE_CALLBACK = ctypes.CFUNCTYPE(None, c_char_p, c_void_p)

_handle, _ptr, _i32, _u32, _text = c_void_p, c_void_p, c_int32, c_uint32, c_char_p
# name: (result type, argument types). Objects travel as untyped pointers.
PROTOTYPES = {
    "vlj_result_text": (_text, [_i32]),
    "vlj_version": (_u32, []),
    "vlj_version_text": (_text, []),
    "vlj_browser_config_init": (None, [POINTER(BrowserConfig)]),
    "vlj_browser_create": (_i32, [POINTER(BrowserConfig), POINTER(c_void_p)]),
    "vlj_browser_destroy": (None, [_handle]),
    "vlj_browser_update": (_i32, [_handle, _i32]),
    "vlj_browser_step": (_i32, [_handle]),
    "vlj_browser_is_updating": (_i32, [_handle]),
    "vlj_browser_close": (_i32, [_handle]),
    "vlj_browser_clear": (_i32, [_handle]),
    "vlj_browser_sort": (_i32, [_handle, _text, _i32, _i32]),
    "vlj_browser_update_problem": (_i32, [_handle]),
    "vlj_browser_key_map_loaded": (_i32, [_handle]),
    "vlj_browser_set_receive_buffer": (_i32, [_handle, _i32]),
    "vlj_browser_receive_buffer": (_i32, [_handle]),
    "vlj_browser_poll_event": (_i32, [_handle, POINTER(Event)]),
    "vlj_browser_set_trace_callback": (_i32, [_handle, TRACE_CALLBACK, c_void_p]),
    "vlj_browser_server_count": (_i32, [_handle]),
    "vlj_browser_server_at": (_ptr, [_handle, _i32]),
    "vlj_browser_find_server": (_ptr, [_handle, _u32]),
    "vlj_server_id": (_u32, [_ptr]),
    "vlj_server_address": (_text, [_ptr]),
    "vlj_server_port": (_i32, [_ptr]),
    "vlj_server_ping": (_i32, [_ptr]),
    "vlj_server_value": (_text, [_ptr, _text, _text]),
    "vlj_server_value_count": (_i32, [_ptr, _text]),
    "vlj_server_value_at": (_i32, [_ptr, _text, _i32, POINTER(c_char_p), POINTER(c_char_p), POINTER(c_int32)]),
    "vlj_host_create": (_i32, [_text, POINTER(c_void_p)]),
    "vlj_host_destroy": (None, [_handle]),
    "vlj_host_start": (_i32, [_handle, _text, _i32]),
    "vlj_host_stop": (_i32, [_handle]),
    "vlj_host_is_hosting": (_i32, [_handle]),
    "vlj_host_port": (_i32, [_handle]),
    "vlj_host_step": (_i32, [_handle]),
    "vlj_host_set_server_value": (_i32, [_handle, _text, _text, _text]),
    "vlj_host_set_player_value": (_i32, [_handle, _i32, _text, _text]),
    "vlj_host_remove_player": (_i32, [_handle, _i32]),
    "vlj_host_set_player_limit": (_i32, [_handle, _i32]),
    "vlj_host_player_count": (_i32, [_handle]),
    "vlj_host_set_announcing": (_i32, [_handle, _i32]),
    "vlj_host_is_announcing": (_i32, [_handle]),
    "vlj_host_get_limits": (_i32, [_handle, POINTER(HostLimits)]),
    "vlj_host_set_limits": (_i32, [_handle, POINTER(HostLimits)]),
    "vlj_host_get_counters": (_i32, [_handle, POINTER(HostCounters)]),
}


def candidates(environ=None, package_dir=None, system_names=None):
    """The places to load the library from, in order: the environment
    variable's path, the package's own folder, then the system's loader
    (by the name find_library gives, and by the plain file names). A
    generator: find_library, which may run programs, runs only when the
    places before have failed."""
    environ = os.environ if environ is None else environ
    package_dir = os.path.dirname(os.path.abspath(__file__)) if package_dir is None else package_dir
    if environ.get(ENVIRONMENT_VARIABLE):
        yield environ[ENVIRONMENT_VARIABLE]
    for name in FILE_NAMES:
        yield os.path.join(package_dir, name)
    if system_names is None:
        system_names = [ctypes.util.find_library("VelnarLanJoin")] + list(FILE_NAMES)
    seen = set()
    for name in system_names:
        if name and name not in seen:
            seen.add(name)
            yield name


def load(paths):
    """Loads the first of paths that loads as the library with a C interface
    of this binding's major version, with every prototype set. Raises
    LibraryNotFoundError listing each path tried and why it failed, or
    LibraryVersionError for a library of another major version."""
    tried = []
    for path in paths:
        try:
            lib = ctypes.CDLL(path)
        except OSError as error:
            reason = str(error) or "cannot be loaded"
            tried.append((path, reason[len(path) + 2:] if reason.startswith(path + ": ") else reason))
            continue
        # The version first: another major version may lack functions of this one.
        if not hasattr(lib, "vlj_version"):
            tried.append((path, "loads, but has no C interface (no vlj_version)"))
            continue
        lib.vlj_version.restype, lib.vlj_version.argtypes = c_uint32, []
        version = lib.vlj_version()
        if version >> 16 != MAJOR_VERSION:
            raise LibraryVersionError(path, version, MAJOR_VERSION)
        missing = [name for name in PROTOTYPES if not hasattr(lib, name)]
        if missing:
            tried.append((path, "loads, but lacks %s of the C interface" % missing[0]))
            continue
        for name, (restype, argtypes) in PROTOTYPES.items():
            function = getattr(lib, name)
            function.restype, function.argtypes = restype, argtypes
        if tried and tried[0][0] == os.environ.get(ENVIRONMENT_VARIABLE):
            warnings.warn("%s=%s: %s; loaded %s instead" % (ENVIRONMENT_VARIABLE, tried[0][0], tried[0][1], path))
        lib.path = path
        return lib
    raise LibraryNotFoundError(tried)


_lock = threading.Lock()
_library = None


def library():
    """The library, loaded on first use from the first candidate that works."""
    global _library
    with _lock:
        if _library is None:
            _library = load(candidates())
        return _library


def check(lib, result, call):
    """result when it is not negative; else raises Error with the code and
    the library's text for it."""
    if result >= 0:
        return result
    try:
        code = Result(result)
    except ValueError:
        code = result
    raise Error(code, decode(lib.vlj_result_text(result)), call)


def int32(value):
    """value for an int32_t argument; one out of its range as -1, which every
    argument that takes a count, slot, port or limit refuses (ctypes would
    wrap it round into a valid one)."""
    value = int(value)
    return value if -2**31 <= value < 2**31 else -1
