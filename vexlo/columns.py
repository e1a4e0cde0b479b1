"""Public Suffix List answers for whole columns of names at once, and the
host names of whole columns of URLs and e-mail addresses.

Each function takes a column and answers every name in it exactly as the
function of the same name in `vexlo` answers that name, in C++, without a
Python object per name and without the interpreter lock. The answers come
back in the same kind of column:

- a pyarrow Array gives a pyarrow Array, a ChunkedArray a ChunkedArray with
  the same chunks;
- a pandas Series (Arrow-backed or of dtype object) gives a pandas Series with
  the same index and name; a Polars Series gives a Polars Series;
- any other object exporting the Arrow PyCapsule interface
  (``__arrow_c_array__`` or ``__arrow_c_stream__``), such as a DuckDB
  relation of one column, gives answers that export the same interface
  (`ArrowArrayAnswers` or `ArrowStreamAnswers`), which pyarrow and Polars
  import without copying;
- a list, tuple or other iterable of str and None gives a list.

Arrow columns may be of type string, large_string or string_view. Text answers
(hosts among them) are string (large_string when the input is, or when the
text would not fit), the predicates' answers bool, and privateparts' answers
list<string>. A null element gives null from every function; an invalid name
gives null from the functions that answer text and False from the
predicates, as the scalar functions give None and False, and a text without
a host gives null from `host`. An element that is not UTF-8 is an invalid
name, and has no host.

The registrable domains of a column of URLs are
``privatesuffix(host(urls))``.

``threads`` is the number of threads that answer a column (at most 256): by
default every core for large columns, one for small ones. The answers are the
same whatever the count.

``rules`` is the list to answer from: a `vexlo.Rules` (``vexlo.load_rules()``),
or None for the list compiled into vexlo.
"""

import sys
from collections.abc import Iterable
from types import CapsuleType
from typing import Any, Final

from vexlo import _columns, _lookup
from vexlo.rules import Rules

__all__ = [
    "publicsuffix",
    "privatesuffix",
    "is_public",
    "is_private",
    "privateparts",
    "subdomain",
    "host",
    "ArrowArrayAnswers",
    "ArrowStreamAnswers",
]

# The codes of the questions, as the C++ side numbers them.
_QUESTIONS: Final = {name: code for code, name in enumerate(_columns._QUESTIONS)}
_PREDICATES: Final = frozenset({_QUESTIONS["is_public"], _QUESTIONS["is_private"]})
_PRIVATEPARTS: Final = _QUESTIONS["privateparts"]
_MAX_THREADS: Final = 256

# question, accept_unknown, icann_only, keep_case, keep_ip, depth, threads (0:
# default), rules (None: the compiled list)
_Request = tuple[int, bool, bool, bool, bool, int, int, Rules | None]


class ArrowArrayAnswers:
    """Answers in Arrow's own layout, one array, exported through the Arrow
    PyCapsule interface (``pyarrow.array(answers)``, ``polars.Series(answers)``).
    They are handed over once: the first import takes them."""

    __slots__ = ("_capsules",)

    def __init__(self, capsules: tuple[CapsuleType, CapsuleType]) -> None:
        # Held in a list, whose pop() hands them to one caller alone however
        # many threads import the answers at once.
        self._capsules = [capsules]

    def __arrow_c_array__(
        self, requested_schema: object | None = None
    ) -> tuple[CapsuleType, CapsuleType]:
        try:
            return self._capsules.pop()
        except IndexError:
            raise TypeError("these answers were already taken by an earlier import") from None


class ArrowStreamAnswers:
    """Answers in Arrow's own layout, a stream of arrays, exported through the
    Arrow PyCapsule interface (``pyarrow.chunked_array(answers)``,
    ``polars.Series(answers)``). They are handed over once: the first import
    takes them."""

    __slots__ = ("_stream",)

    def __init__(self, stream: CapsuleType) -> None:
        self._stream = [stream]  # as ArrowArrayAnswers._capsules

    def __arrow_c_stream__(self, requested_schema: object | None = None) -> CapsuleType:
        try:
            return self._stream.pop()
        except IndexError:
            raise TypeError("these answers were already taken by an earlier import") from None


def _request(
    function: str,
    depth: object,
    accept_unknown: object,
    icann_only: object,
    keep_case: object,
    threads: object,
    rules: object,
    keep_ip: object = False,
) -> _Request:
    """The arguments checked exactly as the scalar function checks them (one
    call of it, so its errors and notes are the ones raised), `threads` and
    `rules`."""
    if rules is not None and not isinstance(rules, Rules):
        raise TypeError(f"rules must be a vexlo.Rules or None, not {type(rules).__qualname__}")
    if function == "host":
        _columns.host("a", keep_ip=keep_ip)  # type: ignore[arg-type]
    else:
        scalar = getattr(_lookup, function)
        switches: dict[str, object] = {"accept_unknown": accept_unknown, "icann_only": icann_only}
        if function not in ("is_public", "is_private"):
            switches["keep_case"] = keep_case
        scalar("a", *([depth] if function == "subdomain" else []), **switches)
    if threads is None:
        count = 0
    elif isinstance(threads, bool) or not isinstance(threads, int):
        raise TypeError(f"threads must be an int or None, not {type(threads).__qualname__}")
    elif threads < 1:
        raise ValueError(f"threads must be at least 1, not {threads}")
    else:
        count = min(threads, _MAX_THREADS)
    return (
        _QUESTIONS[function],
        bool(accept_unknown),
        bool(icann_only),
        bool(keep_case),
        bool(keep_ip),
        depth.__index__() if function == "subdomain" else 0,  # type: ignore[attr-defined]
        count,
        rules,
    )


def _loaded(module: str) -> Any:
    """A module of another library if the program has imported it (an object
    of its types can exist only then)."""
    return sys.modules.get(module)


def _answer(column: object, request: _Request) -> Any:
    top = type(column).__module__.partition(".")[0]
    if top == "pyarrow":
        pa = _loaded("pyarrow")
        if isinstance(column, pa.Array):
            return pa.array(_arrow_array(column, request, _pyarrow_sizes(column)))
        if isinstance(column, pa.ChunkedArray):
            return _pyarrow_chunked(pa, column, request)
    if top == "pandas" and isinstance(column, _loaded("pandas").Series):
        return _pandas_series(column, request)
    if top == "polars" and isinstance(column, _loaded("polars").Series):
        answers = _loaded("polars").Series(_arrow_stream(column, request))
        return answers.alias(column.name)
    if hasattr(type(column), "__arrow_c_array__"):
        return _arrow_array(column, request, None)
    if hasattr(type(column), "__arrow_c_stream__"):
        return _arrow_stream(column, request)
    if isinstance(column, (str, bytes, bytearray, memoryview)) or not isinstance(column, Iterable):
        raise TypeError(
            f"expected a column of names (an Arrow array or stream, a pandas or Polars "
            f"Series, or an iterable of str and None), got {type(column).__qualname__}"
        )
    return _columns._answer_list(column, *request)


def _arrow_array(
    column: Any, request: _Request, sizes: tuple[int | None, ...] | None
) -> ArrowArrayAnswers:
    schema, array = column.__arrow_c_array__()
    return ArrowArrayAnswers(_columns._answer_array(schema, array, *request, sizes))


def _arrow_stream(column: Any, request: _Request) -> ArrowStreamAnswers:
    return ArrowStreamAnswers(_columns._answer_stream(column.__arrow_c_stream__(), *request))


def _pyarrow_sizes(array: Any) -> tuple[int | None, ...]:
    """The byte sizes of a pyarrow array's buffers, which pyarrow knows and
    the Arrow C interface does not carry: checked before any name is read."""
    return tuple(None if buffer is None else buffer.size for buffer in array.buffers())


def _pyarrow_chunked(pa: Any, column: Any, request: _Request) -> Any:
    if request[6] == 0:
        # The default is decided by the whole column, not chunk by chunk.
        threads = min(_columns._default_thread_count(len(column)), _MAX_THREADS)
        request = (*request[:6], threads, request[7])
    chunks = [
        pa.array(_arrow_array(chunk, request, _pyarrow_sizes(chunk))) for chunk in column.chunks
    ]
    large = pa.types.is_large_string(column.type)
    text = pa.large_string() if large else pa.string()
    if request[0] in _PREDICATES:
        wanted = pa.bool_()
    elif request[0] == _PRIVATEPARTS:
        wanted = pa.list_(text)
    else:
        wanted = text
    if not chunks and not _is_string_type(pa, column.type):
        raise TypeError(f"expected a string, large_string or string_view column, got {column.type}")
    # A chunk whose answers passed 2 GiB came back with 64-bit offsets.
    widest = next((chunk.type for chunk in chunks if chunk.type != wanted), wanted)
    return pa.chunked_array([chunk.cast(widest) for chunk in chunks], type=widest)


def _is_string_type(pa: Any, data_type: Any) -> bool:
    return bool(
        pa.types.is_string(data_type)
        or pa.types.is_large_string(data_type)
        or pa.types.is_string_view(data_type)
    )


def _pandas_series(series: Any, request: _Request) -> Any:
    pd = _loaded("pandas")
    dtype = series.dtype
    if pd.api.types.is_object_dtype(dtype) or (
        isinstance(dtype, pd.StringDtype) and dtype.storage == "python"
    ):
        values = series.to_numpy(dtype=object, na_value=None)
        return pd.Series(
            _columns._answer_list(values, *request),
            index=series.index,
            name=series.name,
            dtype=object,
        )
    if isinstance(dtype, (pd.ArrowDtype, pd.StringDtype)):
        pa = sys.modules["pyarrow"]  # Arrow-backed pandas data needs pyarrow loaded
        values = pa.array(series.array)  # the Series' own Arrow data, one array
        answers = pa.array(_arrow_array(values, request, _pyarrow_sizes(values)))
        result = pd.Series(
            pd.arrays.ArrowExtensionArray(answers),
            index=series.index,
            name=series.name,
            copy=False,
        )
        text_answers = request[0] not in _PREDICATES and request[0] != _PRIVATEPARTS
        if isinstance(dtype, pd.StringDtype) and text_answers:
            result = result.astype(dtype)
        return result
    raise TypeError(f"expected a pandas Series of strings, got one of dtype {dtype}")


def publicsuffix(
    column: object,
    *,
    accept_unknown: bool = True,
    icann_only: bool = False,
    keep_case: bool = False,
    threads: int | None = None,
    rules: Rules | None = None,
) -> Any:
    """The public suffix of every name of *column*, as vexlo.publicsuffix gives it."""
    return _answer(
        column, _request("publicsuffix", 0, accept_unknown, icann_only, keep_case, threads, rules)
    )


def privatesuffix(
    column: object,
    *,
    accept_unknown: bool = True,
    icann_only: bool = False,
    keep_case: bool = False,
    threads: int | None = None,
    rules: Rules | None = None,
) -> Any:
    """The private suffix of every name of *column*, as vexlo.privatesuffix gives it."""
    return _answer(
        column, _request("privatesuffix", 0, accept_unknown, icann_only, keep_case, threads, rules)
    )


def is_public(
    column: object,
    *,
    accept_unknown: bool = True,
    icann_only: bool = False,
    threads: int | None = None,
    rules: Rules | None = None,
) -> Any:
    """Whether each name of *column* is entirely a public suffix, as vexlo.is_public says."""
    return _answer(
        column, _request("is_public", 0, accept_unknown, icann_only, False, threads, rules)
    )


def is_private(
    column: object,
    *,
    accept_unknown: bool = True,
    icann_only: bool = False,
    threads: int | None = None,
    rules: Rules | None = None,
) -> Any:
    """Whether each name of *column* is a private suffix or below one, as
    vexlo.is_private says."""
    return _answer(
        column, _request("is_private", 0, accept_unknown, icann_only, False, threads, rules)
    )


def privateparts(
    column: object,
    *,
    accept_unknown: bool = True,
    icann_only: bool = False,
    keep_case: bool = False,
    threads: int | None = None,
    rules: Rules | None = None,
) -> Any:
    """The subdomain labels and private suffix of every name of *column*, as
    vexlo.privateparts gives them (a list of str for each)."""
    return _answer(
        column, _request("privateparts", 0, accept_unknown, icann_only, keep_case, threads, rules)
    )


def subdomain(
    column: object,
    depth: int,
    *,
    accept_unknown: bool = True,
    icann_only: bool = False,
    keep_case: bool = False,
    threads: int | None = None,
    rules: Rules | None = None,
) -> Any:
    """The suffix reaching *depth* labels beyond the private suffix of every
    name of *column*, as vexlo.subdomain gives it."""
    return _answer(
        column, _request("subdomain", depth, accept_unknown, icann_only, keep_case, threads, rules)
    )


def host(column: object, *, keep_ip: bool = False, threads: int | None = None) -> Any:
    """The host name of every URL, e-mail address or host name of *column*, as
    vexlo.host gives it."""
    return _answer(column, _request("host", 0, True, False, False, threads, None, keep_ip))
