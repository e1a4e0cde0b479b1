"""An in-tree PEP 517 build backend for vexlo.

It needs nothing beyond the standard library and CMake, so `pip install .`,
`pip wheel .` and `pip install --no-index <checkout>` work without a package
index. The wheel is built by the project's own CMake build; this package only
packs the result.

Config settings (pip: --config-settings KEY=VALUE):
  psl-file    the Public Suffix List file to compile in; else the environment
              variable VEXLO_PSL_FILE; else CMake's default (Debian's list)
  cmake-args  extra arguments for the CMake configure step, split like a shell
"""

import os
import pathlib
import shlex
import tempfile

from vexlo_build import archives, cmake, project, sources

SETTINGS = {"psl-file", "cmake-args"}


def get_requires_for_build_wheel(config_settings=None):
    return []


def get_requires_for_build_sdist(config_settings=None):
    return []


def prepare_metadata_for_build_wheel(metadata_directory, config_settings=None):
    meta = project.load(pathlib.Path.cwd())
    folder = pathlib.Path(metadata_directory, meta.dist_info)
    folder.mkdir(parents=True, exist_ok=True)
    for name, text in dist_info_files(meta).items():
        (folder / name).write_text(text, encoding="utf-8")
    return meta.dist_info


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    root = pathlib.Path.cwd()
    psl_file, cmake_args = read_settings(config_settings)
    meta = project.load(root)
    tag = archives.wheel_tag()
    wheel_name = f"{meta.dist_name}-{meta.version}-{tag}.whl"
    package_files = [name for name in sources.source_files(root)
                     if name.startswith(f"{meta.name}/")]

    with tempfile.TemporaryDirectory(prefix="vexlo-build-") as work:
        modules = cmake.build_extension(root, work, psl_file, cmake_args)
        with archives.WheelWriter(pathlib.Path(wheel_directory, wheel_name), meta.dist_info) as wheel:
            for name in package_files:
                wheel.add(name, (root / name).read_bytes())
            for module in modules:
                wheel.add(f"{meta.name}/{module.name}", module.read_bytes(), executable=True)
            for name, text in dist_info_files(meta, tag).items():
                wheel.add(f"{meta.dist_info}/{name}", text)
    return wheel_name


def build_sdist(sdist_directory, config_settings=None):
    root = pathlib.Path.cwd()
    meta = project.load(root)
    top = f"{meta.dist_name}-{meta.version}"
    archives.write_sdist(pathlib.Path(sdist_directory, f"{top}.tar.gz"), top, root,
                         sources.source_files(root), meta.core_metadata())
    return f"{top}.tar.gz"


def dist_info_files(meta, tag=None):
    """The .dist-info files other than RECORD. WHEEL needs the tag, which
    metadata preparation may not know yet: it is computed the same way."""
    tag = tag or archives.wheel_tag()
    wheel = ("Wheel-Version: 1.0\n"
             "Generator: vexlo_build\n"
             "Root-Is-Purelib: false\n"
             f"Tag: {tag}\n")
    return {"METADATA": meta.core_metadata(), "WHEEL": wheel,
            "entry_points.txt": meta.entry_points()}


def read_settings(config_settings):
    """(psl_file or None, [cmake arguments]) from the config settings and the
    environment. A setting given more than once arrives as a list."""
    settings = dict(config_settings or {})
    unknown = set(settings) - SETTINGS
    if unknown:
        raise ValueError(f"unknown config setting(s) {', '.join(sorted(unknown))}; "
                         f"vexlo knows {', '.join(sorted(SETTINGS))}")
    psl_file = settings.get("psl-file")
    if isinstance(psl_file, list):
        psl_file = psl_file[-1]
    psl_file = psl_file or os.environ.get("VEXLO_PSL_FILE") or None
    raw_args = settings.get("cmake-args", [])
    if isinstance(raw_args, str):
        raw_args = [raw_args]
    return psl_file, [arg for text in raw_args for arg in shlex.split(text)]
