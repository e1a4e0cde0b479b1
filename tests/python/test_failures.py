"""Faults and failing interpreter calls become exceptions, never crashes or
SystemErrors."""

import textwrap

from support import run_python

# Fails one interpreter allocation after another until the call raises
# PanicException (making its result failed); reports the class, the message and
# what reached the unraisable hook on the way.
FIND_PANIC = textwrap.dedent("""
    import sys, _testcapi
    from vexlo import _lookup

    def first_panic(call):
        unraisable = []
        hook = sys.unraisablehook
        sys.unraisablehook = lambda report: unraisable.append(type(report.exc_value).__name__)
        try:
            for start in range(200):
                unraisable.clear()
                _testcapi.set_nomemory(start, start + 1)
                try:
                    call()
                except BaseException as error:
                    if type(error).__name__ == "PanicException":
                        return type(error), str(error), list(unraisable)
                finally:
                    _testcapi.remove_mem_hooks()
        finally:
            sys.unraisablehook = hook
        raise AssertionError("no allocation failure reached the result")
""")


RESUMED_PANIC = FIND_PANIC + textwrap.dedent("""
    Panic = first_panic(lambda: _lookup.publicsuffix("example.com"))[0]
    print("class", Panic.__module__, Panic.__qualname__, Panic.__bases__, repr(Panic.__doc__[:1]),
          flush=True)

    class Index:
        def __index__(self):
            raise Panic("boom from __index__")

    try:
        _lookup.subdomain("a.b.example.com", Index())
    except BaseException as second:
        print("caught", type(second) is Panic, second.args, flush=True)
""")


def test_panic_class_and_resumed_panic():
    result = run_python(RESUMED_PANIC)
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    assert lines[0] == "class pyo3_runtime PanicException (<class 'BaseException'>,) '\\n'"
    assert lines[1] == "caught True ('boom from __index__',)"
    stderr = result.stderr
    resume = stderr.index("--- ")
    assert "PanicException from Python" in stderr[resume:].splitlines()[0]
    assert stderr[resume:].splitlines()[0].endswith(" ---")
    assert "Python stack trace below:" in stderr
    assert "Traceback (most recent call last):" in stderr[resume:]
    assert "boom from __index__" in stderr[resume:]


SHARED_PANIC = FIND_PANIC + textwrap.dedent("""
    from vexlo import columns
    Panic = first_panic(lambda: _lookup.publicsuffix("example.com"))[0]
    raised = Panic("boom from an iterable")

    def names():
        yield "a.example.com"
        raise raised

    try:
        columns.publicsuffix(names())
    except BaseException as second:
        print("caught", type(second) is Panic, second is not raised, second.args, flush=True)
""")


def test_both_modules_raise_one_panic_class():
    """vexlo._columns resumes a PanicException of vexlo._lookup's class as a
    fault of its own, and raises it again as that same class."""
    result = run_python(SHARED_PANIC)
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == ["caught True True ('boom from an iterable',)"]
    resume = result.stderr.index("--- ")
    assert "PanicException from Python" in result.stderr[resume:].splitlines()[0]
    assert "boom from an iterable" in result.stderr[resume:]


MEMORY_FAILURE = FIND_PANIC + textwrap.dedent("""
    for call in (lambda: _lookup.publicsuffix("example.com"),
                 lambda: _lookup.privateparts("a.b.example.com"),
                 lambda: _lookup.subdomain("a.b.example.com", 1)):
        panic, message, unraisable = first_panic(call)
        print(panic.__module__, message, unraisable, flush=True)
""")


def test_result_that_cannot_be_created_raises_panic():
    result = run_python(MEMORY_FAILURE)
    assert result.returncode == 0, result.stderr
    assert (
        result.stdout.splitlines() == ["pyo3_runtime PyObject pointer is null ['MemoryError']"] * 3
    )


SWEEP = textwrap.dedent("""
    import sys, _testcapi
    from vexlo import _lookup
    sys.unraisablehook = lambda report: None

    class Index:
        def __init__(self, value): self.value = value
        def __index__(self): return self.value

    CALLS = [
        lambda: _lookup.publicsuffix("Shop.Example.CO.UK.", keep_case=True),
        lambda: _lookup.privatesuffix("www.\u00e9xample.co.uk"),
        lambda: _lookup.is_public("co.uk", accept_unknown=False),
        lambda: _lookup.is_private("a.\u0130.com", icann_only=True),
        lambda: _lookup.privateparts("a.b.c.example.com", keep_case=True),
        lambda: _lookup.subdomain("a.b.c.example.com", Index(1)),
        lambda: _lookup.subdomain("a.b.example.com", 2**64),
        lambda: _lookup.is_public(5),
        lambda: _lookup.is_public("\\ud800"),
        lambda: _lookup.is_public("a.com", icann_only=1),
        lambda: _lookup.is_public("a.com", bogus=True),
        lambda: _lookup.subdomain("a.com"),
    ]
    outcomes = set()
    for number, call in enumerate(CALLS):
        for start in range(0, 120):
            # The failing allocation may also land in this loop's own
            # bookkeeping (a traceback entry, say): that is a MemoryError too.
            try:
                _testcapi.set_nomemory(start, start + 1)
                try:
                    call()
                finally:
                    _testcapi.remove_mem_hooks()
                outcome = "answer"
            except BaseException as error:
                _testcapi.remove_mem_hooks()
                outcome = type(error).__name__
            outcomes.add(outcome)
            if outcome == "SystemError":
                print("SystemError", number, start, flush=True)
    print(sorted(outcomes), flush=True)
""")


def test_no_single_failing_allocation_gives_a_system_error():
    result = run_python(SWEEP)
    assert result.returncode == 0, result.stderr
    assert "SystemError" not in result.stdout, result.stdout
