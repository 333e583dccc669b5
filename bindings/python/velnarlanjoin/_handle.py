"""What Browser and Host share: a C object of the library that the Python
object owns, freed once, by close(), its with-block or the collector."""
import weakref


class Owned:
    _kind = "object"  # how the closed error names it

    def _own(self, handle, destroy, *args):
        """Takes handle; destroy(*args) frees it."""
        self._handle = handle
        self._close = weakref.finalize(self, destroy, *args)

    def close(self):
        """Frees the C object; a running update stops, and the Server
        copies taken stay valid. Closing twice does nothing."""
        self._close()
        self._handle = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _h(self):
        if self._handle is None:
            raise ValueError("the %s is closed" % self._kind)
        return self._handle
