"""Texts from the network to str, and str to bytes for the library."""
import os


def _cp1252_high():
    """Windows-1252's characters for bytes 0x80 to 0x9F; the five bytes it
    leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their own code point."""
    table = {}
    for byte in range(0x80, 0xA0):
        try:
            table[byte] = bytes([byte]).decode("cp1252")
        except UnicodeDecodeError:
            table[byte] = chr(byte)
    return table


# From Latin-1 (each byte its own code point) to Windows-1252.
_LATIN1_TO_CP1252 = _cp1252_high()


def decode(raw):
    """bytes as the server sent them to str: valid UTF-8 as it is, anything
    else as Windows-1252. Never raises; None stays None."""
    if raw is None:
        return None
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("latin-1").translate(_LATIN1_TO_CP1252)


def encode(text):
    """A str (as UTF-8), bytes (as they are), a path or a number, as bytes
    for the library; None stays None. ValueError for a text holding NUL,
    which the library would see cut short there."""
    if text is None:
        return None
    if isinstance(text, os.PathLike):
        raw = os.fsencode(text)
    elif isinstance(text, (bytes, bytearray)):
        raw = bytes(text)
    else:
        raw = str(text).encode("utf-8", "surrogateescape")
    if b"\0" in raw:
        raise ValueError("a text for the library holds NUL: %r" % (text,))
    return raw
