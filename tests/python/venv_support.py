"""Helpers for the packaging tests: fresh virtual environments, pip without a
package index, and the project's build backend called as a front end would."""

import os
import pathlib
import subprocess
import sys

from support import REPO


def clean_env(**extra):
    """The environment without the variables that would let a child see this
    checkout or Debian's packages instead of what it installed itself."""
    env = {key: value for key, value in os.environ.items()
           if key not in ("PYTHONPATH", "PYTHONHOME", "VIRTUAL_ENV")}
    env.update(extra)
    return env


def run(command, *, cwd=None, env=None, timeout=900):
    """Runs a command, failing with its output when it fails."""
    result = subprocess.run([str(part) for part in command], cwd=cwd, env=env or clean_env(),
                            capture_output=True, text=True, timeout=timeout)
    if result.returncode != 0:
        raise AssertionError(f"{command} exited with {result.returncode}\n"
                             f"--- stdout\n{result.stdout}\n--- stderr\n{result.stderr}")
    return result


class Venv:
    """A new virtual environment made with the running interpreter; its
    bundled pip is used with --no-index, so nothing is downloaded."""

    def __init__(self, path):
        self.path = pathlib.Path(path)
        run([sys.executable, "-m", "venv", self.path])
        self.python = self.path / "bin" / "python"
        self.bin = self.path / "bin"

    def pip(self, *args, **kwargs):
        return run([self.python, "-m", "pip", "--no-cache-dir", *args], **kwargs)

    def build_wheel(self, source, wheel_dir, *pip_args, env=None):
        """Builds a wheel from a source tree with pip and returns its path."""
        self.pip("wheel", "--no-index", "--no-deps", "--wheel-dir", wheel_dir, *pip_args, source,
                 env=env)
        wheels = sorted(pathlib.Path(wheel_dir).glob("*.whl"))
        assert len(wheels) == 1, wheels
        return wheels[0]


def build_sdist(out_dir, source=REPO):
    """Calls the backend's build_sdist hook in a fresh interpreter, the way a
    PEP 517 front end does, and returns the archive's path."""
    code = ("import sys; sys.path.insert(0, 'pep517_backend'); import vexlo_build; "
            "print(vexlo_build.build_sdist(sys.argv[1]))")
    name = run([sys.executable, "-c", code, out_dir], cwd=source).stdout.strip()
    return pathlib.Path(out_dir, name)
