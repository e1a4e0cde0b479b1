"""The module object: its attributes, signatures and re-import."""

import hashlib
import importlib
import inspect
import string
import sys

import pytest
from support import compiled_list_path

NAMES = ["publicsuffix", "privatesuffix", "is_public", "is_private", "privateparts", "subdomain"]

SIGNATURES = {
    "publicsuffix": "(domain, *, accept_unknown=True, icann_only=False, keep_case=False)",
    "privatesuffix": "(domain, *, accept_unknown=True, icann_only=False, keep_case=False)",
    "is_public": "(domain, *, accept_unknown=True, icann_only=False)",
    "is_private": "(domain, *, accept_unknown=True, icann_only=False)",
    "privateparts": "(domain, *, accept_unknown=True, icann_only=False, keep_case=False)",
    "subdomain": "(domain, depth, *, accept_unknown=True, icann_only=False, keep_case=False)",
}

DOCS = {
    "publicsuffix": "Return the longest public suffix of *domain*, or None if it has none.",
    "privatesuffix": "Return the private suffix of *domain*: the public suffix plus one label.\n"
    "None if *domain* is entirely public, or invalid.",
    "is_public": "Return whether *domain* is entirely a public suffix.",
    "is_private": "Return whether *domain* is a private suffix or a subdomain of one.",
    "privateparts": "Return a tuple of the subdomain labels of *domain* followed by its private\n"
    "suffix, or None if it has no private suffix.",
    "subdomain": "Return the suffix of *domain* reaching *depth* labels beyond its private\n"
    "suffix, or None if *domain* has too few labels. Depth 0 is the private\n"
    "suffix itself.",
}


def test_module_attributes(lookup):
    assert lookup.__all__ == NAMES + ["LIST_CHECKSUM"]
    assert lookup.__doc__ == ""
    assert lookup.__name__ == "vexlo._lookup"
    checksum = lookup.LIST_CHECKSUM
    assert type(checksum) is str and len(checksum) == 64
    assert set(checksum) <= set(string.hexdigits.lower())


def test_checksum_is_that_of_the_compiled_list(lookup):
    path = compiled_list_path()
    if path is None or not path.is_file():
        pytest.skip("VEXLO_PSL_FILE does not name the list the module was built from")
    assert lookup.LIST_CHECKSUM == hashlib.sha256(path.read_bytes()).hexdigest()


@pytest.mark.parametrize("name", NAMES)
def test_function_objects(lookup, name):
    function = getattr(lookup, name)
    assert function.__name__ == name
    assert function.__text_signature__ == SIGNATURES[name]
    assert function.__doc__ == DOCS[name]
    assert function.__self__ is lookup
    assert function.__module__ == "vexlo._lookup"
    assert str(inspect.signature(function)) == SIGNATURES[name]


def test_parameter_kinds(lookup):
    parameters = inspect.signature(lookup.subdomain).parameters
    kinds = {name: (p.kind, p.default) for name, p in parameters.items()}
    assert kinds == {
        "domain": (inspect.Parameter.POSITIONAL_OR_KEYWORD, inspect.Parameter.empty),
        "depth": (inspect.Parameter.POSITIONAL_OR_KEYWORD, inspect.Parameter.empty),
        "accept_unknown": (inspect.Parameter.KEYWORD_ONLY, True),
        "icann_only": (inspect.Parameter.KEYWORD_ONLY, False),
        "keep_case": (inspect.Parameter.KEYWORD_ONLY, False),
    }


def test_reimport_gives_a_new_module_that_answers_alike(lookup):
    saved = sys.modules.pop("vexlo._lookup")
    try:
        fresh = importlib.import_module("vexlo._lookup")
        assert fresh is not saved
        assert fresh.__all__ == saved.__all__
        assert fresh.is_public.__self__ is fresh
        for name in ("Shop.Example.CO.UK.", "city.kobe.jp", "a.b.c.unknowntld"):
            assert fresh.privateparts(name, keep_case=True) == saved.privateparts(
                name, keep_case=True
            )
            assert fresh.subdomain(name, 1) == saved.subdomain(name, 1)
    finally:
        sys.modules["vexlo._lookup"] = saved


def test_only_the_init_symbol_is_exported(lookup):
    import subprocess

    output = subprocess.run(
        ["nm", "-D", "--defined-only", lookup.__file__], capture_output=True, text=True, check=True
    ).stdout
    exported = {line.split()[-1] for line in output.splitlines() if line.split()[1] in "TDBRVW"}
    assert exported == {"PyInit__lookup"}
