"""vexlo.columns against the scalar functions, element by element, for every
kind of column it takes; what it gives back; and how it refuses bad input."""

import gc
import itertools
import runpy
import struct

import pytest
from arrow_c import CarelessProducer, offsets
from support import FUNCTIONS as QUESTIONS
from support import REPO

import vexlo
from vexlo import columns

pa = pytest.importorskip("pyarrow")

TEXT_QUESTIONS = ("publicsuffix", "privatesuffix", "privateparts", "subdomain")
SWITCHES = [
    {"accept_unknown": accept_unknown, "icann_only": icann_only, "keep_case": keep_case}
    for accept_unknown, icann_only, keep_case in itertools.product((True, False), repeat=3)
]
EDGE_NAMES = [
    "",
    ".",
    "a..b",
    "example.com..",
    "Shop.Example.CO.UK.",
    "foo.kobe.jp",
    "www.city.kobe.jp",
    "alice.github.io",
    "x.unknowntld",
    "unknowntld",
    "\u0130x.Example.CO.UK",
    "ΟΔΟΣ.gr",
    "www.食狮.公司.cn",
    "a\x00b.com",
    "a b.com",
    "x" * 300 + ".com",
    ".".join(["a"] * 130) + ".co.uk",
    # Lowercased, the same length, with the dots at other places.
    "\u0130\u0130.\u212a.com",
    "x\u0130\u0130.\u212a.Example.CO.UK",
]


def corpus(count):
    script = runpy.run_path(str(REPO / "bench" / "corpus.py"))
    return script["generate"](script["default_list_path"](), count, seed=11)[0]


NAMES = corpus(3000) + EDGE_NAMES
# Every seventh name missing.
WITH_NULLS = [None if i % 7 == 3 else name for i, name in enumerate(NAMES)]


def scalar_answers(question, names, depth, switches):
    function = getattr(vexlo, question)
    if question not in TEXT_QUESTIONS:
        switches = {k: v for k, v in switches.items() if k != "keep_case"}
    args = (depth,) if question == "subdomain" else ()
    answers = [None if name is None else function(name, *args, **switches) for name in names]
    if question == "privateparts":
        answers = [None if parts is None else list(parts) for parts in answers]
    return answers


def column_answers(question, column, depth, switches, **extra):
    function = getattr(columns, question)
    if question not in TEXT_QUESTIONS:
        switches = {k: v for k, v in switches.items() if k != "keep_case"}
    args = (depth,) if question == "subdomain" else ()
    return function(column, *args, **switches, **extra)


def plain(answers):
    """Answers of any kind of column as a list, privateparts as lists."""
    if isinstance(answers, list):
        return [list(a) if isinstance(a, tuple) else a for a in answers]
    if hasattr(answers, "to_pylist"):
        return answers.to_pylist()
    if hasattr(answers, "to_list"):  # Polars and pandas
        values = answers.to_list()
        return [list(v) if v is not None and not isinstance(v, (str, bool)) else v for v in values]
    return pa.chunked_array(answers).to_pylist()


@pytest.mark.parametrize("question", QUESTIONS)
@pytest.mark.parametrize("switches", SWITCHES, ids=lambda s: "-".join(k for k, v in s.items() if v))
def test_lists_answer_as_the_scalar_functions(question, switches):
    for depth in (0, 1, 2) if question == "subdomain" else (0,):
        expected = scalar_answers(question, WITH_NULLS, depth, switches)
        assert column_answers(question, WITH_NULLS, depth, switches) == [
            tuple(a) if isinstance(a, list) else a for a in expected
        ]


def arrow_columns():
    """(kind, column, names in it) for each Arrow layout the functions take."""
    kinds = []
    for type_name in ("string", "large_string", "string_view"):
        data_type = getattr(pa, type_name)()
        kinds.append((type_name, pa.array(WITH_NULLS, data_type), WITH_NULLS))
    sliced = pa.array(WITH_NULLS).slice(5, 1000)
    kinds.append(("sliced", sliced, WITH_NULLS[5:1005]))
    chunks = [WITH_NULLS[:1000], [], WITH_NULLS[1000:]]
    kinds.append(("chunked", pa.chunked_array(chunks, pa.string()), WITH_NULLS))
    kinds.append(("empty", pa.array([], pa.string()), []))
    kinds.append(("all null", pa.array([None] * 70, pa.large_string()), [None] * 70))
    return kinds


@pytest.mark.parametrize(
    "kind, column, names", arrow_columns(), ids=lambda v: v if isinstance(v, str) else ""
)
@pytest.mark.parametrize("question", QUESTIONS)
def test_arrow_columns_answer_as_the_scalar_functions(kind, column, names, question):
    for switches in (SWITCHES[0], SWITCHES[-1], SWITCHES[3]):
        answers = column_answers(question, column, 1, switches)
        assert isinstance(answers, pa.Array | pa.ChunkedArray)
        assert isinstance(answers, pa.ChunkedArray) == isinstance(column, pa.ChunkedArray)
        assert plain(answers) == scalar_answers(question, names, 1, switches)
        if isinstance(column, pa.ChunkedArray):
            assert [len(c) for c in answers.chunks] == [len(c) for c in column.chunks]


@pytest.mark.parametrize("question", QUESTIONS)
def test_result_types(question):
    for data_type, text in (
        (pa.string(), pa.string()),
        (pa.large_string(), pa.large_string()),
        (pa.string_view(), pa.string()),
    ):
        answers = column_answers(question, pa.array(["a.b.example.com"], data_type), 0, {})
        expected = {
            "is_public": pa.bool_(),
            "is_private": pa.bool_(),
            "privateparts": pa.list_(text),
        }.get(question, text)
        assert answers.type == expected


def test_threads_give_the_same_answers():
    big = pa.array(WITH_NULLS * 30)
    one = columns.privateparts(big, threads=1)
    for threads in (2, 3, 8, None):
        assert columns.privateparts(big, threads=threads).equals(one)
    assert columns.is_private(big, threads=3).equals(columns.is_private(big, threads=1))


def test_polars_series():
    pl = pytest.importorskip("polars")
    series = pl.Series("host", WITH_NULLS)
    for question in QUESTIONS:
        answers = column_answers(question, series, 1, SWITCHES[1])
        assert isinstance(answers, pl.Series) and answers.name == "host"
        assert plain(answers) == scalar_answers(question, WITH_NULLS, 1, SWITCHES[1])


@pytest.mark.parametrize("dtype", ["object", "str", "string[pyarrow]", "large_string[pyarrow]"])
def test_pandas_series_keep_index_and_name(dtype):
    pd = pytest.importorskip("pandas")
    series = pd.Series(WITH_NULLS, index=range(10, 10 + len(WITH_NULLS)), name="host", dtype=dtype)
    for question in QUESTIONS:
        answers = column_answers(question, series, 1, SWITCHES[2])
        assert isinstance(answers, pd.Series)
        assert answers.name == "host" and answers.index.equals(series.index)
        got = [
            None if (v is not list and pd.api.types.is_scalar(v) and pd.isna(v)) else v
            for v in answers.to_list()
        ]
        got = [list(v) if v is not None and not isinstance(v, (str, bool)) else v for v in got]
        assert got == scalar_answers(question, WITH_NULLS, 1, SWITCHES[2])


def test_pandas_object_series_with_missing_values():
    pd = pytest.importorskip("pandas")
    np = pytest.importorskip("numpy")
    series = pd.Series(["www.example.co.uk", np.nan, pd.NA, None], dtype=object)
    assert columns.privatesuffix(series).to_list() == ["example.co.uk", None, None, None]


def test_duckdb_relation_and_other_producers():
    duckdb = pytest.importorskip("duckdb")
    relation = duckdb.sql("select * from (values ('www.example.co.uk'), (null), ('co.uk')) t(h)")
    answers = columns.privatesuffix(relation)
    assert type(answers) is columns.ArrowStreamAnswers
    assert pa.chunked_array(answers).to_pylist() == ["example.co.uk", None, None]
    with pytest.raises(TypeError, match="already taken"):
        answers.__arrow_c_stream__()

    class Producer:  # exports an array and nothing else
        def __arrow_c_array__(self, requested_schema=None):
            return pa.array(["a.github.io", None]).__arrow_c_array__()

    answers = columns.is_private(Producer())
    assert type(answers) is columns.ArrowArrayAnswers
    assert pa.array(answers).to_pylist() == [True, None]
    pl = pytest.importorskip("polars")
    assert pl.Series(columns.publicsuffix(Producer())).to_list() == ["github.io", None]


def test_not_utf8_is_an_invalid_name():
    data = b"a.example.com" + b"b\xff.example.com" + b"c.example.com\xe2\x82"
    column = pa.Array.from_buffers(
        pa.string(), 3, [None, pa.py_buffer(offsets(0, 13, 27, 42)), pa.py_buffer(data)]
    )
    assert columns.privatesuffix(column).to_pylist() == ["example.com", None, None]
    assert columns.is_private(column).to_pylist() == [True, False, False]


DATA = b"a.example.comb.example.com"
# A string_view of 20 bytes from offset 10 of data buffer 0 (26 bytes long).
VIEW_OF_20 = struct.pack("<i4sii", 20, b"exam", 0, 10)
# (case, format, buffers, length, offset, null_count, a word of the message)
MALFORMED = [
    ("decreasing offsets", "u", [None, offsets(0, 13, 5), DATA], 2, 0, 0, "offset"),
    ("negative offset", "u", [None, offsets(-1, 13, 26), DATA], 2, 0, 0, "offset"),
    ("negative length", "u", [None, offsets(0, 13, 26), DATA], -2, 0, 0, "length"),
    ("negative array offset", "u", [None, offsets(0, 13, 26), DATA], 2, -1, 0, "offset"),
    ("too few buffers", "u", [None, offsets(0, 13, 26)], 2, 0, 0, "buffer"),
    ("no offsets", "u", [None, None, DATA], 2, 0, 0, "offsets"),
    ("nulls without a validity bitmap", "u", [None, offsets(0, 13, 26), DATA], 2, 0, 1, "valid"),
    ("view into a missing buffer", "vu", [None, VIEW_OF_20, b""], 1, 0, 0, "buffer"),
    (
        "view past its buffer",
        "vu",
        [None, VIEW_OF_20, DATA, struct.pack("<q", 26)],
        1,
        0,
        0,
        "outside",
    ),
]


@pytest.mark.parametrize(
    "case, format, buffers, length, offset, null_count, word",
    MALFORMED,
    ids=[c[0] for c in MALFORMED],
)
def test_malformed_arrays_are_refused_and_released_once(
    case, format, buffers, length, offset, null_count, word
):
    producer = CarelessProducer(format, buffers, length, offset, null_count)
    for question in ("privatesuffix", "is_public"):
        with pytest.raises(ValueError, match=word):
            getattr(columns, question)(producer)
    gc.collect()
    assert producer.releases == {"array": 2, "schema": 2} and producer.struct_count == 2


def test_answers_are_released_once_by_their_consumer():
    producer = CarelessProducer("u", [None, offsets(0, 13, 26), DATA], 2)
    for question in QUESTIONS:
        answers = column_answers(question, producer, 0, {})
        imported = pa.array(answers)
        assert len(imported) == 2
        del imported, answers
    gc.collect()
    assert producer.releases == {"array": 6, "schema": 6}


@pytest.mark.parametrize(
    "column, named",
    [
        (pa.array([1, 2]), "int64"),
        (pa.array([b"a"]), "binary"),
        (pa.chunked_array([[1.5]]), "double|float64"),
        ("www.example.com", "str"),
        (b"www.example.com", "bytes"),
        (42, "int"),
    ],
)
def test_columns_of_another_type_are_refused(column, named):
    with pytest.raises(TypeError, match=named):
        columns.privatesuffix(column)


def test_list_items_must_be_str_or_none():
    with pytest.raises(TypeError, match=r"column item 2 is bytes, not str or None"):
        columns.publicsuffix(["a.com", None, b"b.com"])
    with pytest.raises(UnicodeEncodeError) as caught:
        columns.publicsuffix(["a.com", "\ud800.com"])
    assert caught.value.__notes__ == ["while processing column item 1"]
    assert columns.publicsuffix(name for name in ["a.com", "b.co.uk"]) == ["com", "co.uk"]


def test_bad_switches_depth_and_threads_raise_as_the_scalar_functions():
    with pytest.raises(TypeError, match="'int' object is not an instance of 'bool'") as caught:
        columns.privatesuffix(["a.com"], keep_case=1)
    assert caught.value.__notes__ == ["while processing 'keep_case'"]
    with pytest.raises(OverflowError) as caught:
        columns.subdomain(["a.com"], -1)
    assert caught.value.__notes__ == ["while processing 'depth'"]
    with pytest.raises(TypeError, match="unexpected keyword argument 'keep_case'"):
        columns.is_public(["a.com"], keep_case=True)
    np = pytest.importorskip("numpy")
    assert columns.subdomain(["a.b.example.com"], np.int64(1), icann_only=np.True_) == [
        "b.example.com"
    ]
    for threads, error in ((0, ValueError), (True, TypeError), (1.5, TypeError)):
        with pytest.raises(error) as caught:
            columns.privatesuffix(["a.com"], threads=threads)
        assert caught.value.__notes__ == ["while processing 'threads'"]
