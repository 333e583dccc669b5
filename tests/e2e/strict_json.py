"""Reading the tools' JSON strictly: the bytes must be valid UTF-8 (no byte
a server sent may pass through undecoded) and the text valid JSON."""
import json


def _text(path):
    with open(path, "rb") as f:
        data = f.read()
    try:
        return data.decode("utf-8")  # strict: any invalid byte fails
    except UnicodeDecodeError as e:
        raise SystemExit(f"{path}: not valid UTF-8 at byte {e.start}: {data[max(0, e.start - 20):e.end + 20]!r}")


def _reject_constant(name):
    raise ValueError(f"not JSON: {name}")


def load(path):
    """The one JSON value of the file."""
    return json.loads(_text(path), parse_constant=_reject_constant)


def load_lines(path):
    """One JSON value per non-empty line."""
    return [json.loads(line, parse_constant=_reject_constant) for line in _text(path).splitlines() if line.strip()]
