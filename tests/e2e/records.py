"""The records lanbrowse should show for a server lanserver ran, read through
the key map as the plug-in reads it, and the values a sort compares."""

NONE = "(NONE)"
MAX_PLAYERS = 256  # the plug-in writes at most this many player values


def c_atoi(text):
    """What C's atoi gives: blanks, a sign, then digits up to the first other character."""
    text = text.lstrip(" \t\n\v\f\r")
    sign, i = 1, 0
    if text[:1] and text[0] in "+-":
        sign, i = (-1 if text[0] == "-" else 1), 1
    digits = ""
    while i < len(text) and text[i].isdigit():
        digits += text[i]
        i += 1
    return sign * int(digits) if digits else 0


def c_atof(text):
    import re
    m = re.match(r"\s*[+-]?(\d+\.?\d*([eE][+-]?\d+)?|\.\d+([eE][+-]?\d+)?)", text)
    return float(m.group(0)) if m else 0.0


def load_key_map(path):
    """(section, key, server key) per line, newest line first, as the key map keeps them."""
    entries = []
    with open(path, encoding="latin-1") as f:
        for line in f.read().splitlines():
            def token(text, pos, delims):
                while pos < len(text) and text[pos] in delims:
                    pos += 1
                if pos >= len(text):
                    return None, len(text)
                end = pos
                while end < len(text) and text[end] not in delims:
                    end += 1
                return text[pos:end], end + 1
            section, pos = token(line, 0, ".")
            key, pos = token(line, pos, "=") if section is not None else (None, 0)
            server_key, pos = token(line, pos, "#;") if key is not None else (None, 0)
            if server_key is not None:
                entries.insert(0, (section, key, server_key))
    return entries


def lookup(entries, key):
    for _, k, server_key in entries:
        if k == key:
            return server_key
    return key


def expected_record(server, entries):
    pairs = dict(server["pairs"])
    record = {"basic": {}, "info": {}, "players": {}, "teams": {}, "rules": {}}
    for section, key, _ in entries:
        if section not in record:
            continue
        server_key = lookup(entries, key)
        if section == "players":
            count = min(c_atoi(pairs.get("numplayers", "0")), MAX_PLAYERS)
            for i in range(count):
                record["players"][(str(i), key)] = pairs.get(f"{server_key}_{i}", NONE)
        else:
            record[section][key] = pairs.get(server_key, NONE)
    return record


def actual_record(server):
    record = {}
    for section in ("basic", "info", "players", "teams", "rules"):
        values = {}
        for v in server[section]:
            values[(v["index"], v["key"]) if "index" in v else v["key"]] = v["value"]
        record[section] = values
    return record


def sort_value(pairs, server_key, mode):
    text = pairs.get(server_key, "")
    if mode == "int":
        return c_atoi(text)
    if mode == "float":
        return c_atof(text)
    if mode == "nocase":
        return text.lower().encode()
    return text.encode()
