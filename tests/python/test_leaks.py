"""A million mixed calls, answering, refusing and raising, leave neither memory
nor references behind."""

import os
import textwrap

from support import run_python

# Under the sanitizers memory is held in quarantine on purpose, so resident
# size says nothing there; the reference counts still do, on fewer calls.
UNDER_SANITIZER = os.environ.get("VEXLO_UNDER_SANITIZER") == "1"
CALLS = 50_000 if UNDER_SANITIZER else 1_000_000

MIXED_CALLS = textwrap.dedent(r"""
    import gc, os, sys
    from vexlo import _columns as C, _lookup as L

    class Index:
        def __index__(self): return 1

    class RaisingIndex:
        def __index__(self): raise ValueError("no index")

    NumpyBool = type("bool_", (), {"__module__": "numpy", "__bool__": lambda self: True})
    NumpyBoolWithout = type("bool_", (), {"__module__": "numpy"})

    ascii_name = "Shop.Example.CO.UK."
    wide_name = "www.\u00e9xample.\u0130.\u039f\u0394\u039f\u03a3.co.uk"
    deep_name = ".".join(["Label"] * 20) + ".example.com"
    long_name = "x" * 300 + ".example.com"  # lowercased on the heap, not inline
    surrogate = "a.\ud800.com"
    huge = 2**64
    index, raising_index = Index(), RaisingIndex()
    numpy_true, numpy_without = NumpyBool(), NumpyBoolWithout()
    unencodable = {"\udcff": True}
    ARGUMENTS = [ascii_name, wide_name, deep_name, long_name, surrogate, huge, index,
                 raising_index, numpy_true, numpy_without, unencodable]

    CALLS = [
        (L.publicsuffix, (ascii_name,), {}),
        (L.publicsuffix, (wide_name,), {"keep_case": True}),
        (L.privatesuffix, (long_name,), {"icann_only": True}),
        (L.is_public, (wide_name,), {"accept_unknown": False}),
        (L.is_private, (deep_name,), {}),
        (L.privateparts, (deep_name,), {"keep_case": True}),
        (L.privateparts, (wide_name,), {}),
        (L.subdomain, (deep_name, index), {"keep_case": numpy_true}),
        (L.subdomain, (wide_name, huge - 1), {}),
        (L.publicsuffix, ("a..b",), {}),
        (C.extract, ("https://" + long_name + "/x",), {}),
        (C.extract, (wide_name,), {"keep_case": True}),
        (C.extract, ("http://xn--55qx5d.cn/",), {}),
        (C.extract, ("http://A..B./",), {}),
        (C.extract, ("http://[::1]/",), {"keep_ip": True}),
        # Refused and raising calls.
        (L.is_public, (5,), {}),
        (L.privateparts, (surrogate,), {}),
        (L.subdomain, (ascii_name, huge), {}),
        (L.subdomain, (ascii_name, -1), {}),
        (L.subdomain, (ascii_name, raising_index), {}),
        (L.subdomain, (ascii_name, 1.5), {}),
        (L.is_private, (ascii_name,), {"accept_unknown": 1}),
        (L.privatesuffix, (ascii_name,), {"keep_case": numpy_without}),
        (L.is_public, (ascii_name,), {"keep_case": True}),
        (L.is_private, (ascii_name,), unencodable),
        (L.subdomain, (ascii_name, 1, True), {}),
        (L.subdomain, (), {}),
        (C.extract, (surrogate,), {}),
        (C.extract, (ascii_name,), {"keep_ip": 1}),
    ]

    def run(rounds):
        for _ in range(rounds):
            for function, args, kwargs in CALLS:
                try:
                    function(*args, **kwargs)
                except (TypeError, ValueError, OverflowError):
                    pass

    def resident_bytes():
        with open("/proc/self/statm") as statm:
            return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")

    total = int(sys.argv[1])
    rounds = total // len(CALLS)
    run(rounds // 10)  # warm up: caches, free lists, the allocator's arenas
    gc.collect()
    counts = [sys.getrefcount(value) for value in ARGUMENTS]
    before = resident_bytes()
    run(rounds)
    gc.collect()
    after = resident_bytes()
    print("calls", rounds * len(CALLS))
    print("growth", after - before)
    print("refcounts", counts == [sys.getrefcount(value) for value in ARGUMENTS])
""")


def test_a_million_mixed_calls_leak_nothing():
    result = run_python(f"import sys; sys.argv[1:] = ['{CALLS}']\n" + MIXED_CALLS, timeout=600)
    assert result.returncode == 0, result.stderr[-3000:]
    report = dict(line.split(" ", 1) for line in result.stdout.splitlines())
    assert int(report["calls"]) >= CALLS * 0.99
    assert report["refcounts"] == "True"
    if not UNDER_SANITIZER:
        assert int(report["growth"]) < 1 << 20, report
