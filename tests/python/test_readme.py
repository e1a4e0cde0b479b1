"""The README's examples, run: its Python sessions as doctests and its
command-line sessions as shell commands whose output must match."""

import doctest
import importlib
import os
import re
import stat
import subprocess
import sys

import pytest
from support import REPO, package_root

README = (REPO / "README.md").read_text(encoding="utf-8")
BLOCKS = re.compile(r"^```(\w+)\n(.*?)^```$", re.MULTILINE | re.DOTALL)


def blocks(language):
    return [body for lang, body in BLOCKS.findall(README) if lang == language]


def shell_sessions():
    """(command, expected output) for each `$ ` line of the console blocks."""
    sessions = []
    for body in blocks("console"):
        for chunk in re.split(r"^\$ ", body, flags=re.MULTILINE)[1:]:
            command, _, output = chunk.partition("\n")
            sessions.append((command, output))
    return sessions


def test_readme_has_examples():
    assert len(blocks("pycon")) >= 5
    assert len(shell_sessions()) >= 3


@pytest.mark.parametrize("index", range(len(blocks("pycon"))))
def test_python_examples(index):
    text = blocks("pycon")[index]
    # Later blocks go on from the first one's `import vexlo`.
    test = doctest.DocTestParser().get_doctest(
        text,
        {"vexlo": importlib.import_module("vexlo")},
        f"README pycon block {index + 1}",
        "README.md",
        0,
    )
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS)
    output = []
    runner.run(test, out=output.append)
    assert runner.failures == 0, "".join(output)


@pytest.fixture(scope="module")
def vexlo_on_path(tmp_path_factory):
    """A folder holding a `vexlo` command that runs this checkout's package."""
    folder = tmp_path_factory.mktemp("bin")
    script = folder / "vexlo"
    script.write_text(f'#!/bin/sh\nexec "{sys.executable}" -m vexlo "$@"\n')
    script.chmod(script.stat().st_mode | stat.S_IXUSR)
    return folder


@pytest.mark.parametrize(
    "command, expected", shell_sessions(), ids=[command for command, _ in shell_sessions()]
)
def test_command_line_examples(vexlo_on_path, command, expected):
    env = dict(
        os.environ,
        PATH=f"{vexlo_on_path}{os.pathsep}{os.environ['PATH']}",
        PYTHONPATH=os.pathsep.join(
            filter(None, [str(package_root()), os.environ.get("PYTHONPATH")])
        ),
    )
    result = subprocess.run(["bash", "-c", command], capture_output=True, env=env, timeout=60)
    assert result.returncode == 0, result.stderr.decode()
    assert result.stdout.decode("utf-8") == expected
