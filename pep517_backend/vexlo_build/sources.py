"""Which files of the source tree make up a source distribution."""

import os
import pathlib

# Top-level entries of the tree that an sdist carries. Everything else at the
# top (build folders, dist/, caches, the CI set-up) stays out. The optional ones
# are shipped when present.
REQUIRED = ("pyproject.toml", "CMakeLists.txt", "README.md", "pep517_backend", "src", "tools",
            "vexlo")
OPTIONAL = ("LICENSE", "BENCHMARKS.md", "pytest.ini", ".gitignore", "tests", "scripts", "fuzz", "bench")

# Build products, caches and measurements that can sit inside the shipped folders.
SKIPPED_DIRS = {"__pycache__", ".pytest_cache"}
SKIPPED_PATHS = {"bench/results"}
SKIPPED_SUFFIXES = (".pyc", ".pyo", ".so", ".o", ".a")


def source_files(root):
    """Relative POSIX paths of the files to ship, sorted. Symbolic links are
    never followed or shipped, so nothing outside the tree can slip in."""
    root = pathlib.Path(root)
    for name in REQUIRED:
        if not (root / name).exists():
            raise FileNotFoundError(f"{root / name}: missing from the source tree")
    found = []
    for name in REQUIRED + OPTIONAL:
        top = root / name
        if top.is_symlink() or not top.exists():
            continue
        if top.is_file():
            found.append(name)
            continue
        for folder, dirs, files in os.walk(top):
            dirs[:] = [d for d in dirs if d not in SKIPPED_DIRS
                       and not os.path.islink(os.path.join(folder, d))
                       and pathlib.Path(folder, d).relative_to(root).as_posix() not in SKIPPED_PATHS]
            for file in files:
                path = pathlib.Path(folder, file)
                if file.endswith(SKIPPED_SUFFIXES) or path.is_symlink():
                    continue
                found.append(path.relative_to(root).as_posix())
    return sorted(found)
