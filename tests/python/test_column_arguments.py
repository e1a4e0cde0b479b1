"""The column functions' arguments: declared once in C++ beside the scalar
functions', so every refusal reads as the scalar function's does; the
column's own options (threads, rules); and what the declarations promise
about the functions themselves (stubtest holds the type checkers' view of
them, in vexlo/columns.py, to the same declarations)."""

import inspect
import pickle

import pytest
from support import FUNCTIONS
from test_arguments import ERRORS, WITH_KEEP_CASE, Index

from vexlo import _columns, columns

COLUMN_FUNCTIONS = (*FUNCTIONS, "host", "extract")


def fresh(argument):
    """An argument of the table as new: an exception that an __index__ raises
    keeps the notes of every raise, and the scalar tests raise it too."""
    if isinstance(argument, Index) and isinstance(argument.value, BaseException):
        return Index(type(argument.value)(*argument.value.args))
    return argument


def as_column_call(args, kwargs):
    """A scalar call's arguments with a one-name column in place of the domain."""
    args = tuple(fresh(a) for a in args)
    args = ([args[0]], *args[1:]) if args else args
    kwargs = {("column" if k == "domain" else k): v for k, v in kwargs.items()}
    return args, kwargs


@pytest.mark.parametrize(
    "function,args,kwargs,error,message,notes",
    # A column may be anything, so what is said about a domain's type has no
    # counterpart.
    [case for case in ERRORS if case[5] != ["while processing 'domain'"]],
)
def test_refused_as_the_scalar_functions_refuse(function, args, kwargs, error, message, notes):
    args, kwargs = as_column_call(args, kwargs)
    with pytest.raises(error) as caught:
        getattr(columns, function)(*args, **kwargs)
    assert type(caught.value) is error
    if message is not None:
        assert str(caught.value) == message.replace("'domain'", "'column'")
    assert getattr(caught.value, "__notes__", None) == notes


@pytest.mark.parametrize("function", COLUMN_FUNCTIONS)
def test_every_switch_is_checked_and_no_other_taken(function):
    positional = (["a.example.com"], 0) if function == "subdomain" else (["a.example.com"],)
    switches = (
        ["keep_ip"]
        if function == "host"
        else ["keep_ip", "accept_unknown", "keep_case"]
        if function == "extract"
        else ["accept_unknown", "icann_only"]
        + (["keep_case"] if function in WITH_KEEP_CASE else [])
    )
    for switch in switches:
        with pytest.raises(TypeError) as caught:
            getattr(columns, function)(*positional, **{switch: 1})
        assert str(caught.value) == "'int' object is not an instance of 'bool'"
        assert caught.value.__notes__ == [f"while processing '{switch}'"]
    others = {"accept_unknown", "icann_only", "keep_case", "keep_ip", "rules"} - set(switches)
    if function != "host":
        others -= {"accept_unknown", "rules"}
    if function not in ("host", "extract"):
        others -= {"icann_only"}
    for other in sorted(others):
        with pytest.raises(TypeError) as caught:
            getattr(columns, function)(*positional, **{other: None})
        assert str(caught.value) == f"{function}() got an unexpected keyword argument '{other}'"


class Threads:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


# threads= -> (error, message) or the answers' length for an accepted count
THREADS = [
    (None, None, None),
    (1, None, None),
    (Threads(3), None, None),
    (2**100, None, None),  # taken as the most there are
    (0, ValueError, "must be at least 1, not 0"),
    (-2, ValueError, "must be at least 1, not -2"),
    (-(2**70), ValueError, f"must be at least 1, not {-(2**70)}"),
    (True, TypeError, "'bool' object cannot be interpreted as a number of threads"),
    (1.0, TypeError, "'float' object cannot be interpreted as an integer"),
    ("2", TypeError, "'str' object cannot be interpreted as an integer"),
]


@pytest.mark.parametrize("threads,error,message", THREADS, ids=repr)
@pytest.mark.parametrize("function", ("privatesuffix", "host"))
def test_threads(function, threads, error, message):
    call = getattr(columns, function)
    if error is None:
        assert call(["a.b.example.com"] * 200, threads=threads)[-1] in (
            "example.com",
            "a.b.example.com",
        )
        return
    with pytest.raises(error) as caught:
        call(["a.example.com"], threads=threads)
    assert str(caught.value) == message
    assert caught.value.__notes__ == ["while processing 'threads'"]


@pytest.mark.parametrize("rules", ["list.dat", b"com\n", 0])
def test_rules_are_a_rules_object_or_none(rules):
    with pytest.raises(TypeError) as caught:
        columns.is_private(["a.com"], rules=rules)
    assert str(caught.value) == (
        f"'{type(rules).__qualname__}' object is not an instance of 'vexlo.Rules'"
    )
    assert caught.value.__notes__ == ["while processing 'rules'"]
    assert columns.is_private(["a.com"], rules=None) == [True]


def test_arguments_are_checked_before_the_column_is_read():
    class Producer:
        exported = 0

        def __arrow_c_array__(self, requested_schema=None):
            Producer.exported += 1
            raise AssertionError("read")

    for bad in ({"icann_only": "no"}, {"threads": 0}, {"rules": "x"}, {"nope": 1}):
        with pytest.raises((TypeError, ValueError)):
            columns.privatesuffix(Producer(), **bad)
    assert Producer.exported == 0


def test_column_functions_are_added_to_modules_only():
    with pytest.raises(TypeError) as caught:
        _columns._add_column_functions(columns.__dict__)
    assert caught.value.__notes__ == ["while processing 'module'"]


@pytest.mark.parametrize("name", COLUMN_FUNCTIONS)
def test_functions_of_the_columns_module(name):
    function = getattr(columns, name)
    assert function.__module__ == "vexlo.columns" and function.__name__ == name
    assert function.__self__ is columns
    assert f"vexlo.{name}" in function.__doc__
    assert pickle.loads(pickle.dumps(function)) is function
    assert name in columns.__all__
    # The text signature made from the declaration: the column first, the
    # options last, None by default.
    parameters = list(inspect.signature(function).parameters.values())
    assert parameters[0].name == "column"
    assert parameters[-1].name == ("threads" if name == "host" else "rules")
    for parameter in parameters[1:]:
        if parameter.name == "depth":
            assert parameter.default is inspect.Parameter.empty
        elif parameter.name in ("threads", "rules", "fields"):
            assert parameter.default is None
        else:
            assert isinstance(parameter.default, bool), parameter


@pytest.mark.parametrize(
    "described",
    [None, ("items", []), ("items", [], None, None), (b"items", [], None), ("rows", [], None)],
    ids=["none", "two", "four", "bytes kind", "unknown kind"],
)
def test_a_column_described_in_no_known_form_is_an_internal_fault(monkeypatch, described):
    monkeypatch.setattr(columns, "_column_source", lambda column, fields: described)
    with pytest.raises(BaseException) as caught:
        columns.host(object())
    assert type(caught.value).__name__ == "PanicException"
    assert str(caught.value) == (
        "vexlo.columns._column_source gave no (kind, source, finish) of a known kind"
    )
