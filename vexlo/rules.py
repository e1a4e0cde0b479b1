"""Public Suffix Lists loaded at run time.

``load_rules(source)`` reads a list file, by path or as its bytes, into a
`Rules` object whose methods answer exactly as the module functions of the
same names do, from that list instead of the one compiled into vexlo. The
file is read by the same C++ reader that the build uses, so it is accepted or
refused alike; vexlo never fetches a list by itself. Extra rules (a
company's own suffixes) go on top of a file's (``extra=``) or of any Rules,
the compiled list's included (``Rules.with_rules``).
"""

import os
from collections.abc import Iterable

from vexlo import _columns

Rules = _columns.Rules

# A list file of more bytes is refused before it is read whole.
MAX_LIST_BYTES: int = _columns._MAX_LIST_BYTES


def load_rules(source: "str | os.PathLike[str] | bytes", *, extra: Iterable[str] = ()) -> Rules:
    """The rules of a Public Suffix List file: a path (str or os.PathLike) or
    the file's bytes (a UTF-8 byte-order mark at its start is skipped). The
    *extra* rules, each written as on a line of the file, are added on top of
    its own, in its PRIVATE section. A file that is not a list vexlo can hold
    raises ValueError naming the first faulty line (or extra rule) and why; a
    file that cannot be read, the OSError that reading it raises."""
    if isinstance(source, (bytes, bytearray, memoryview)):
        data = bytes(source)
    elif isinstance(source, str) and ("\n" in source or "\r" in source):
        # The list's text rather than a path: naming it in an OSError would
        # print the whole list.
        raise TypeError(
            "load_rules() takes a path or the list's bytes: pass text.encode() for its text"
        )
    elif isinstance(source, (str, os.PathLike)):
        with open(source, "rb") as file:
            data = file.read(MAX_LIST_BYTES + 1)
    else:
        raise TypeError(
            "load_rules() takes a path (str or os.PathLike) or the bytes of a list file, not "
            f"{type(source).__qualname__}"
        )
    return _columns._load_rules(data, extra)


def compiled_rules() -> Rules:
    """The rules of the list compiled into vexlo (vexlo.LIST_CHECKSUM); put
    rules of your own on top with its with_rules()."""
    return _columns._compiled_rules()


def _loaded_rules_with(source: bytes, extra: tuple[str, ...]) -> Rules:
    """How a pickled loaded Rules comes back."""
    return load_rules(source, extra=extra)


def _compiled_rules_like(checksum: str, extra: tuple[str, ...] = ()) -> Rules:
    """The compiled rules, when they are those of the list `checksum`, with
    the extra rules on top: how a pickled compiled Rules comes back, in a
    process whose vexlo may have been built from another list."""
    rules = compiled_rules()
    if rules.checksum != checksum:
        raise ValueError(
            f"these rules were pickled from a vexlo whose compiled list has the checksum "
            f"{checksum}, but this vexlo's has {rules.checksum}: pickle a loaded list "
            "(vexlo.load_rules) to ship it between processes"
        )
    return rules.with_rules(extra)
