"""The column functions under failing interpreter allocations, each failed in
turn as for the scalar functions: every call ends in a result or in exactly
one exception, never a SystemError, and the process lives on."""

import textwrap

import pytest
from support import run_python
from test_memory_failure_sweep import ATTEMPT, swept

pytest.importorskip("pyarrow")

CALLS = textwrap.dedent(r"""
    import sys
    import pyarrow as pa
    from vexlo import columns

    NAMES = ["www.Example.co.uk", None, "a..b", "x.\u00e9cole.fr", "A.B.c.github.io"] * 3

    def fresh():
        # New str objects, whose UTF-8 forms are not cached yet.
        return ["".join([n[:1], n[1:]]) if n is not None else None for n in NAMES]

    # What vexlo.columns reads a column as, made before the sweep so that
    # pyarrow's own allocations are no part of it: each call finds the
    # source its factory made in place of its column.
    made = {}
    columns._column_source = lambda column, fields: made["source"]

    def arrow_call(function, source, *args, **options):
        def call(*call_args, **call_options):
            made["source"] = source
            return function(*call_args, **call_options)
        return (call, (None, *args), dict(threads=1, **options))

    def array_call(function, values, data_type=None, **options):
        array = pa.array(values, data_type)
        sizes = tuple(None if b is None else b.size for b in array.buffers())
        return arrow_call(function, ("array", (*array.__arrow_c_array__(), sizes), None), **options)

    def chunks_call(function):
        column = pa.chunked_array([NAMES, [], NAMES[:4]])
        chunks = tuple((chunk.__arrow_c_array__()[1], None) for chunk in column.chunks)
        return arrow_call(function, ("chunks", (column.type.__arrow_c_schema__(), chunks), None))

    def stream_call(function, *args):
        stream = pa.chunked_array([NAMES, NAMES[:4]]).__arrow_c_stream__()
        return arrow_call(function, ("stream", stream, None), *args)

    CALLS = {
        "list privatesuffix": lambda: (columns.privatesuffix, (fresh(),), {}),
        "list privateparts keep_case": lambda: (columns.privateparts, (fresh(),),
                                                dict(keep_case=True)),
        "list is_private": lambda: (columns.is_private, (fresh(),), dict(icann_only=True)),
        "list subdomain": lambda: (columns.subdomain, (fresh(), 1), {}),
        "list with a bad item": lambda: (columns.publicsuffix, (fresh() + [5],), {}),
        "list with a surrogate": lambda: (columns.publicsuffix, (["a.com", "\ud800.com"],), {}),
        "array privatesuffix": lambda: array_call(columns.privatesuffix, NAMES),
        "array privateparts string_view": lambda: array_call(columns.privateparts, NAMES,
                                                             pa.string_view(), keep_case=True),
        "array is_public large_string": lambda: array_call(columns.is_public, NAMES,
                                                           pa.large_string()),
        "array of another type": lambda: array_call(columns.privatesuffix, [1, 2]),
        "stream subdomain": lambda: stream_call(columns.subdomain, 1),
        "chunks is_private": lambda: chunks_call(columns.is_private),
        "stream privateparts": lambda: stream_call(columns.privateparts),
        "list host": lambda: (columns.host, (["http://" + n if n else n for n in fresh()],),
                              dict(keep_ip=True)),
        "array host string_view": lambda: array_call(columns.host, NAMES, pa.string_view()),
    }
""")

SWEEP = (
    CALLS
    + ATTEMPT
    + textwrap.dedent(r"""
    BURST = 4
    sys.unraisablehook = lambda report: None
    for name, factory in CALLS.items():
        outcomes = set()
        start = 0
        while True:
            returned, untouched, result, error = attempt(factory(), start, start + 1)
            outcomes.add(check(name, start, "one", returned, result, error, []))
            if untouched:
                break
            returned, _, result, error = attempt(factory(), start, start + BURST)
            outcomes.add(check(name, start, "burst", returned, result, error, []))
            start += 1
        print(f"SWEPT {name!r} allocations={start} outcomes={sorted(outcomes)}", flush=True)
    print("DONE", flush=True)
""")
)


def test_every_failing_allocation_ends_in_a_result_or_one_exception():
    result = run_python(SWEEP, timeout=1200)
    faults = [line for line in result.stdout.splitlines() if line.startswith("FAULT")]
    assert not faults, "\n".join(faults)
    assert result.returncode == 0 and result.stdout.endswith("DONE\n"), result.stderr[-3000:]
    lines = swept(result.stdout)
    assert len(lines) == 15
    for line in lines.values():
        assert "allocations=0 " not in line, line
