"""Moves the test process into a private network namespace of its own, so
that what the tests broadcast stays on its loopback."""
import ctypes
import os
import subprocess

CLONE_NEWNET, CLONE_NEWUSER = 0x40000000, 0x10000000


def _unshare(flags):
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.unshare(flags) != 0:
        return os.strerror(ctypes.get_errno())
    return None


def enter_private_network():
    """None once this process is alone in a new network namespace with its
    loopback up and 255.255.255.255 routed onto it (from 127.0.0.1); else why it is not."""
    if not hasattr(os, "uname") or os.uname().sysname != "Linux":
        return "private network namespaces need Linux"
    uid, gid = os.geteuid(), os.getegid()
    why = _unshare(CLONE_NEWNET)
    if why is not None:
        # Not allowed to: a user namespace of our own grants it.
        why = _unshare(CLONE_NEWUSER | CLONE_NEWNET)
        if why is not None:
            return "no network namespace can be made here (%s; needs root or user namespaces)" % why
        for name, text in (("setgroups", "deny"), ("uid_map", "0 %d 1" % uid), ("gid_map", "0 %d 1" % gid)):
            with open("/proc/self/" + name, "w") as f:
                f.write(text)
    # The broadcast route names its source: without it, broadcasts leave from
    # 0.0.0.0, and a game's announcement would not come from its own address.
    for command in (["ip", "link", "set", "lo", "up"],
                    ["ip", "route", "add", "broadcast", "255.255.255.255", "dev", "lo", "table", "local",
                     "src", "127.0.0.1"]):
        try:
            subprocess.run(command, check=True, capture_output=True)
        except (OSError, subprocess.CalledProcessError) as error:
            return "cannot set up the loopback of the private namespace (%s; is iproute2 installed?)" % error
    return None
