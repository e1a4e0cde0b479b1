"""vexlo.columns.extract: every element's record as vexlo.extract gives it,
in every kind of column, with every field or the ones asked for in the
caller's order; nulls, elements that are not UTF-8, threads, loaded lists,
and the arguments that are refused."""

import pyarrow as pa
import pytest
from test_hosts import binary_as_string

import vexlo
from vexlo import columns

FIELDS = vexlo.Extracted.__match_args__

TEXTS = [
    "https://alice@www.Shop.Example.CO.UK:8443/cart?x#y",
    None,
    "www.city.kobe.jp",
    "kobe.jp",
    "foo.bar.github.io",
    "http://www.xn--55qx5d.cn./",
    "Bob <bob@Mail.Example.COM>",
    "mailto:x@A..B",
    "http://192.0.2.1/",
    "http://[2001:DB8::1]/",
    "urn:isbn:1",
    "",
    "example.unknowntld",
    "h\ttp://a.exa\tmple.com/",
    "ΟΔΟΣ.ΕΛ",
    "www.食狮.公司.cn",
]

OPTIONS = [{}, {"keep_ip": True, "keep_case": True}, {"accept_unknown": False}]


def records(texts, **options):
    return [None if text is None else vexlo.extract(text, **options) for text in texts]


def picked(record, fields):
    return None if record is None else tuple(getattr(record, field) for field in fields)


@pytest.mark.parametrize("options", OPTIONS, ids=repr)
def test_lists_give_the_records_of_vexlo_extract(options):
    assert columns.extract(TEXTS, **options) == records(TEXTS, **options)
    fields = ("rule", "host", "section")
    assert columns.extract(TEXTS, fields=fields, **options) == [
        picked(record, fields) for record in records(TEXTS, **options)
    ]


@pytest.mark.parametrize("options", OPTIONS, ids=repr)
@pytest.mark.parametrize("text_type", [pa.string(), pa.large_string(), pa.string_view()])
def test_arrow_arrays_give_struct_arrays(text_type, options):
    array = pa.array(TEXTS, text_type)
    answers = columns.extract(array, **options)
    wide = pa.large_string() if text_type == pa.large_string() else pa.string()
    assert answers.type == pa.struct([(field, wide) for field in FIELDS])
    want = [None if r is None else dict(zip(FIELDS, r)) for r in records(TEXTS, **options)]
    assert answers.to_pylist() == want
    assert answers.null_count == 1
    chunked = columns.extract(pa.chunked_array([TEXTS[:5], TEXTS[5:]], text_type), **options)
    assert isinstance(chunked, pa.ChunkedArray) and chunked.num_chunks == 2
    assert chunked.to_pylist() == want


def test_fields_are_computed_and_given_in_the_callers_order():
    fields = ["privatesuffix", "icann_privatesuffix"]
    answers = columns.extract(pa.array(TEXTS), fields=fields)
    assert answers.type == pa.struct([(field, pa.string()) for field in fields])
    assert [None if r is None else tuple(r.values()) for r in answers.to_pylist()] == [
        picked(record, fields) for record in records(TEXTS)
    ]
    # Any iterable of names.
    assert columns.extract(["a.b.github.io"], fields=iter(["section"])) == [("private",)]


def test_pandas_series_give_data_frames_with_their_index():
    pd = pytest.importorskip("pandas")
    fields = ("host", "domain", "rule")
    want = [[None] * 3 if r is None else list(picked(r, fields)) for r in records(TEXTS)]
    index = pd.RangeIndex(100, 100 + len(TEXTS))
    for dtype in [object, "string[pyarrow]", pd.ArrowDtype(pa.string())]:
        series = pd.Series(TEXTS, index=index, dtype=dtype, name="url")
        frame = columns.extract(series, fields=fields)
        assert list(frame.columns) == list(fields)
        assert frame.index.equals(index)
        assert frame.astype(object).where(frame.notna(), None).values.tolist() == want
    whole = columns.extract(pd.Series(TEXTS, dtype=object))
    assert list(whole.columns) == list(FIELDS)


def test_polars_series_give_struct_series():
    pl = pytest.importorskip("polars")
    series = pl.Series("url", TEXTS)
    answers = columns.extract(series)
    assert answers.name == "url"
    frame = answers.struct.unnest()
    assert frame.columns == list(FIELDS)
    assert frame.rows() == [(None,) * 9 if r is None else tuple(r) for r in records(TEXTS)]


def test_elements_that_are_not_utf8_have_empty_records():
    array = binary_as_string(b"https://a.example.com/\xff", b"\xc3", b"www.example.com")
    answers = columns.extract(array, fields=("host", "privatesuffix")).to_pylist()
    assert answers == [
        {"host": None, "privatesuffix": None},
        {"host": None, "privatesuffix": None},
        {"host": "www.example.com", "privatesuffix": "example.com"},
    ]


def test_threads_give_the_same_records():
    texts = [f"https://w{i}.n{i % 13}.example{i % 7}.co.uk/p?q={i}" for i in range(70_000)]
    texts[100::997] = [None] * len(texts[100::997])
    array = pa.array(texts)
    one = columns.extract(array, threads=1)
    assert columns.extract(array) == one
    assert columns.extract(array, threads=3) == one
    assert one[5].as_py()["privatesuffix"] == "example5.co.uk"


def test_records_from_a_loaded_list():
    text = (
        "// ===BEGIN ICANN DOMAINS===\ncom\nxn--p1ai\n// ===END ICANN DOMAINS===\n"
        "// ===BEGIN PRIVATE DOMAINS===\n*.apps.example.com\n// ===END PRIVATE DOMAINS===\n"
    )
    rules = vexlo.load_rules(text.encode())
    texts = ["https://x.y.apps.example.com/", "a.пример.рф", "www.example.co.uk"]
    assert columns.extract(texts, rules=rules) == [rules.extract(text) for text in texts]
    assert columns.extract(pa.array(texts), rules=rules, fields=["rule"]).to_pylist() == [
        {"rule": "*.apps.example.com"},
        {"rule": "xn--p1ai"},
        {"rule": "*"},
    ]


@pytest.mark.parametrize(
    "kwargs,error,message",
    [
        ({"fields": "host"}, TypeError, "expected an iterable of field names, not a str"),
        ({"fields": 3}, TypeError, "expected an iterable of field names, not int"),
        ({"fields": [b"host"]}, TypeError, "field 0 is bytes, not str"),
        ({"fields": ()}, ValueError, "no fields"),
        ({"fields": ("host", "host")}, ValueError, "field 'host' is named twice"),
        (
            {"fields": ("subdomain",)},
            ValueError,
            "unknown field 'subdomain' (choose from " + ", ".join(FIELDS) + ")",
        ),
    ],
)
def test_refused_fields(kwargs, error, message):
    with pytest.raises(error) as caught:
        columns.extract(["a.com"], **kwargs)
    assert str(caught.value) == message
    assert caught.value.__notes__ == ["while processing 'fields'"]


def test_dictionary_columns_give_records_of_encoded_fields():
    dictionary = pa.array([text for text in TEXTS if text is not None])
    indices = [0, 2, None, 4, 2, 13, 0]
    rows = pa.DictionaryArray.from_arrays(pa.array(indices, pa.int16()), dictionary)
    plain = [None if i is None else dictionary[i].as_py() for i in indices]
    answers = columns.extract(rows, fields=("privatesuffix", "rule"))
    assert pa.types.is_struct(answers.type)
    assert all(pa.types.is_dictionary(field.type) for field in answers.type)
    assert answers.type.field(0).type.index_type == pa.int16()
    assert (
        answers.to_pylist()
        == columns.extract(pa.array(plain), fields=("privatesuffix", "rule")).to_pylist()
    )
    pl = pytest.importorskip("polars")
    frame = columns.extract(pl.Series(plain, dtype=pl.Categorical)).struct.unnest()
    assert frame.rows() == [(None,) * 9 if r is None else tuple(r) for r in records(plain)]
    pd = pytest.importorskip("pandas")
    table = columns.extract(pd.Series(plain, dtype="category"), fields=("host", "section"))
    assert isinstance(table["host"].dtype, pd.CategoricalDtype)
    assert table.astype(object).where(table.notna(), None).values.tolist() == [
        [None, None] if r is None else [r.host, r.section] for r in records(plain)
    ]
