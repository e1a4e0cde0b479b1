"""Builds the extension module with the project's own CMake build."""

import os
import pathlib
import shlex
import shutil
import subprocess
import sys


MODULES = ("_lookup", "_columns")


def build_extension(root, work_dir, psl_file=None, cmake_args=()):
    """Configures and builds the extension modules for the running interpreter
    in work_dir, and returns the paths of the built modules. The source tree
    is only read: the modules are written to work_dir, not beside the sources."""
    cmake = shutil.which("cmake")
    if cmake is None:
        raise RuntimeError("building vexlo needs CMake 3.25 or later on PATH")
    work_dir = pathlib.Path(work_dir)
    out_dir = work_dir / "module"
    configure = [
        cmake, "-S", str(root), "-B", str(work_dir / "build"),
        "-DCMAKE_BUILD_TYPE=Release",
        f"-DPython3_EXECUTABLE={sys.executable}",
        "-DVEXLO_BUILD_TESTS=OFF",
        "-DVEXLO_BUILD_MODULE=ON",
        f"-DVEXLO_MODULE_OUTPUT_DIR={out_dir}",
    ]
    if psl_file:
        configure.append(f"-DVEXLO_PSL_FILE={os.path.abspath(psl_file)}")
    configure += list(cmake_args)
    build = [cmake, "--build", str(work_dir / "build"), "--target", *MODULES]
    if "CMAKE_BUILD_PARALLEL_LEVEL" not in os.environ:
        build += ["--parallel", str(os.cpu_count() or 1)]

    for command in (configure, build):
        print("+", shlex.join(command), file=sys.stderr, flush=True)
        subprocess.run(command, check=True)

    modules = []
    for name in MODULES:
        built = sorted(out_dir.glob(f"{name}*.so"))
        if len(built) != 1:
            raise RuntimeError(f"expected one built {name} module in {out_dir}, found {built}")
        modules.append(built[0])
    return modules
