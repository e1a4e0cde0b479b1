"""The package as a user gets it: a wheel built by pip from this checkout
without a package index, installed into a fresh virtual environment and used
from there; and the source distribution, which must build on its own."""

import base64
import csv
import email.parser
import hashlib
import io
import json
import os
import pathlib
import sys
import sysconfig
import tarfile
import zipfile

import pytest

from support import REPO
from venv_support import Venv, build_sdist, clean_env, run

VERSION = (REPO / "vexlo" / "_version.py").read_text().split('"')[1]
DEFAULT_LIST = pathlib.Path("/usr/share/publicsuffix/public_suffix_list.dat")
PACKAGE_FILES = {"__init__.py", "__main__.py", "_version.py", "cli.py", "_lookup.pyi", "py.typed",
                 "_lookup" + sysconfig.get_config_var("EXT_SUFFIX"),
                 "_columns" + sysconfig.get_config_var("EXT_SUFFIX")}


def expected_tag():
    abi = f"cp{sys.version_info.major}{sys.version_info.minor}"
    if sysconfig.get_config_var("Py_GIL_DISABLED"):
        abi += "t"
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"cp{sys.version_info.major}{sys.version_info.minor}-{abi}-{platform}"


def list_checksum(path):
    return hashlib.sha256(pathlib.Path(path).read_bytes()).hexdigest()


@pytest.fixture(scope="module")
def installed(tmp_path_factory):
    """(venv, wheel path): one wheel built from the checkout, installed into a
    fresh venv. The list is the one the build scripts chose (VEXLO_PSL_FILE),
    else CMake's default."""
    base = tmp_path_factory.mktemp("installed")
    venv = Venv(base / "venv")
    wheel = venv.build_wheel(REPO, base / "dist")
    venv.pip("install", "--no-index", wheel)
    return venv, wheel


@pytest.fixture(scope="module")
def wheel_zip(installed):
    with zipfile.ZipFile(installed[1]) as archive:
        yield archive


def dist_info(wheel_zip, name):
    return wheel_zip.read(f"vexlo-{VERSION}.dist-info/{name}").decode("utf-8")


def test_wheel_name_carries_the_interpreters_tag(installed):
    assert installed[1].name == f"vexlo-{VERSION}-{expected_tag()}.whl"


def test_wheel_holds_the_package_and_its_metadata(wheel_zip):
    names = set(wheel_zip.namelist())
    info = f"vexlo-{VERSION}.dist-info/"
    assert names == ({f"vexlo/{name}" for name in PACKAGE_FILES}
                     | {info + name for name in ("METADATA", "WHEEL", "RECORD", "entry_points.txt")})


def test_record_lists_every_file_with_its_hash_and_size(wheel_zip):
    record_name = f"vexlo-{VERSION}.dist-info/RECORD"
    entries = list(csv.reader(io.StringIO(dist_info(wheel_zip, "RECORD"))))
    assert sorted(row[0] for row in entries) == sorted(wheel_zip.namelist())
    for name, digest, size in entries:
        if name == record_name:
            assert (digest, size) == ("", "")
            continue
        data = wheel_zip.read(name)
        algorithm, _, encoded = digest.partition("=")
        assert algorithm == "sha256" and "=" not in encoded, name
        assert base64.urlsafe_b64decode(encoded + "=" * (-len(encoded) % 4)) == \
            hashlib.sha256(data).digest(), name
        assert int(size) == len(data), name


def test_metadata(wheel_zip):
    metadata = email.parser.Parser().parsestr(dist_info(wheel_zip, "METADATA"))
    assert float(metadata["Metadata-Version"]) >= 2.1
    assert (metadata["Name"], metadata["Version"]) == ("vexlo", VERSION)
    assert metadata["Requires-Python"] == ">=3.13"
    assert metadata["Summary"] and metadata["License"]
    assert metadata["Description-Content-Type"].startswith("text/markdown")
    assert metadata.get_payload() == (REPO / "README.md").read_text(encoding="utf-8")

    wheel = email.parser.Parser().parsestr(dist_info(wheel_zip, "WHEEL"))
    assert wheel["Wheel-Version"] == "1.0"
    assert wheel["Root-Is-Purelib"] == "false"
    assert wheel.get_all("Tag") == [expected_tag()]
    assert "vexlo = vexlo.cli:main" in dist_info(wheel_zip, "entry_points.txt").splitlines()


def test_installed_package_works_outside_the_source_tree(installed, tmp_path):
    venv, _ = installed
    code = """if True:
        import importlib.metadata, json, pathlib, vexlo
        folder = pathlib.Path(vexlo.__file__).parent
        print(json.dumps({
            "file": vexlo.__file__,
            "version": vexlo.__version__,
            "dist_version": importlib.metadata.version("vexlo"),
            "checksum": vexlo.LIST_CHECKSUM,
            "parts": vexlo.privateparts("Shop.Example.CO.UK.", keep_case=True),
            "typed": sorted(p.name for p in folder.iterdir() if p.suffix in (".typed", ".pyi")),
        }))
    """
    found = json.loads(run([venv.python, "-c", code], cwd=tmp_path).stdout)
    assert pathlib.Path(found["file"]).is_relative_to(venv.path)
    assert found["version"] == found["dist_version"] == VERSION
    assert found["parts"] == ["Shop", "Example.CO.UK"]
    assert found["typed"] == ["_lookup.pyi", "py.typed"]
    compiled = os.environ.get("VEXLO_PSL_FILE") or DEFAULT_LIST
    assert found["checksum"] == list_checksum(compiled)


def test_console_script_reads_piped_names(installed, tmp_path):
    venv, _ = installed
    result = run(["bash", "-c", "printf 'www.example.co.uk\\nalice.github.io\\n' | vexlo --json"],
                 cwd=tmp_path, env=clean_env(PATH=f"{venv.bin}{os.pathsep}{os.environ['PATH']}"))
    assert [json.loads(line) for line in result.stdout.splitlines()] == [
        {"name": "www.example.co.uk", "publicsuffix": "co.uk", "privatesuffix": "example.co.uk"},
        {"name": "alice.github.io", "publicsuffix": "github.io", "privatesuffix": "alice.github.io"},
    ]
    version = run([venv.bin / "vexlo", "--version"], cwd=tmp_path).stdout
    assert version.startswith(f"vexlo {VERSION} (list checksum ")


TINY_LIST = """\
// ===BEGIN ICANN DOMAINS===
uk
co.uk
// ===END ICANN DOMAINS===
// ===BEGIN PRIVATE DOMAINS===
shops.co.uk
// ===END PRIVATE DOMAINS===
"""


@pytest.fixture(scope="module")
def sdist(tmp_path_factory):
    return build_sdist(tmp_path_factory.mktemp("sdist"))


def test_sdist_holds_the_sources_and_no_build_products(sdist):
    top = f"vexlo-{VERSION}"
    with tarfile.open(sdist) as archive:
        members = archive.getmembers()
        names = {member.name for member in members}
        pkg_info = archive.extractfile(f"{top}/PKG-INFO").read().decode("utf-8")
    assert sdist.name == f"{top}.tar.gz"
    assert all(member.isfile() for member in members)
    assert all(name.startswith(f"{top}/") and ".." not in name.split("/") for name in names)
    relative = {name[len(top) + 1:] for name in names}
    for needed in ("pyproject.toml", "CMakeLists.txt", "README.md", "PKG-INFO",
                   "pep517_backend/vexlo_build/__init__.py", "tools/gen_rule_tables.py",
                   "tools/gen_case_tables.py", "src/module/CMakeLists.txt",
                   "src/normalize/case_tables.cpp", "vexlo/__init__.py", "vexlo/_lookup.pyi",
                   "vexlo/py.typed", "vexlo/cli.py", "tests/python/test_cli.py"):
        assert needed in relative
    assert not [name for name in relative
                if name.endswith((".so", ".pyc")) or name.startswith(("build", "dist/", ".git/"))
                or "__pycache__" in name]
    assert "Name: vexlo" in pkg_info and f"Version: {VERSION}" in pkg_info


def test_wheel_from_the_sdist_with_another_list(installed, sdist, tmp_path):
    """The unpacked sdist builds on its own, and the list chosen with
    --config-settings is the one compiled in."""
    venv, _ = installed
    with tarfile.open(sdist) as archive:
        archive.extractall(tmp_path / "src", filter="data")
    tiny = tmp_path / "tiny_list.dat"
    tiny.write_text(TINY_LIST)
    wheel = venv.build_wheel(tmp_path / "src" / f"vexlo-{VERSION}", tmp_path / "dist",
                             "--config-settings", f"psl-file={tiny}",
                             env=clean_env(VEXLO_PSL_FILE="/nonexistent/list/loses/to/the/setting"))
    with zipfile.ZipFile(wheel) as archive:
        archive.extractall(tmp_path / "unpacked")
    code = ("import vexlo; print(vexlo.LIST_CHECKSUM); "
            "print(vexlo.privatesuffix('a.b.shops.co.uk'), vexlo.privatesuffix('x.github.io'))")
    out = run([sys.executable, "-c", code], cwd=tmp_path,
              env=clean_env(PYTHONPATH=str(tmp_path / "unpacked"))).stdout.split()
    assert out == [list_checksum(tiny), "b.shops.co.uk", "github.io"]
