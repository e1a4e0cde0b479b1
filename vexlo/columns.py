"""Public Suffix List answers for whole columns of names at once, and the
host names of whole columns of URLs and e-mail addresses.

Each function takes a column and answers every name in it exactly as the
function of the same name in `vexlo` answers that name, in C++, without a
Python object per name and without the interpreter lock. The answers come
back in the same kind of column:

- a pyarrow Array gives a pyarrow Array, a ChunkedArray a ChunkedArray with
  the same chunks;
- a pandas Series (Arrow-backed, of dtype object or category) gives a pandas
  Series with the same index and name; a Polars Series gives a Polars Series;
- any other object exporting the Arrow PyCapsule interface
  (``__arrow_c_array__`` or ``__arrow_c_stream__``), such as a DuckDB
  relation of one column, gives answers that export the same interface
  (`ArrowArrayAnswers` or `ArrowStreamAnswers`), which pyarrow and Polars
  import without copying;
- a list, tuple or other iterable of str and None gives a list.

A table (a pandas or Polars DataFrame, a pyarrow Table or RecordBatch) is a
TypeError: pass the column of names alone.

Arrow columns may be of type string, large_string or string_view. Text answers
(hosts among them) are string (large_string when the input is, or when the
text might not fit), the predicates' answers bool, and privateparts' answers
list<string>. A null element gives null from every function; an invalid name
gives null from the functions that answer text and False from the
predicates, as the scalar functions give None and False, and a text without
a host gives null from `host`. An element that is not UTF-8 is an invalid
name, and has no host.

A dictionary-encoded column (a pyarrow DictionaryArray with indices of any
integer type, a ChunkedArray of them, a Polars Categorical or Enum Series, a
pandas category Series) is answered once per entry of its dictionary. Text
answers come back dictionary-encoded over the distinct answers, with indices
of the same type (Polars: Categorical; pandas: category); the predicates'
answers and privateparts' lists come back plain, one per row, and extract's
records a struct of dictionary-encoded fields. A row is null
where its index is null, and in a text answer where its entry has no answer:
the dictionary of answers holds no null. An index outside the dictionary is a
ValueError raised before any name is read.

`extract` answers every part of each element's host at once, as
`vexlo.extract` does, reading each element once: an Arrow StructArray of the
fields asked for (``fields=``, every field of `vexlo.Extracted` by default),
a pandas DataFrame of one column a field with the Series' index, a Polars
Struct Series (``.struct.unnest()`` gives the fields), or a list of
`vexlo.Extracted` records (of tuples of the fields asked for, with
``fields=``). A null element is a null record; an element without a host, or
not UTF-8, a record whose every field is null. Only the fields asked for are
computed: the registrable domains of a column of URLs are
``extract(urls, fields=("privatesuffix",))``.

``threads`` is the number of threads that answer a column (at most 256): by
default every core the process may use for a large column (a ChunkedArray
or a stream counts whole), one for a small one. The answers are the same
whatever the count.

``rules`` is the list to answer from: a `vexlo.Rules` (``vexlo.load_rules()``),
or None for the list compiled into vexlo.
"""

import importlib
import sys
from collections.abc import Iterable
from types import CapsuleType
from typing import Any

from vexlo import _columns

__all__ = [
    "publicsuffix",
    "privatesuffix",
    "is_public",
    "is_private",
    "privateparts",
    "subdomain",
    "host",
    "extract",
    "ArrowArrayAnswers",
    "ArrowStreamAnswers",
]


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


def _column_source(column: Any, fields: tuple[str, ...] | None) -> tuple[str, Any, Any]:
    """What a column function reads *column* as, once it has checked its
    arguments: (kind, source, finish). The kind is "array" for one Arrow
    array, source (schema capsule, array capsule, buffer sizes or None);
    "chunks" for the chunks of one column, source (schema capsule, ((array
    capsule, buffer sizes), ...)); "stream" for an Arrow stream capsule; or
    "items" for an iterable of str and None. The answers, a (schema, array)
    pair of capsules for an array, a stream capsule for chunks and streams, a
    list for items, go to finish(answers) (for None: returned as they are),
    which puts them back into the kind of container *column* came in.
    *fields* are the names of extract's fields asked for (None for the other
    questions)."""
    top = type(column).__module__.partition(".")[0]
    if top == "pyarrow":
        pa = _loaded("pyarrow")
        if isinstance(column, pa.Array):
            return (
                "array",
                _pyarrow_array(column),
                lambda answers: pa.array(ArrowArrayAnswers(answers)),
            )
        if isinstance(column, pa.ChunkedArray):
            chunks = tuple(
                (chunk.__arrow_c_array__()[1], _pyarrow_sizes(chunk)) for chunk in column.chunks
            )
            source = (column.type.__arrow_c_schema__(), chunks)
            return "chunks", source, lambda answers: pa.chunked_array(ArrowStreamAnswers(answers))
        if isinstance(column, pa.Table):
            raise _table_error(column, 'table["host"]')
        if isinstance(column, pa.RecordBatch):
            raise _table_error(column, 'batch["host"]')
    if top == "pandas":
        pd = _loaded("pandas")
        if isinstance(column, pd.Series):
            return _pandas_source(column, fields)
        if isinstance(column, pd.DataFrame):
            raise _table_error(column, 'frame["host"]')
    if top == "polars":
        pl = _loaded("polars")
        if isinstance(column, pl.Series):
            name = column.name
            return (
                "stream",
                column.__arrow_c_stream__(),
                lambda answers: pl.Series(ArrowStreamAnswers(answers)).alias(name),
            )
        if isinstance(column, pl.DataFrame):
            raise _table_error(column, 'frame["host"]')
        if isinstance(column, pl.LazyFrame):
            raise _table_error(column, 'frame.collect()["host"]')
    if hasattr(type(column), "__arrow_c_array__"):
        return "array", (*column.__arrow_c_array__(), None), ArrowArrayAnswers
    if hasattr(type(column), "__arrow_c_stream__"):
        return "stream", column.__arrow_c_stream__(), ArrowStreamAnswers
    if isinstance(column, (str, bytes, bytearray, memoryview)) or not isinstance(column, Iterable):
        raise TypeError(
            f"expected a column of names (an Arrow array or stream, a pandas or Polars "
            f"Series, or an iterable of str and None), got {type(column).__qualname__}"
        )
    return "items", column, None


def _table_error(table: object, example: str) -> TypeError:
    """A table given where one column of it is wanted (its rows would come
    back as something that is no column of answers)."""
    library = {"pyarrow": "pyarrow", "pandas": "pandas", "polars": "Polars"}
    kind = type(table)
    return TypeError(
        f"expected one column of names, got a {library[kind.__module__.partition('.')[0]]} "
        f"{kind.__name__}: pass one of its columns, such as {example}"
    )


# The column functions are vexlo._columns' own, declared there once with the
# scalar functions' parameters and checks (stubtest holds the declarations
# below to them); they are added here as this module's functions.
_columns._add_column_functions(sys.modules[__name__])

TYPE_CHECKING = False
if TYPE_CHECKING:
    # What type checkers see of them.
    from vexlo.rules import Rules

    def publicsuffix(
        column: object,
        *,
        accept_unknown: bool = True,
        icann_only: bool = False,
        keep_case: bool = False,
        threads: int | None = None,
        rules: Rules | None = None,
    ) -> Any: ...

    def privatesuffix(
        column: object,
        *,
        accept_unknown: bool = True,
        icann_only: bool = False,
        keep_case: bool = False,
        threads: int | None = None,
        rules: Rules | None = None,
    ) -> Any: ...

    def is_public(
        column: object,
        *,
        accept_unknown: bool = True,
        icann_only: bool = False,
        threads: int | None = None,
        rules: Rules | None = None,
    ) -> Any: ...

    def is_private(
        column: object,
        *,
        accept_unknown: bool = True,
        icann_only: bool = False,
        threads: int | None = None,
        rules: Rules | None = None,
    ) -> Any: ...

    def privateparts(
        column: object,
        *,
        accept_unknown: bool = True,
        icann_only: bool = False,
        keep_case: bool = False,
        threads: int | None = None,
        rules: Rules | None = None,
    ) -> Any: ...

    def subdomain(
        column: object,
        depth: int,
        *,
        accept_unknown: bool = True,
        icann_only: bool = False,
        keep_case: bool = False,
        threads: int | None = None,
        rules: Rules | None = None,
    ) -> Any: ...

    def host(column: object, *, keep_ip: bool = False, threads: int | None = None) -> Any: ...

    def extract(
        column: object,
        *,
        fields: Iterable[str] | None = None,
        keep_ip: bool = False,
        accept_unknown: bool = True,
        keep_case: bool = False,
        threads: int | None = None,
        rules: Rules | None = None,
    ) -> Any: ...


def _loaded(module: str) -> Any:
    """A module of another library if the program has imported it (an object
    of its types can exist only then)."""
    return sys.modules.get(module)


def _pyarrow_array(array: Any) -> tuple[CapsuleType, CapsuleType, tuple[int | None, ...]]:
    """A pyarrow array as an "array" source: its capsules and the byte sizes
    of its buffers."""
    return (*array.__arrow_c_array__(), _pyarrow_sizes(array))


def _pyarrow_sizes(array: Any) -> tuple[int | None, ...]:
    """The byte sizes of a pyarrow array's buffers, which pyarrow knows and
    the Arrow C interface does not carry: checked before any name is read.
    A dictionary-encoded array's are followed by those of its dictionary."""
    sizes = tuple(None if buffer is None else buffer.size for buffer in array.buffers())
    if sys.modules["pyarrow"].types.is_dictionary(array.type):
        sizes += _pyarrow_sizes(array.dictionary)
    return sizes


def _pandas_source(series: Any, fields: tuple[str, ...] | None) -> tuple[str, Any, Any]:
    """A Series as a source: its objects, or its own Arrow data as one array;
    answered, a Series, or for extract's records a DataFrame of one column a
    field, with the Series' index."""
    pd = _loaded("pandas")
    dtype = series.dtype
    if pd.api.types.is_object_dtype(dtype) or (
        isinstance(dtype, pd.StringDtype) and dtype.storage == "python"
    ):

        def objects(answers: list[Any]) -> Any:
            if fields is not None:
                empty = (None,) * len(fields)
                rows = [empty if record is None else tuple(record) for record in answers]
                return pd.DataFrame(rows, index=series.index, columns=list(fields), dtype=object)
            return pd.Series(answers, index=series.index, name=series.name, dtype=object)

        return "items", series.to_numpy(dtype=object, na_value=None), objects
    if isinstance(dtype, pd.CategoricalDtype):
        # Categories are held in NumPy; their Arrow form, a dictionary of the
        # categories, is what is answered, once per category.
        pa = importlib.import_module("pyarrow")
    elif isinstance(dtype, (pd.ArrowDtype, pd.StringDtype)):
        pa = sys.modules["pyarrow"]  # Arrow-backed pandas data needs pyarrow loaded
    else:
        raise TypeError(f"expected a pandas Series of strings, got one of dtype {dtype}")

    def arrow(capsules: tuple[CapsuleType, CapsuleType]) -> Any:
        answers = pa.array(ArrowArrayAnswers(capsules))
        if fields is not None:
            return pd.DataFrame(
                {
                    field: _pandas_answers(pd, pa, answers.field(i), series, dtype)
                    for i, field in enumerate(fields)
                },
                index=series.index,
            )
        return _pandas_answers(pd, pa, answers, series, dtype).rename(series.name)

    return "array", _pyarrow_array(pa.array(series.array)), arrow


def _pandas_answers(pd: Any, pa: Any, answers: Any, series: Any, dtype: Any) -> Any:
    """An Arrow array of answers as a Series with the index of `series`:
    categories where they are dictionary-encoded and `series` was
    categorical, text in the string dtype `series` came in."""
    if isinstance(dtype, pd.CategoricalDtype) and pa.types.is_dictionary(answers.type):
        data = answers.to_pandas().array  # categories of the distinct answers
    else:
        data = pd.arrays.ArrowExtensionArray(answers)
    result = pd.Series(data, index=series.index, copy=False)
    text_answers = pa.types.is_string(answers.type) or pa.types.is_large_string(answers.type)
    if isinstance(dtype, pd.StringDtype) and text_answers:
        result = result.astype(dtype)
    return result
