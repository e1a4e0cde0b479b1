"""Helpers for the packaging tests: fresh virtual environments whose pip
installs from the package index, as a user's does."""

import importlib.metadata
import os
import pathlib
import subprocess
import sys

from support import REPO


def clean_env(**extra):
    """The environment without the variables that would let a child see this
    checkout or another environment instead of what it installed itself."""
    env = {
        key: value
        for key, value in os.environ.items()
        if key not in ("PYTHONPATH", "PYTHONHOME", "VIRTUAL_ENV", "VEXLO_PSL_FILE")
    }
    env.update(extra)
    return env


def run(command, *, cwd=None, env=None, timeout=900):
    """Runs a command, failing with its output when it fails."""
    result = subprocess.run(
        [str(part) for part in command],
        cwd=cwd,
        env=env or clean_env(),
        capture_output=True,
        text=True,
        timeout=timeout,
    )
    if result.returncode != 0:
        raise AssertionError(
            f"{command} exited with {result.returncode}\n"
            f"--- stdout\n{result.stdout}\n--- stderr\n{result.stderr}"
        )
    return result


class Venv:
    """A new virtual environment made with the base of the running
    interpreter."""

    def __init__(self, path):
        self.path = pathlib.Path(path)
        run([sys._base_executable, "-m", "venv", self.path])
        self.python = self.path / "bin" / "python"
        self.bin = self.path / "bin"
        # The pip of the environment running the tests (dependency groups
        # need 25.1 or later), not the one bundled with the interpreter.
        self.pip("install", "-q", f"pip=={importlib.metadata.version('pip')}")

    def pip(self, *args, **kwargs):
        return run([self.python, "-m", "pip", "--disable-pip-version-check", *args], **kwargs)

    def python_output(self, code, *, cwd, env=None):
        return run([self.python, "-c", code], cwd=cwd, env=env).stdout


def single(folder, pattern):
    found = sorted(pathlib.Path(folder).glob(pattern))
    assert len(found) == 1, found
    return found[0]


def list_args(path):
    """The defines that compile the list at `path` in, for pip's -C."""
    return ["-C", f"cmake.define.VEXLO_PSL_FILE={path}"]


__all__ = ["REPO", "Venv", "clean_env", "list_args", "run", "single"]
