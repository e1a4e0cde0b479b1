"""The module objects: their attributes, signatures, exported symbols and
re-import, and how vexlo._columns finds vexlo._lookup."""

import hashlib
import importlib
import inspect
import shutil
import string
import subprocess
import sys
import textwrap

import pytest
from support import compiled_list_path

from vexlo import _columns

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


@pytest.mark.parametrize("name", ["_lookup", "_columns"])
def test_only_the_init_symbol_is_exported(name):
    module = importlib.import_module(f"vexlo.{name}")
    output = subprocess.run(
        ["nm", "-D", "--defined-only", module.__file__], capture_output=True, text=True, check=True
    ).stdout
    exported = {line.split()[-1] for line in output.splitlines() if line.split()[1] in "TDBRVW"}
    assert exported == {f"PyInit_{name}"}


# The private ones with parameters (_compiled_rules() takes none); vexlo.host
# is declared as the functions of vexlo._lookup.
COLUMNS_FUNCTIONS = [
    name
    for name in _columns.__all__
    if name.startswith("_")
    and inspect.isbuiltin(getattr(_columns, name))
    and inspect.signature(getattr(_columns, name)).parameters
]


@pytest.mark.parametrize("name", COLUMNS_FUNCTIONS)
def test_columns_functions_place_arguments_as_their_signatures_say(name):
    function = getattr(_columns, name)
    parameters = list(inspect.signature(function).parameters.values())
    assert {p.kind for p in parameters} == {inspect.Parameter.POSITIONAL_ONLY}
    names = [p.name for p in parameters]
    listed = ", ".join(f"'{n}'" for n in names[:-1]) + ("," if len(names) > 2 else "")
    listed = f"{listed} and '{names[-1]}'" if len(names) > 1 else f"'{names[0]}'"
    plural = "argument" if len(names) == 1 else "arguments"
    with pytest.raises(TypeError) as caught:
        function()
    assert (
        str(caught.value) == f"{name}() missing {len(names)} required positional {plural}: {listed}"
    )
    with pytest.raises(TypeError) as caught:
        function(*[None] * (len(names) + 1))
    assert str(caught.value) == (
        f"{name}() takes {len(names)} positional arguments but {len(names) + 1} were given"
    )
    with pytest.raises(TypeError) as caught:
        function(**{names[0]: None})
    assert str(caught.value) == (
        f"{name}() got some positional-only arguments passed as keyword arguments: '{names[0]}'"
    )


def test_columns_module_attributes():
    assert _columns.__all__ == [
        "_add_column_functions",
        "_line_format",
        "_answer_lines",
        "_answer_name",
        "_load_rules",
        "_compiled_rules",
        "host",
        "extract",
        "_tldextract_rules",
        "_tldextract_ip_version",
        "_tldextract_suffixes",
        "_TLDExtractBase",
        "Rules",
        "Extracted",
        "_MAX_LIST_BYTES",
    ]
    with pytest.raises(TypeError, match=r"^_compiled_rules\(\) takes 0 positional arguments"):
        _columns._compiled_rules(None)
    assert _columns._answer_lines.__self__ is _columns
    assert _columns._answer_lines.__module__ == "vexlo._columns"


# vexlo._columns copied into a package of its own, beside a sibling _lookup:
# vexlo's own (a copy of the same build) or a Python module of that name.
SIBLING = textwrap.dedent("""
    import sys
    sys.path.insert(0, sys.argv[1])
    try:
        from package import _columns
    except ImportError as error:
        print("ImportError", error)
    else:
        import types
        module = types.ModuleType("answers")
        _columns._add_column_functions(module)
        print("imported", module.privatesuffix(["www.example.co.uk"]))
""")


@pytest.mark.parametrize(
    "sibling, expected",
    [
        ("built", "imported ['example.co.uk']"),
        (
            "python",
            "ImportError package._lookup is not the module built together with package._columns",
        ),
        (None, "ImportError No module named 'package._lookup'"),
    ],
)
def test_columns_takes_the_services_of_its_own_sibling_only(lookup, sibling, expected, tmp_path):
    package = tmp_path / "package"
    package.mkdir()
    (package / "__init__.py").write_text("")
    shutil.copy(_columns.__file__, package)
    if sibling == "built":
        shutil.copy(lookup.__file__, package)
    elif sibling == "python":
        (package / "_lookup.py").write_text("def publicsuffix(domain):\n    return None\n")
    result = subprocess.run(
        [sys.executable, "-c", SIBLING, str(tmp_path)], capture_output=True, text=True
    )
    assert result.stdout.strip() == expected, result.stderr
