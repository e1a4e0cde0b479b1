"""Public Suffix Lists loaded at run time.

``load_rules(source)`` reads a list file, by path or as its bytes, into a
`Rules` object whose methods answer exactly as the module functions of the
same names do, from that list instead of the one compiled into vexlo. The
file is read by the same C++ reader that the build uses, so it is accepted or
refused alike; vexlo never fetches a list by itself.
"""

import os

from vexlo import _columns

Rules = _columns.Rules

# A list file of more bytes is refused before it is read whole.
MAX_LIST_BYTES: int = _columns._MAX_LIST_BYTES


def load_rules(source: "str | os.PathLike[str] | bytes") -> Rules:
    """The rules of a Public Suffix List file: a path (str or os.PathLike) or
    the file's bytes. A file that is not a list vexlo can hold raises
    ValueError naming the first faulty line and why; a file that cannot be
    read, the OSError that reading it raises."""
    if isinstance(source, (bytes, bytearray, memoryview)):
        data = bytes(source)
    elif isinstance(source, (str, os.PathLike)):
        with open(source, "rb") as file:
            data = file.read(MAX_LIST_BYTES + 1)
    else:
        raise TypeError(
            "load_rules() takes a path (str or os.PathLike) or the bytes of a list file, not "
            f"{type(source).__qualname__}"
        )
    return _columns._load_rules(data)


def compiled_rules() -> Rules:
    """The rules of the list compiled into vexlo (vexlo.LIST_CHECKSUM)."""
    return _columns._compiled_rules()


def _compiled_rules_like(checksum: str) -> Rules:
    """The compiled rules, when they are those of the list `checksum`: how a
    pickled compiled Rules comes back, in a process whose vexlo may have been
    built from another list."""
    rules = compiled_rules()
    if rules.checksum != checksum:
        raise ValueError(
            f"these rules were pickled from a vexlo whose compiled list has the checksum "
            f"{checksum}, but this vexlo's has {rules.checksum}: pickle a loaded list "
            "(vexlo.load_rules) to ship it between processes"
        )
    return rules
