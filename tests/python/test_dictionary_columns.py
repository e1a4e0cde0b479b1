"""Dictionary-encoded and categorical columns: every row answered as the
scalar function answers its entry, text answers kept encoded (pyarrow) or
categorical (Polars, pandas) over distinct answers without nulls, the
predicates' and privateparts' answers plain; indices outside the dictionary
and tables passed by mistake refused."""

import pytest
from support import FUNCTIONS

from vexlo import columns

pa = pytest.importorskip("pyarrow")

QUESTIONS = (*FUNCTIONS, "host")
TEXT = ("publicsuffix", "privatesuffix", "subdomain", "host")
ENTRIES = [
    "www.example.co.uk",
    "shop.example.co.uk",
    None,
    "a..b",
    "Example.CO.UK",
    "co.uk",
    "alice.github.io",
    "https://www.example.com:8080/x",
    "x.unknowntld",
    "",
]
# Every entry several times, in another order, and null rows.
INDICES = [None if i % 13 == 5 else (i * 7) % len(ENTRIES) for i in range(90)]
ROWS = [None if i is None else ENTRIES[i] for i in INDICES]
INDEX_TYPES = ["int8", "uint8", "int16", "uint16", "int32", "uint32", "int64", "uint64"]


def call(question, column, **switches):
    args = (1,) if question == "subdomain" else ()
    return getattr(columns, question)(column, *args, **switches)


def expected(question, **switches):
    return call(question, ROWS, **switches)


def as_lists(values):
    return [list(v) if isinstance(v, tuple) else v for v in values]


def dictionary_array(index_type="int32", entries=ENTRIES, indices=INDICES):
    return pa.DictionaryArray.from_arrays(
        pa.array(indices, getattr(pa, index_type)()), pa.array(entries)
    )


@pytest.mark.parametrize("index_type", INDEX_TYPES)
@pytest.mark.parametrize("question", QUESTIONS)
def test_pyarrow_dictionaries(question, index_type):
    column = dictionary_array(index_type)
    for switches in ({}, {"keep_case": True} if question in TEXT[:3] else {}):
        answers = call(question, column, **switches)
        assert answers.to_pylist() == as_lists(expected(question, **switches))
        assert answers.null_count == answers.to_pylist().count(None)
        if question in TEXT:
            assert answers.type == pa.dictionary(getattr(pa, index_type)(), pa.string())
            # Distinct answers without a null: every consumer finds the null
            # rows in the indices alone.
            dictionary = answers.dictionary.to_pylist()
            assert None not in dictionary and len(set(dictionary)) == len(dictionary)
            # pandas and Polars read the same rows as null.
            nulls = [a is None for a in answers.to_pylist()]
            assert answers.to_pandas().isna().tolist() == nulls
            pl = pytest.importorskip("polars")
            assert pl.Series(answers).is_null().to_list() == nulls
        else:
            assert not pa.types.is_dictionary(answers.type)


def test_chunked_and_sliced_dictionaries():
    column = dictionary_array()
    chunked = pa.chunked_array([column.slice(0, 40), column.slice(40), column.slice(3, 0)])
    for question in QUESTIONS:
        answers = call(question, chunked)
        assert isinstance(answers, pa.ChunkedArray)
        assert [len(c) for c in answers.chunks] == [40, len(ROWS) - 40, 0]
        assert answers.to_pylist() == as_lists(expected(question))
    large = pa.DictionaryArray.from_arrays(
        pa.array(INDICES, pa.int16()), pa.array(ENTRIES, pa.large_string())
    )
    assert columns.privatesuffix(large).type == pa.dictionary(pa.int16(), pa.large_string())
    views = pa.DictionaryArray.from_arrays(
        pa.array(INDICES, pa.int16()), pa.array(ENTRIES, pa.string_view())
    )
    assert columns.privatesuffix(views).to_pylist() == expected("privatesuffix")
    empty = pa.chunked_array([], pa.dictionary(pa.uint8(), pa.string()))
    assert columns.host(empty).type == pa.dictionary(pa.uint8(), pa.string())
    assert columns.is_public(empty).type == pa.bool_()


def test_dictionary_encode_of_a_plain_column():
    plain = pa.array(ROWS)
    for question in QUESTIONS:
        assert (
            call(question, plain.dictionary_encode()).to_pylist()
            == call(question, plain).to_pylist()
        )


def test_polars_categorical_and_enum():
    pl = pytest.importorskip("polars")
    names = [r for r in ROWS if r is not None]
    for series in (
        pl.Series("host", ROWS, dtype=pl.Categorical),
        pl.Series("host", ROWS, dtype=pl.Enum(sorted(set(names)))),
    ):
        for question in QUESTIONS:
            answers = call(question, series)
            assert answers.name == "host"
            assert as_lists(answers.to_list()) == as_lists(expected(question))
            if question in TEXT:
                assert answers.dtype == pl.Categorical
            else:
                assert answers.dtype in (pl.Boolean, pl.List(pl.String))


def test_pandas_category():
    pd = pytest.importorskip("pandas")
    series = pd.Series(ROWS, dtype="category", index=range(100, 100 + len(ROWS)), name="host")
    for question in QUESTIONS:
        answers = call(question, series)
        assert answers.name == "host" and answers.index.equals(series.index)
        got = [
            None if not isinstance(v, (str, bool, list)) and pd.isna(v) else v
            for v in answers.tolist()
        ]
        assert as_lists(got) == as_lists(expected(question))
        if question in TEXT:
            assert isinstance(answers.dtype, pd.CategoricalDtype)
            assert sorted(answers.cat.categories) == sorted({a for a in got if a is not None})


def test_indices_outside_the_dictionary_are_refused():
    class Producer:  # exports without buffer sizes
        def __init__(self, array):
            self.array = array

        def __arrow_c_array__(self, requested_schema=None):
            return self.array.__arrow_c_array__()

    for index_type, bad in (("int8", 5), ("int8", -1), ("uint64", 2**64 - 1), ("int32", 3)):
        column = pa.DictionaryArray.from_arrays(
            pa.array([0, None, bad], getattr(pa, index_type)()),
            pa.array(["a.com", "b.com", "c.com"]),
            safe=False,
        )
        for given in (column, Producer(column), pa.chunked_array([column])):
            with pytest.raises(
                ValueError,
                match=f"the index {bad % 2**64 if index_type == 'uint64' else bad} of row 2 lies outside the dictionary of 3 values",
            ):
                columns.privatesuffix(given)
    # A null row's index is never read.
    indices = pa.Array.from_buffers(
        pa.int8(), 2, [pa.py_buffer(bytes([0b01])), pa.py_buffer(bytes([0, 9]))], null_count=1
    )
    nulls = pa.DictionaryArray.from_arrays(indices, pa.array(["a.example.com"]), safe=False)
    assert columns.privatesuffix(nulls).to_pylist() == ["example.com", None]


@pytest.mark.parametrize(
    "values, named",
    [
        (pa.array([1, 2]), "dictionary of int64 values"),
        (pa.array([b"a"]), "dictionary of binary values"),
    ],
)
def test_dictionaries_of_other_values_are_refused(values, named):
    with pytest.raises(TypeError, match=named):
        columns.privatesuffix(
            pa.DictionaryArray.from_arrays(pa.array([0, 1, 0]), values, safe=False)
        )


def test_tables_are_refused_with_the_column_to_pass():
    pd = pytest.importorskip("pandas")
    pl = pytest.importorskip("polars")
    for table, words in (
        (
            pd.DataFrame({"host": ["a.com"]}),
            'a pandas DataFrame: pass one of its columns, such as frame["host"]',
        ),
        (
            pl.DataFrame({"host": ["a.com"]}),
            'a Polars DataFrame: pass one of its columns, such as frame["host"]',
        ),
        (
            pl.LazyFrame({"host": ["a.com"]}),
            'a Polars LazyFrame: pass one of its columns, such as frame.collect()["host"]',
        ),
        (
            pa.table({"host": ["a.com"]}),
            'a pyarrow Table: pass one of its columns, such as table["host"]',
        ),
        (
            pa.record_batch({"host": ["a.com"]}),
            'a pyarrow RecordBatch: pass one of its columns, such as batch["host"]',
        ),
    ):
        with pytest.raises(TypeError) as caught:
            columns.privatesuffix(table)
        assert str(caught.value) == f"expected one column of names, got {words}"
