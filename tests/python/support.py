"""Helpers shared by the module tests."""

import importlib.util
import os
import pathlib
import subprocess
import sys

REPO = pathlib.Path(__file__).resolve().parents[2]
SHARED = pathlib.Path(os.environ.get("VEXLO_SHARED_DIR", REPO.parent / "shared"))
# Debian's list (package publicsuffix): a second real list, older than the
# pinned one.
DEBIAN_LIST = pathlib.Path("/usr/share/publicsuffix/public_suffix_list.dat")
# The list every build compiles unless VEXLO_PSL_FILE names another.
VENDORED_LIST = REPO / "psl" / "public_suffix_list.dat"

# The six questions, in the order the module lists them.
FUNCTIONS = (
    "publicsuffix",
    "privatesuffix",
    "is_public",
    "is_private",
    "privateparts",
    "subdomain",
)


def compiled_list_path():
    """The list file the module under test was built from: the one the build
    scripts pass on, else the list vendored in psl/ (the build's default)."""
    path = os.environ.get("VEXLO_PSL_FILE")
    return pathlib.Path(path) if path else VENDORED_LIST


def vendored_provenance():
    """psl/PROVENANCE's keys and values."""
    lines = VENDORED_LIST.with_name("PROVENANCE").read_text(encoding="utf-8").splitlines()
    return dict(line.split(": ", 1) for line in lines if line and not line.startswith("#"))


def package_root():
    """The folder holding the vexlo package these tests import: the checkout,
    or the sanitized build's own package folder."""
    found = importlib.util.find_spec("vexlo")
    return pathlib.Path(found.origin).parents[1] if found and found.origin else REPO


def run_python(code, *, env=None, timeout=300):
    """Runs `code` in a fresh interpreter that imports the same vexlo as the
    tests do."""
    full_env = dict(os.environ)
    full_env["PYTHONPATH"] = os.pathsep.join(
        filter(None, [str(package_root()), full_env.get("PYTHONPATH")])
    )
    full_env.update(env or {})
    return subprocess.run(
        [sys.executable, "-c", code], capture_output=True, text=True, env=full_env, timeout=timeout
    )
