"""Every interpreter allocation of a call, failed in turn: each call of every
function, on good input and on every kind of bad argument, ends in a result
or in exactly one exception, never a SystemError, and the process lives on.

The sweep of a call stops by itself once the call no longer reaches the first
failing allocation, so no allocation count is written down here."""

import os
import textwrap

import pytest
from support import run_python

# Calls as factories: each attempt gets fresh argument objects, so that the
# UTF-8 form of a non-ASCII domain is made (and can fail) inside the call.
# The harness calls with f(*args, **kwargs), which the interpreter never
# specialises: it checks every result of the module (a NULL without an
# exception, or a result with one pending, becomes a SystemError naming the
# function).
CALLS = textwrap.dedent(r"""
    import sys
    from vexlo import _columns as C, _lookup as L

    def fresh(text):
        # A new str each time: its UTF-8 form is not cached yet.
        return "".join([text[:1], text[1:]])

    class Index:
        def __init__(self, value): self.value = value
        def __index__(self): return self.value

    class RaisingIndex:
        def __index__(self): raise ValueError("no index")

    def numpy_like(name, **methods):
        return type(name, (), {"__module__": "numpy", **methods})()

    def raise_in_bool(self):
        raise ZeroDivisionError("no truth")

    ASCII = "Shop.Example.CO.UK."
    WIDE = "www.\u00e9xample.\u0130.co.uk"
    DEEP = "A.B.C.D.E.Example.CO.UK"
    # name: () -> (function, positional arguments, keyword arguments)
    CALLS = {
        # Good input.
        "publicsuffix ascii": lambda: (L.publicsuffix, (fresh(ASCII),), {}),
        "publicsuffix all switches": lambda: (L.publicsuffix, (fresh(ASCII),), dict(
            accept_unknown=False, icann_only=True, keep_case=True)),
        "privatesuffix non-ascii": lambda: (L.privatesuffix, (fresh(WIDE),), {}),
        "privatesuffix keep_case": lambda: (L.privatesuffix, (fresh(WIDE),), dict(keep_case=True)),
        "is_public": lambda: (L.is_public, (fresh("co.uk"),), dict(accept_unknown=False)),
        "is_private non-ascii": lambda: (L.is_private, (fresh(WIDE),), dict(icann_only=True)),
        "privateparts many labels": lambda: (L.privateparts, (fresh(DEEP),), dict(keep_case=True)),
        "privateparts non-ascii": lambda: (L.privateparts, (fresh(WIDE),), {}),
        "subdomain keep_case": lambda: (L.subdomain, (fresh(DEEP), 2), dict(keep_case=True)),
        "subdomain __index__": lambda: (L.subdomain, (fresh(DEEP), Index(1)), {}),
        "subdomain huge depth": lambda: (L.subdomain, (fresh(DEEP), 2**64 - 1), {}),
        "invalid domain": lambda: (L.privateparts, (fresh("a..b"),), {}),
        "numpy-like bool": lambda: (L.publicsuffix, (fresh(ASCII),), dict(
            keep_case=numpy_like("bool_", __bool__=lambda self: True))),
        # Bad arguments.
        "domain int": lambda: (L.is_public, (5,), {}),
        "domain None": lambda: (L.publicsuffix, (None,), {}),
        "domain bytes": lambda: (L.privatesuffix, (b"example.com",), {}),
        "lone surrogate": lambda: (L.privateparts, (fresh("a.\ud800.com"),), {}),
        "depth float": lambda: (L.subdomain, (fresh(DEEP), 1.0), {}),
        "depth str": lambda: (L.subdomain, (fresh(DEEP), "1"), {}),
        "depth negative": lambda: (L.subdomain, (fresh(DEEP), -1), {}),
        "depth too large": lambda: (L.subdomain, (fresh(DEEP), 2**64), {}),
        "depth __index__ raises": lambda: (L.subdomain, (fresh(DEEP), RaisingIndex()), {}),
        "switch int": lambda: (L.is_private, (fresh(ASCII),), dict(accept_unknown=1)),
        "switch None": lambda: (L.privatesuffix, (fresh(ASCII),), dict(icann_only=None)),
        "switch str": lambda: (L.subdomain, (fresh(ASCII), 0), dict(keep_case="yes")),
        "numpy-like bool without __bool__": lambda: (L.is_public, (fresh(ASCII),), dict(
            icann_only=numpy_like("bool_"))),
        "numpy-like bool raising": lambda: (L.privateparts, (fresh(ASCII),), dict(
            accept_unknown=numpy_like("bool", __bool__=raise_in_bool))),
        "unknown keyword": lambda: (L.is_public, (fresh(ASCII),), dict(keep_case=True)),
        "unencodable keyword": lambda: (L.is_private, (fresh(ASCII),), {"\udcff": True}),
        "multiple values": lambda: (L.is_public, (fresh(ASCII),), dict(domain="a.com")),
        "too many positionals": lambda: (L.subdomain, (fresh(DEEP), 1, True), {}),
        "missing depth": lambda: (L.subdomain, (fresh(DEEP),), {}),
        "missing everything": lambda: (L.subdomain, (), {}),
        "only depth": lambda: (L.subdomain, (), dict(depth=1)),
        # vexlo.host, declared in the same way.
        "host ascii": lambda: (C.host, (fresh("https://u@Shop.Example.CO.UK:8443/x"),), {}),
        "host non-ascii": lambda: (C.host, (fresh("http://www.\u00e9xample.\u0130.co.uk/"),), {}),
        "host keep_ip": lambda: (C.host, (fresh("http://[2001:db8::1]/"),), dict(keep_ip=True)),
        "host with a tab": lambda: (C.host, (fresh("http://exa\tmple.com/"),), {}),
        "host none": lambda: (C.host, (fresh("urn:\u00e9"),), dict(keep_ip=False)),
        "host int": lambda: (C.host, (5,), {}),
        "host lone surrogate": lambda: (C.host, (fresh("a.\ud800.com"),), {}),
        "host keep_ip int": lambda: (C.host, (fresh("a.com"),), dict(keep_ip=1)),
        # vexlo.extract and its Rules method: nine fields and a record.
        "extract ascii": lambda: (C.extract, (fresh("https://u@Shop.Example.CO.UK:8443/x"),), {}),
        "extract non-ascii": lambda: (C.extract, (fresh("http://www.xn--55qx5d.cn/"),), dict(
            keep_case=True)),
        "extract unicode": lambda: (C.extract, (fresh("http://www.\u00e9xample.\u0130.co.uk/"),), {}),
        "extract invalid": lambda: (C.extract, (fresh("http://A..B/"),), {}),
        "extract keep_ip": lambda: (C.extract, (fresh("http://[2001:db8::1]/"),), dict(keep_ip=True)),
        "extract no host": lambda: (C.extract, (fresh("urn:x"),), {}),
        "extract int": lambda: (C.extract, (5,), {}),
        "extract switch None": lambda: (C.extract, (fresh("a.com"),), dict(accept_unknown=None)),
        "Rules.extract": lambda: (C._compiled_rules().extract, (fresh("a.b.github.io"),), {}),
    }
""")

# One attempt: arm the hooks, make the call, probe, and disarm in `finally`
# before anything else runs. The failing allocation may land in this code too
# (a frame, a traceback entry); that is a MemoryError like any other.
#
# The probe allocates after the call, at most start + 1 times. If one of its
# allocations is the failing one, the call ended before reaching it: the call
# ran untouched, and so will it for every later start.
#
# Only bounded runs of failures are injected: with every allocation failing
# for good, CPython 3.13's own unraisable-exception path recurses until the
# stack overflows (PySys_GetObject reports its failure as unraisable too).
ATTEMPT = textwrap.dedent(r"""
    import _testcapi

    def interpreter_system_error(error):
        text = str(error)
        return text == "error return without exception set" or (
            text.startswith("<function ") and
            text.endswith("returned NULL without setting an exception"))

    def attempt(call, start, stop):
        function, args, kwargs = call
        returned = untouched = False
        result = error = None
        probes = range(start + 1)
        try:
            _testcapi.set_nomemory(start, stop)
            try:
                try:
                    result = function(*args, **kwargs)
                    returned = True
                except BaseException as caught:
                    error = caught
                try:
                    for _ in probes:
                        bytearray(1)
                except MemoryError:
                    untouched = True
            finally:
                _testcapi.remove_mem_hooks()
        except BaseException as caught:
            error = caught
        return returned, untouched, result, error

    def check(name, start, mode, returned, result, error, unraisable):
        problems = []
        if returned:
            if sys.exc_info() != (None, None, None):
                problems.append(f"exception left set after a result: {sys.exc_info()!r}")
            try:
                [].append(result)  # anything pending would surface here
            except BaseException as late:
                problems.append(f"pending exception after a result: {late!r}")
        else:
            kind = type(error).__name__
            # When the traceback entry of a raising frame cannot be made,
            # CPython 3.13 itself gives a MemoryError chained to the exception,
            # or a SystemError: "error return without exception set" in this
            # frame, "<function ...> returned NULL without setting an
            # exception" for the Python callbacks above. Builtins show the
            # same (len(), operator.index(RaisingIndex())). A fault of the
            # module would name a built-in function or the PanicException.
            if isinstance(error, SystemError) and not interpreter_system_error(error):
                problems.append(f"SystemError: {error}")
            elif not isinstance(error, MemoryError) and error.__context__ is not None:
                problems.append(f"{kind} chained to {error.__context__!r}")
        for problem in problems:
            print(f"FAULT {name!r} start={start} mode={mode}: {problem}", flush=True)
        return "result" if returned else type(error).__name__
""")

SWEEP = (
    CALLS
    + ATTEMPT
    + textwrap.dedent(r"""
    BURST = 4  # failures in a row, so that error paths fail too
    unraisable = []
    sys.unraisablehook = lambda report: unraisable.append(type(report.exc_value).__name__)
    only = sys.argv[1:]
    for name, factory in CALLS.items():
        if only and name not in only:
            continue
        outcomes = set()
        start = 0
        while True:
            returned, untouched, result, error = attempt(factory(), start, start + 1)
            outcomes.add(check(name, start, "one", returned, result, error, unraisable))
            if untouched:
                break
            returned, _, result, error = attempt(factory(), start, start + BURST)
            outcomes.add(check(name, start, "burst", returned, result, error, unraisable))
            start += 1
        print(f"SWEPT {name!r} allocations={start} outcomes={sorted(outcomes)}", flush=True)
    print("DONE", flush=True)
""")
)


def swept(stdout):
    return {line.split("'")[1]: line for line in stdout.splitlines() if line.startswith("SWEPT")}


def test_every_failing_allocation_ends_in_a_result_or_one_exception():
    result = run_python(SWEEP, timeout=1200)
    faults = [line for line in result.stdout.splitlines() if line.startswith("FAULT")]
    assert not faults, "\n".join(faults)
    assert result.returncode == 0 and result.stdout.endswith("DONE\n"), (
        result.stdout[-2000:] + result.stderr[-4000:]
    )
    lines = swept(result.stdout)
    namespace = {}
    exec(CALLS, namespace)
    assert set(lines) == set(namespace["CALLS"])
    # Every call reached at least one allocation, so the sweep did something,
    # but for those that may answer without making an object (None for a
    # depth beyond any name's, or for an invalid name): whether they reach
    # one depends on the interpreter's free lists. And the good calls could
    # still answer after a failure they absorbed or before the failing
    # allocation came.
    allocation_free = {"subdomain huge depth", "invalid domain"}
    for name, line in lines.items():
        assert ("allocations=0 " not in line) or name in allocation_free, line
        assert "'result'" in line or "Error" in line, line


# The interned "add_note" is made by the first call that annotates an argument
# error; only a fresh interpreter exercises its creation failing. One
# interpreter per start. (The PanicException class is made at import already:
# see the import sweep below.)
FIRST_USE = (
    CALLS
    + ATTEMPT
    + textwrap.dedent(r"""
    name, start, stop = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    unraisable = []
    sys.unraisablehook = lambda report: unraisable.append(type(report.exc_value).__name__)
    call = CALLS[name]()
    returned, untouched, result, error = attempt(call, start, stop)
    outcome = check(name, start, stop - start, returned, result, error, unraisable)
    print("OUTCOME", outcome, "untouched" if untouched else "touched", flush=True)
""")
)

FIRST_USE_CALLS = ["depth negative", "privateparts many labels", "lone surrogate"]


@pytest.mark.parametrize("name", FIRST_USE_CALLS)
def test_first_use_caches_survive_failing_allocations(name):
    limit = int(os.environ.get("VEXLO_FIRST_USE_SWEEP_LIMIT", "400"))
    start = 0
    while start < limit:
        outcomes = []
        for stop in (start + 1, start + 4):
            result = run_python(
                f"import sys; sys.argv[1:] = {[name, str(start), str(stop)]!r}\n" + FIRST_USE
            )
            assert result.returncode == 0, (start, stop, result.stdout, result.stderr[-3000:])
            faults = [line for line in result.stdout.splitlines() if line.startswith("FAULT")]
            assert not faults, faults
            outcomes.append(result.stdout)
        if "untouched" in outcomes[0]:
            break
        start += 1
    assert 0 < start < limit


# The module's exec step under the same failures: the import fails with one
# exception or succeeds, and the process lives on. It also makes the
# PanicException class, so this covers that class failing to be created.
IMPORT = (
    textwrap.dedent(r"""
    import importlib.machinery, importlib.util, sys
    # The module file is the one the tests imported, loaded here without the
    # package, whose __init__ would import it first.
    start, stop, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    loader = importlib.machinery.ExtensionFileLoader("vexlo._lookup", path)
    module_spec = importlib.util.spec_from_file_location("vexlo._lookup", path, loader=loader)
    sys.unraisablehook = lambda report: None

    def load():
        module = importlib.util.module_from_spec(module_spec)
        loader.exec_module(module)
        return module
""")
    + ATTEMPT
    + textwrap.dedent(r"""
    returned, untouched, module, error = attempt((load, (), {}), start, stop)
    check("import", start, stop - start, returned, module, error, [])
    if returned:
        assert sorted(module.__all__) == sorted(
            ["publicsuffix", "privatesuffix", "is_public", "is_private", "privateparts",
             "subdomain", "LIST_CHECKSUM"]), module.__all__
        assert module.publicsuffix("a.example.co.uk") == "co.uk"
    print("OUTCOME", "module" if returned else type(error).__name__,
          "untouched" if untouched else "touched", flush=True)
""")
)


def test_import_survives_failing_allocations(lookup):
    limit = int(os.environ.get("VEXLO_IMPORT_SWEEP_LIMIT", "2000"))
    outcomes = set()
    start = 0
    while start < limit:
        runs = []
        for stop in (start + 1, start + 4):
            arguments = [str(start), str(stop), lookup.__file__]
            result = run_python(f"import sys; sys.argv[1:] = {arguments!r}\n" + IMPORT)
            assert result.returncode == 0, (start, stop, result.stdout, result.stderr[-3000:])
            faults = [line for line in result.stdout.splitlines() if line.startswith("FAULT")]
            assert not faults, faults
            runs.append(result.stdout)
            outcomes.add(result.stdout.split()[1])
        if "untouched" in runs[0]:
            break
        start += 1
    assert 0 < start < limit, start
    assert "module" in outcomes and "PanicException" in outcomes, outcomes
