"""The package as users get it: the sdist and the manylinux wheels that
scripts/wheels makes (its dist folder is VEXLO_WHEELS_DIR; without it the
tests make one for this machine's Python), confirmed by auditwheel and
installed into a fresh virtual environment; and pip installing a checkout.
The environments reach the package index."""

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
from support import VENDORED_LIST, vendored_provenance
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
    # The DuckDB extension, in a folder of the platform DuckDB knows the
    # machine by.
    f"duckdb_extension/linux_{machine}/vexlo.duckdb_extension"
    for machine in [{"x86_64": "amd64", "aarch64": "arm64"}[os.uname().machine]]
}
# vexlo.tldextract's modules.
PACKAGE_FILES |= {
    f"tldextract/{name}.py"
    for name in ("__init__", "__main__", "cache", "cli", "suffix_list", "tldextract")
}
LICENSE_FILES = {"LICENSE", "LICENSES/MPL-2.0.txt", "third_party/duckdb/LICENSE"}
ABI = f"cp{sys.version_info.major}{sys.version_info.minor}"
MACHINE = os.uname().machine
# What the wheels promise: glibc 2.17, and the DuckDB extension for their
# processor under the platform name DuckDB knows it by.
MANYLINUX = "manylinux_2_17"
DUCKDB_PLATFORMS = {"x86_64": ["linux_amd64"], "aarch64": ["linux_arm64"]}
ELF_MACHINES = {62: "x86_64", 183: "aarch64"}

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


def suite_env(**extra):
    """The environment of the suite run from a wheel: the list every wheel
    carries."""
    return clean_env(VEXLO_PSL_FILE=str(VENDORED_LIST), **extra)


@pytest.fixture(scope="module")
def dist_dir(tmp_path_factory):
    """The folder of the sdist and wheels: scripts/wheels' output, made here
    for this machine's Python when the suite is not given one."""
    given = os.environ.get("VEXLO_WHEELS_DIR")
    if given:
        return pathlib.Path(given)
    out = tmp_path_factory.mktemp("dist")
    run(
        [REPO / "scripts" / "wheels", f"{ABI}-{MACHINE}"],
        env=clean_env(VEXLO_DIST_DIR=str(out), PYTHON=sys._base_executable),
        timeout=3600,
    )
    return out


@pytest.fixture(scope="module")
def dist(dist_dir):
    """(sdist, the wheel for this interpreter and machine)."""
    return single(dist_dir, "*.tar.gz"), single(dist_dir, f"*-{ABI}-*_{MACHINE}.whl")


def machine_of(wheel_name):
    return "aarch64" if wheel_name.endswith("_aarch64.whl") else "x86_64"


def shipped_wheels():
    """Every wheel of VEXLO_WHEELS_DIR (the one for this machine otherwise)."""
    given = os.environ.get("VEXLO_WHEELS_DIR")
    found = sorted(pathlib.Path(given).glob("*.whl")) if given else []
    return [
        pytest.param(path, id=f"{path.name.split('-')[2]}-{machine_of(path.name)}")
        for path in found
    ] or [pytest.param(None, id=f"{ABI}-{MACHINE}")]


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
        "psl/public_suffix_list.dat",
        "psl/PROVENANCE",
        "cmake/zig-toolchain.cmake",
        "cmake/private_link.cmake",
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
    assert dist[1].name.startswith(f"vexlo-{VERSION}-{ABI}-{ABI}-")
    info = f"vexlo-{VERSION}.dist-info/"
    assert {name for name in wheel_zip.namelist() if not name.endswith("/")} == (
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


@pytest.mark.parametrize("wheel", shipped_wheels())
def test_each_wheel_is_manylinux_2_17_with_the_pinned_list_and_its_duckdb_extension(wheel, dist):
    """auditwheel finds nothing newer than glibc 2.17 and nothing to graft
    (the C++ runtime is linked in); the modules are for the wheel's processor
    and Python, and carry the vendored list."""
    wheel = wheel or dist[1]
    python, abi, platform = wheel.name.removesuffix(".whl").split("-")[2:]
    machine = machine_of(wheel.name)
    assert f"{MANYLINUX}_{machine}" in platform.split(".") and python == abi
    tools = pathlib.Path(sys.executable).parent
    shown = run([tools / "auditwheel", "show", wheel]).stdout
    assert f'platform tag: "{MANYLINUX}_{machine}"' in " ".join(shown.split())
    soabi = f"cpython-{python.removeprefix('cp')}-{machine}-linux-gnu"
    provenance = vendored_provenance()
    with zipfile.ZipFile(wheel) as archive:
        names = set(archive.namelist())
        assert not [name for name in names if ".libs/" in name]
        assert {f"vexlo/_lookup.{soabi}.so", f"vexlo/_columns.{soabi}.so"} <= names
        lookup = archive.read(f"vexlo/_lookup.{soabi}.so")
        extensions = sorted(
            name.split("/")[2] for name in names if name.endswith("vexlo.duckdb_extension")
        )
        extension = archive.read(f"vexlo/duckdb_extension/{extensions[0]}/vexlo.duckdb_extension")
    assert extensions == DUCKDB_PLATFORMS[machine]
    for binary in (lookup, extension):
        assert ELF_MACHINES[int.from_bytes(binary[18:20], "little")] == machine
    assert provenance["sha256"].encode() + b"\0" in lookup
    assert f"{provenance['date']}, commit {provenance['commit'][:8]}\0".encode() in lookup


@pytest.mark.skipif(
    bool(os.environ.get("VEXLO_SUITE_FROM_WHEEL")),
    reason="this run of the suite is the one from the installed wheel",
)
def test_the_wheel_passes_the_suite_installed(dist, tmp_path):
    """The Python tests, run from outside the checkout against the package
    installed from the wheel."""
    venv = Venv(tmp_path / "venv")
    venv.pip("install", dist[1], "--group", "test", cwd=REPO)
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
    print(json.dumps([vexlo.LIST_CHECKSUM, vexlo.compiled_rules().version,
                      vexlo.privatesuffix("a.b.shops.co.uk"), vexlo.privatesuffix("x.github.io")]))
"""


@pytest.fixture(scope="module")
def checkout_build(tmp_path_factory):
    """One build folder for the installs of the checkout, each after the first
    rebuilding only what its list changes: VEXLO_PACKAGING_BUILD_DIR, kept
    between runs, or a new one."""
    given = os.environ.get("VEXLO_PACKAGING_BUILD_DIR")
    return pathlib.Path(given) if given else tmp_path_factory.mktemp("checkout-build")


def test_pip_install_of_a_checkout_compiles_the_chosen_list(tmp_path, checkout_build):
    """VEXLO_PSL_FILE chooses the list; a CMake define given to pip wins over
    it. A list other than the vendored one is a custom list. The installed
    command answers from the venv."""
    first, second = tmp_path / "first.dat", tmp_path / "second.dat"
    first.write_text(TINY_LIST.format(private="shops.co.uk"))
    second.write_text(TINY_LIST.format(private="github.io"))
    venv = Venv(tmp_path / "venv")
    build = f"-Cbuild-dir={checkout_build}"
    venv.pip("install", build, REPO, env=clean_env(VEXLO_PSL_FILE=str(first)))
    answers = json.loads(venv.python_output(ANSWERS, cwd=tmp_path))
    custom = f"custom list, SHA-256 {list_checksum(first)}"
    assert answers == [list_checksum(first), custom, "b.shops.co.uk", "github.io"]

    venv.pip(
        "install",
        "--force-reinstall",
        "--no-deps",
        build,
        *list_args(second),
        REPO,
        env=clean_env(VEXLO_PSL_FILE=str(first)),
    )
    answers = json.loads(venv.python_output(ANSWERS, cwd=tmp_path))
    custom = f"custom list, SHA-256 {list_checksum(second)}"
    assert answers == [list_checksum(second), custom, "shops.co.uk", "x.github.io"]

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


def test_editable_install_uses_the_checkouts_python_sources(tmp_path, checkout_build):
    """...and compiles the vendored list when no list is named."""
    venv = Venv(tmp_path / "venv")
    venv.pip("install", f"-Cbuild-dir={checkout_build}", "-e", REPO, env=clean_env())
    code = """if True:
        import json, vexlo, vexlo._lookup
        print(json.dumps([vexlo.__file__, vexlo._lookup.__file__, vexlo.LIST_CHECKSUM,
                          vexlo.privateparts("Shop.Example.CO.UK.", keep_case=True)]))
    """
    package, module, checksum, parts = json.loads(venv.python_output(code, cwd=tmp_path))
    assert pathlib.Path(package) == REPO / "vexlo" / "__init__.py"
    assert pathlib.Path(module).is_relative_to(venv.path)
    assert checksum == vendored_provenance()["sha256"]
    assert parts == ["Shop", "Example.CO.UK"]
