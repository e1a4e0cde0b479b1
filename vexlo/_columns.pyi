# Types of the compiled column module, whose private functions serve
# vexlo.columns and the command line; stubtest compares this file with the
# built module.
from collections.abc import Iterable
from types import CapsuleType
from typing import Any, Final

__all__ = [
    "_answer_array",
    "_answer_stream",
    "_answer_list",
    "_default_thread_count",
    "_line_format",
    "_answer_lines",
    "_answer_name",
    "host",
    "_QUESTIONS",
]

# The names of the questions, indexed by their codes.
_QUESTIONS: Final[tuple[str, ...]]

def _line_format(
    fields: tuple[str, ...],
    json: bool,
    depth: int,
    accept_unknown: bool,
    icann_only: bool,
    keep_case: bool,
    urls: bool,
    /,
) -> CapsuleType:
    """The row format of the vexlo command, for _answer_lines and _answer_name.
    With *urls* each name is a URL or an e-mail address, answered for its host."""

def _answer_lines(
    block: bytes, at_end: bool, format: CapsuleType, threads: int, /
) -> tuple[bytes, int, int, tuple[tuple[int, int, int], ...]]:
    """Rows for the whole lines at the start of *block* (bytes), made by up to
    *threads* threads, as a tuple
    (rows, consumed, lines, bad_lines). Without *at_end* the bytes after the
    last newline are not answered: *consumed* stops before them. *bad_lines*
    holds (line, byte, row_offset) for each line that is not UTF-8: its index
    in the block, its first bad byte counted from 1, and where its row starts."""

def _answer_name(name: bytes, format: CapsuleType, /) -> tuple[bytes, int | None]:
    """The row for *name* (bytes), taken whole, as a tuple (row, bad_byte):
    bad_byte is None, or the first byte that is not UTF-8 counted from 1."""

def _answer_array(
    schema: CapsuleType,
    array: CapsuleType,
    question: int,
    accept_unknown: bool,
    icann_only: bool,
    keep_case: bool,
    keep_ip: bool,
    depth: int,
    threads: int,
    buffer_sizes: tuple[int | None, ...] | None,
    /,
) -> tuple[CapsuleType, CapsuleType]:
    """The answers for an Arrow array of names (PyCapsules 'arrow_schema' and
    'arrow_array', the array taken over), as such a pair of capsules."""

def _answer_stream(
    stream: CapsuleType,
    question: int,
    accept_unknown: bool,
    icann_only: bool,
    keep_case: bool,
    keep_ip: bool,
    depth: int,
    threads: int,
    /,
) -> CapsuleType:
    """The answers for an Arrow stream of names (a PyCapsule 'arrow_array_stream',
    taken over and read to its end), as such a capsule."""

def _answer_list(
    items: Iterable[str | None],
    question: int,
    accept_unknown: bool,
    icann_only: bool,
    keep_case: bool,
    keep_ip: bool,
    depth: int,
    threads: int,
    /,
) -> list[Any]:
    """The answers for an iterable of str and None, as a list."""

def _default_thread_count(names: int, /) -> int:
    """The number of threads that answer a column of *names* names when the
    caller does not say."""

def host(text: str, *, keep_ip: bool = False) -> str | None:
    """Return the host name in *text*, a URL, an e-mail address or a host name,
    as written there, or None if it has none. An IP address is None too,
    unless *keep_ip* (an IPv6 address without its brackets)."""
