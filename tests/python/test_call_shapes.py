"""The common call (every positional argument by position, no keyword, an
ASCII str as the domain) takes a short way through argument extraction;
every other shape of the same call must give the same answer, and the same
error."""

import sys

import pytest
from support import FUNCTIONS

SWITCHES = {"accept_unknown": True, "icann_only": False}
WITH_KEEP_CASE = ("publicsuffix", "privatesuffix", "privateparts", "subdomain")

NAMES = [
    "Shop.Example.CO.UK.",
    "a.b.example.co.uk",
    "co.uk",
    "example.unknowntld",
    "a.b.c",
    "x.a.github.io",
    "b.a.city.kobe.jp",
    "公司.cn",
    "xn--55qx5d.cn",
    "Ünï.Example.de",
    "a",
    "",
    ".",
    "a..b",
    "example.com..",
    "a\x00b.com",
    "İx.example.co.uk",
]
# Short ASCII names are lowercased on the stack up to 64 bytes (less one
# trailing dot) and in blocks of 16 or words of 8 and 4 below that: every
# length around those edges, with the dots near both ends.
NAMES += [
    ("X" * (length - 6) + ".CO.UK" + dot)[-length - len(dot) :]
    for length in (1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65)
    for dot in ("", ".")
]
NAMES += ["a" * 61 + ".uk", "a" * 62 + ".uk", "a" * 62 + ".uk.", ".a" * 32, "a." * 32]


class Text(str):
    pass


def shapes(name, depth):
    """(args, kwargs) pairs that all ask the same question."""
    head = (name,) if depth is None else (name, depth)
    extra = {} if depth is None else {"depth": depth}
    yield head, {}
    yield (Text(name),) + head[1:], {}
    yield (), {"domain": name, **extra}
    yield head[:1], {**extra, **SWITCHES}


@pytest.mark.parametrize("function", FUNCTIONS)
@pytest.mark.parametrize("name", NAMES)
def test_every_shape_gives_the_same_answer(lookup, function, name):
    depth = 1 if function == "subdomain" else None
    answers = [getattr(lookup, function)(*args, **kwargs) for args, kwargs in shapes(name, depth)]
    assert all(answer == answers[0] for answer in answers), answers
    if function in WITH_KEEP_CASE:
        assert (
            getattr(lookup, function)(
                *((name,) if depth is None else (name, depth)), keep_case=False
            )
            == answers[0]
        )


@pytest.mark.parametrize(
    "depth, error",
    [(-1, OverflowError), (2**64, OverflowError), (1.0, TypeError), ("1", TypeError)],
)
def test_depth_errors_are_the_same_by_position_and_by_keyword(lookup, depth, error):
    caught = []
    for call in (
        lambda: lookup.subdomain("a.example.com", depth),
        lambda: lookup.subdomain("a.example.com", depth=depth),
        lambda: lookup.subdomain(Text("a.example.com"), depth),
    ):
        with pytest.raises(error) as info:
            call()
        caught.append((str(info.value), getattr(info.value, "__notes__", None)))
    assert caught[0] == caught[1] == caught[2]
    assert caught[0][1] == ["while processing 'depth'"]


# Results cut from an ASCII domain are made without the UTF-8 decoder; they
# must be the same objects in every respect as those the decoder makes.
@pytest.mark.parametrize("function", ["publicsuffix", "privatesuffix", "privateparts"])
@pytest.mark.parametrize("keep_case", [False, True])
def test_ascii_results_match_decoded_ones(lookup, function, keep_case):
    from_ascii = _items(getattr(lookup, function)("Shop.Example.CO.UK", keep_case=keep_case))
    from_other = _items(getattr(lookup, function)("Shöp.Example.CO.UK", keep_case=keep_case))
    compared = 0
    for fast, decoded in zip(from_ascii, from_other):
        if decoded.isascii():
            assert fast == decoded and type(fast) is str
            assert sys.getsizeof(fast) == sys.getsizeof(decoded)
            compared += 1
    assert compared >= 1


def _items(result):
    return result if isinstance(result, tuple) else (result,)


def test_single_character_results_are_the_interpreters_own(lookup):
    # The interpreter shares its one-character strings; results keep doing so.
    parts = lookup.privateparts("a.b.example.co.uk")
    assert parts[0] is chr(97) and parts[1] is chr(98)
