"""The type stubs shipped with the package against the built module: every
function's parameters, their kinds and defaults, and its docstring."""

import ast
import inspect

import pytest
from support import REPO, run_python

from vexlo import _columns

STUB = ast.parse((REPO / "vexlo" / "_lookup.pyi").read_text(encoding="utf-8"))
STUB_FUNCTIONS = {node.name: node for node in STUB.body if isinstance(node, ast.FunctionDef)}
STUB_NAMES = {
    target.id
    for node in STUB.body
    for target in (
        node.targets if isinstance(node, ast.Assign) else [getattr(node, "target", None)]
    )
    if isinstance(target, ast.Name)
}

SWITCH_ANNOTATION = "bool"


def stub_parameters(node):
    """(name, kind, default or empty, annotation text) for each parameter."""
    args = node.args
    positional = args.posonlyargs + args.args
    defaults = [inspect.Parameter.empty] * (len(positional) - len(args.defaults))
    defaults += [ast.literal_eval(d) for d in args.defaults]
    kw_defaults = [
        inspect.Parameter.empty if d is None else ast.literal_eval(d) for d in args.kw_defaults
    ]
    kinds = [inspect.Parameter.POSITIONAL_ONLY] * len(args.posonlyargs) + [
        inspect.Parameter.POSITIONAL_OR_KEYWORD
    ] * len(args.args)
    result = [
        (a.arg, kind, default, ast.unparse(a.annotation))
        for a, kind, default in zip(positional, kinds, defaults)
    ]
    result += [
        (a.arg, inspect.Parameter.KEYWORD_ONLY, default, ast.unparse(a.annotation))
        for a, default in zip(args.kwonlyargs, kw_defaults)
    ]
    assert args.vararg is None and args.kwarg is None
    return result


def test_stub_names_match_module(lookup):
    assert set(STUB_FUNCTIONS) | {"LIST_CHECKSUM"} == set(lookup.__all__)
    assert "LIST_CHECKSUM" in STUB_NAMES and "__all__" in STUB_NAMES


@pytest.mark.parametrize("name", sorted(STUB_FUNCTIONS))
def test_stub_signature(lookup, name):
    built = inspect.signature(getattr(lookup, name))
    expected = [(p.name, p.kind, p.default) for p in built.parameters.values()]
    stub = stub_parameters(STUB_FUNCTIONS[name])
    assert [(n, kind, default) for n, kind, default, _ in stub] == expected
    for param, _kind, default, annotation in stub:
        if isinstance(default, bool):
            assert annotation == SWITCH_ANNOTATION, param
    assert dict((n, a) for n, _, _, a in stub).get("domain") == "str"


@pytest.mark.parametrize("name", sorted(STUB_FUNCTIONS))
def test_stub_docstring(lookup, name):
    assert ast.get_docstring(STUB_FUNCTIONS[name]) == getattr(lookup, name).__doc__


@pytest.mark.parametrize(
    ("name", "annotations"),
    [("host", ["str", SWITCH_ANNOTATION]), ("extract", ["str", *[SWITCH_ANNOTATION] * 3])],
)
def test_text_function_stubs(name, annotations):
    """vexlo.host's and vexlo.extract's stubs, in the column module's stubs,
    as the six's are."""
    stub = ast.parse((REPO / "vexlo" / "_columns.pyi").read_text(encoding="utf-8"))
    node = next(n for n in stub.body if isinstance(n, ast.FunctionDef) and n.name == name)
    built = inspect.signature(getattr(_columns, name))
    assert [(n, kind, default) for n, kind, default, _ in stub_parameters(node)] == [
        (p.name, p.kind, p.default) for p in built.parameters.values()
    ]
    assert [a for _, _, _, a in stub_parameters(node)] == annotations
    assert ast.get_docstring(node) == getattr(_columns, name).__doc__


def test_package_reexports_the_modules(lookup):
    import vexlo
    import vexlo._version

    assert vexlo.__all__ == [
        *lookup.__all__[:-1],
        "host",
        "extract",
        "Extracted",
        lookup.__all__[-1],
        "Rules",
        "load_rules",
        "compiled_rules",
    ]
    for name in lookup.__all__:
        assert getattr(vexlo, name) is getattr(lookup, name)
    assert vexlo.Rules is _columns.Rules
    assert vexlo.host is _columns.host
    assert vexlo.extract is _columns.extract
    assert vexlo.Extracted is _columns.Extracted
    assert vexlo.__version__ == vexlo._version.__version__
    assert (REPO / "vexlo" / "py.typed").is_file()


SUBMODULES = ["columns", "duckdb", "tldextract"]


def test_dir_lists_every_public_name_and_loads_nothing_more():
    # What the interpreter loaded before (a .pth file of site-packages may
    # import typing) is not vexlo's doing.
    code = (
        "import sys\n"
        "before = set(sys.modules)\n"
        "import vexlo\n"
        "print([n for n in dir(vexlo) if not n.startswith('_')])\n"
        "added = set(sys.modules) - before\n"
        "print(sorted(added & {'typing', 'vexlo._columns', 'vexlo.rules', 'vexlo.columns',"
        " 'vexlo.tldextract'}))\n"
    )
    result = run_python(code)
    assert result.returncode == 0, result.stderr
    import vexlo

    names = sorted(vexlo.__all__ + SUBMODULES)
    assert result.stdout.splitlines() == [str(names), "[]"]


@pytest.mark.parametrize("name", SUBMODULES)
def test_submodules_are_attributes_on_first_use(name):
    code = f"import vexlo\nprint(vexlo.{name} is __import__('sys').modules['vexlo.{name}'])\n"
    result = run_python(code)
    if "No module named 'duckdb'" in result.stderr:
        pytest.skip("the duckdb package is not installed")
    assert result.returncode == 0, result.stderr
    assert result.stdout.splitlines() == ["True"]
