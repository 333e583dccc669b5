"""The exceptions the binding raises."""


class Error(Exception):
    """A call of the library failed. code is its negative result
    (velnarlanjoin.Result), text the library's own words for it, call the
    function that returned it. The call changed nothing."""

    def __init__(self, code, text, call):
        super().__init__("%s: %s (%d)" % (call, text, code))
        self.code, self.text, self.call = code, text, call


class LibraryNotFoundError(OSError):
    """No candidate path loads as the library. tried holds (path, reason)
    for each path tried, in order."""

    def __init__(self, tried):
        lines = "".join("\n  %s: %s" % item for item in tried)
        super().__init__("the VelnarLanJoin library could not be loaded; set VELNARLANJOIN_LIBRARY to its path "
                         "or put it beside the package. Tried:" + lines)
        self.tried = list(tried)


class LibraryVersionError(OSError):
    """The library found is of another major version than the binding's."""

    def __init__(self, path, version, major):
        found = "%d.%d.%d" % (version >> 16, (version >> 8) & 0xFF, version & 0xFF)
        super().__init__("%s is version %s of the VelnarLanJoin library, but this binding needs version %d.x; "
                         "install a binding of version %d or the library of version %d"
                         % (path, found, major, version >> 16, major))
        self.path, self.version = path, version
