"""How calls are checked: placement of arguments, types, conversions and the
notes that say which parameter failed."""

import pytest
from support import FUNCTIONS

WITH_KEEP_CASE = ("publicsuffix", "privatesuffix", "privateparts", "subdomain")


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        if isinstance(self.value, BaseException):
            # A new exception each time: calls from several threads at once
            # would otherwise all add their notes to one object.
            raise type(self.value)(*self.value.args)
        return self.value


# (function, args, kwargs) -> (exception type, message, notes)
ERRORS = [
    (
        "is_public",
        ("example.com", True),
        {},
        TypeError,
        "is_public() takes 1 positional arguments but 2 were given",
        None,
    ),
    (
        "is_public",
        ("example.com", True),
        {"bogus": 1},
        TypeError,
        "is_public() takes 1 positional arguments but 2 were given",
        None,
    ),
    (
        "subdomain",
        ("a", 1, 2),
        {},
        TypeError,
        "subdomain() takes 2 positional arguments but 3 were given",
        None,
    ),
    (
        "is_public",
        ("example.com",),
        {"keep_case": True},
        TypeError,
        "is_public() got an unexpected keyword argument 'keep_case'",
        None,
    ),
    (
        "is_public",
        ("example.com",),
        {"domain": "x"},
        TypeError,
        "is_public() got multiple values for argument 'domain'",
        None,
    ),
    (
        "subdomain",
        ("example.com", 1),
        {"depth": 1},
        TypeError,
        "subdomain() got multiple values for argument 'depth'",
        None,
    ),
    (
        "subdomain",
        ("example.com",),
        {},
        TypeError,
        "subdomain() missing 1 required positional argument: 'depth'",
        None,
    ),
    (
        "subdomain",
        (),
        {},
        TypeError,
        "subdomain() missing 2 required positional arguments: 'domain' and 'depth'",
        None,
    ),
    (
        "subdomain",
        (),
        {"depth": 0},
        TypeError,
        "subdomain() missing 1 required positional argument: 'domain'",
        None,
    ),
    (
        "is_public",
        (),
        {},
        TypeError,
        "is_public() missing 1 required positional argument: 'domain'",
        None,
    ),
    (
        "is_public",
        (5,),
        {"nope": True},
        TypeError,
        "is_public() got an unexpected keyword argument 'nope'",
        None,
    ),
    (
        "is_public",
        (5,),
        {},
        TypeError,
        "'int' object is not an instance of 'str'",
        ["while processing 'domain'"],
    ),
    (
        "is_public",
        (None,),
        {},
        TypeError,
        "'None' is not an instance of 'str'",
        ["while processing 'domain'"],
    ),
    (
        "privatesuffix",
        (b"example.com",),
        {},
        TypeError,
        "'bytes' object is not an instance of 'str'",
        ["while processing 'domain'"],
    ),
    (
        "is_public",
        (5,),
        {"accept_unknown": 1},
        TypeError,
        "'int' object is not an instance of 'str'",
        ["while processing 'domain'"],
    ),
    (
        "is_public",
        ("a.com",),
        {"accept_unknown": 1},
        TypeError,
        "'int' object is not an instance of 'bool'",
        ["while processing 'accept_unknown'"],
    ),
    (
        "is_public",
        ("a.com",),
        {"accept_unknown": 0},
        TypeError,
        "'int' object is not an instance of 'bool'",
        ["while processing 'accept_unknown'"],
    ),
    (
        "is_public",
        ("a.com",),
        {"accept_unknown": None},
        TypeError,
        "'None' is not an instance of 'bool'",
        ["while processing 'accept_unknown'"],
    ),
    (
        "publicsuffix",
        ("a.com",),
        {"icann_only": "yes"},
        TypeError,
        "'str' object is not an instance of 'bool'",
        ["while processing 'icann_only'"],
    ),
    (
        "publicsuffix",
        ("a.com",),
        {"keep_case": []},
        TypeError,
        "'list' object is not an instance of 'bool'",
        ["while processing 'keep_case'"],
    ),
    ("subdomain", ("a.com", -1), {}, OverflowError, None, ["while processing 'depth'"]),
    ("subdomain", ("a.com", 2**64), {}, OverflowError, None, ["while processing 'depth'"]),
    ("subdomain", ("a.com", 1.0), {}, TypeError, None, ["while processing 'depth'"]),
    ("subdomain", ("a.com", "1"), {}, TypeError, None, ["while processing 'depth'"]),
    ("subdomain", ("a.com", None), {}, TypeError, None, ["while processing 'depth'"]),
    (
        "subdomain",
        ("a.com", Index(ValueError("no index"))),
        {"keep_case": 1},
        ValueError,
        "no index",
        ["while processing 'depth'"],
    ),
    ("subdomain", ("a.com", Index(-5)), {}, OverflowError, None, ["while processing 'depth'"]),
]


@pytest.mark.parametrize("function,args,kwargs,error,message,notes", ERRORS)
def test_refused_calls(lookup, function, args, kwargs, error, message, notes):
    with pytest.raises(error) as caught:
        getattr(lookup, function)(*args, **kwargs)
    assert type(caught.value) is error
    if message is not None:
        assert str(caught.value) == message
    assert getattr(caught.value, "__notes__", None) == notes


def test_lone_surrogate_domain(lookup):
    with pytest.raises(UnicodeEncodeError) as caught:
        lookup.publicsuffix("\ud800")
    assert caught.value.__notes__ == ["while processing 'domain'"]


def test_keyword_that_cannot_be_encoded(lookup):
    with pytest.raises(TypeError, match="unexpected keyword argument") as caught:
        lookup.is_public("a.com", **{"\udc80": True})
    assert "__notes__" not in dir(caught.value)


@pytest.mark.parametrize("function", FUNCTIONS)
def test_every_function_checks_its_switches(lookup, function):
    positional = ("a.example.com", 0) if function == "subdomain" else ("a.example.com",)
    switches = ["accept_unknown", "icann_only"] + (
        ["keep_case"] if function in WITH_KEEP_CASE else []
    )
    for switch in switches:
        with pytest.raises(TypeError) as caught:
            getattr(lookup, function)(*positional, **{switch: 1})
        assert caught.value.__notes__ == [f"while processing '{switch}'"]
    if function not in WITH_KEEP_CASE:
        with pytest.raises(
            TypeError, match=f"^{function}\\(\\) got an unexpected keyword argument 'keep_case'$"
        ):
            getattr(lookup, function)(*positional, keep_case=False)


def test_accepted_forms(lookup):
    class Text(str):
        pass

    assert lookup.is_public(domain="co.uk") is True
    assert lookup.privatesuffix(Text("www.example.co.uk")) == "example.co.uk"
    assert lookup.subdomain(domain="a.b.example.com", depth=1) == "b.example.com"
    assert lookup.subdomain("a.b.example.com", True) == "b.example.com"
    assert lookup.subdomain("a.b.example.com", Index(2)) == "a.b.example.com"
    assert lookup.subdomain("a.b.example.com", 0) == "example.com"
    assert lookup.subdomain("a.b.example.com", 2**64 - 1) is None
    assert (
        lookup.publicsuffix("x.unknowntld", accept_unknown=False, icann_only=True, keep_case=True)
        is None
    )


def test_conversions_stop_at_the_first_failure(lookup):
    calls = []

    class Recording:
        def __index__(self):
            calls.append("depth")
            return 0

    with pytest.raises(TypeError) as caught:
        lookup.subdomain(5, Recording(), accept_unknown=1)
    assert caught.value.__notes__ == ["while processing 'domain'"]
    assert calls == []
    with pytest.raises(TypeError) as caught:
        lookup.subdomain("a.com", Recording(), accept_unknown=1)
    assert calls == ["depth"]
    assert caught.value.__notes__ == ["while processing 'accept_unknown'"]


def numpy_bool_type(name, bool_method):
    """A stand-in for NumPy's boolean scalar type, as the module sees it."""
    namespace = {"__module__": "numpy"}
    if bool_method is not None:
        namespace["__bool__"] = bool_method
    return type(name, (), namespace)


def raise_value_error(self):
    raise ValueError("no truth")


@pytest.mark.parametrize("name", ["bool", "bool_"])
def test_numpy_booleans(lookup, name):
    true = numpy_bool_type(name, lambda self: True)()
    false = numpy_bool_type(name, lambda self: False)()
    assert lookup.is_public("example.unknowntld", accept_unknown=false) is False
    assert lookup.publicsuffix("example.unknowntld", accept_unknown=true) == "unknowntld"
    assert lookup.publicsuffix("Example.COM", keep_case=true) == "COM"

    with pytest.raises(TypeError) as caught:
        lookup.is_public("a.com", icann_only=numpy_bool_type(name, None)())
    assert (
        str(caught.value)
        == f"object of type '<class 'numpy.{name}'>' does not define a '__bool__' conversion"
    )
    assert caught.value.__notes__ == ["while processing 'icann_only'"]

    with pytest.raises(ValueError, match="no truth") as caught:
        lookup.is_public("a.com", icann_only=numpy_bool_type(name, raise_value_error)())
    assert caught.value.__notes__ == ["while processing 'icann_only'"]


@pytest.mark.parametrize(
    "module,name", [("numpy", "int_"), ("numpi", "bool"), ("builtins", "bool_")]
)
def test_lookalike_types_are_not_numpy_booleans(lookup, module, name):
    impostor = type(name, (), {"__module__": module, "__bool__": lambda self: True})()
    with pytest.raises(TypeError, match="is not an instance of 'bool'"):
        lookup.is_public("a.com", icann_only=impostor)


def test_qualified_type_name_in_message(lookup):
    class Outer:
        class Inner:
            pass

    with pytest.raises(TypeError) as caught:
        lookup.is_public(Outer.Inner())
    assert (
        str(caught.value)
        == "'test_qualified_type_name_in_message.<locals>.Outer.Inner' object is not an instance of 'str'"
    )


def test_real_numpy_scalars(lookup):
    """NumPy's own boolean scalars are switches, and its integers (which have
    __index__) are depths; its other numbers and arrays are refused."""
    np = pytest.importorskip("numpy")
    assert lookup.is_public("example.unknowntld", accept_unknown=np.bool_(False)) is False
    assert lookup.publicsuffix("Example.COM", keep_case=np.True_) == "COM"
    assert lookup.privatesuffix("a.github.io", icann_only=np.bool_(True)) == "github.io"
    for integer in (np.int8, np.int64, np.uint64, np.intp):
        assert lookup.subdomain("a.b.example.com", integer(1)) == "b.example.com"
    assert lookup.subdomain("a.b.example.com", np.uint64(2**64 - 1)) is None
    for depth, error in ((np.int64(-1), OverflowError), (np.float64(1.0), TypeError)):
        with pytest.raises(error) as caught:
            lookup.subdomain("a.b.example.com", depth)
        assert caught.value.__notes__ == ["while processing 'depth'"]
    for switch in (np.int64(1), np.array([True]), np.float64(0.0)):
        with pytest.raises(TypeError, match="is not an instance of 'bool'") as caught:
            lookup.is_public("a.com", icann_only=switch)
        assert caught.value.__notes__ == ["while processing 'icann_only'"]
