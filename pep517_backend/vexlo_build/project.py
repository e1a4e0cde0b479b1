"""The project's metadata, read from pyproject.toml's [project] table and
vexlo/_version.py, and written out as a distribution's core metadata and
entry points."""

import ast
import dataclasses
import pathlib
import re
import tomllib

# The [project] keys this backend knows how to carry into the metadata. Any
# other key is refused rather than silently left out of the wheel.
KNOWN_KEYS = {"name", "dynamic", "description", "readme", "license", "requires-python",
              "classifiers", "scripts"}

README_TYPES = {".md": "text/markdown", ".rst": "text/x-rst", ".txt": "text/plain"}


@dataclasses.dataclass(frozen=True)
class Project:
    name: str
    version: str
    summary: str
    license: str
    requires_python: str
    classifiers: tuple[str, ...]
    readme: str
    readme_type: str
    scripts: dict[str, str]

    @property
    def dist_name(self):
        """The name as written in file names: runs of -_. become one underscore."""
        return re.sub(r"[-_.]+", "_", self.name).lower()

    @property
    def dist_info(self):
        return f"{self.dist_name}-{self.version}.dist-info"

    def core_metadata(self):
        """METADATA of a wheel, PKG-INFO of an sdist: headers, then the
        README as the long description."""
        headers = [
            ("Metadata-Version", "2.1"),
            ("Name", self.name),
            ("Version", self.version),
            ("Summary", self.summary),
            ("License", self.license),
            *(("Classifier", c) for c in self.classifiers),
            ("Requires-Python", self.requires_python),
            ("Description-Content-Type", f"{self.readme_type}; charset=UTF-8"),
        ]
        for key, value in headers:
            if "\n" in value:
                raise ValueError(f"pyproject.toml: {key} must be a single line")
        lines = [f"{key}: {value}\n" for key, value in headers]
        return "".join(lines) + "\n" + self.readme

    def entry_points(self):
        lines = ["[console_scripts]\n"]
        lines += [f"{name} = {target}\n" for name, target in sorted(self.scripts.items())]
        return "".join(lines)


def load(root):
    root = pathlib.Path(root)
    with open(root / "pyproject.toml", "rb") as f:
        table = tomllib.load(f)["project"]
    unknown = set(table) - KNOWN_KEYS
    if unknown:
        raise ValueError(f"pyproject.toml: [project] keys this backend does not handle: "
                         f"{', '.join(sorted(unknown))}")
    if table.get("dynamic", []) != ["version"] or "version" in table:
        raise ValueError("pyproject.toml: the version must be dynamic (read from vexlo/_version.py)")

    license_ = table["license"]
    if not isinstance(license_, dict) or set(license_) != {"text"}:
        raise ValueError("pyproject.toml: license must be a table with a 'text' key")
    readme_path = root / table["readme"]
    readme_type = README_TYPES.get(readme_path.suffix.lower(), "text/plain")

    return Project(
        name=table["name"],
        version=read_version(root / table["name"] / "_version.py"),
        summary=table["description"],
        license=license_["text"],
        requires_python=table["requires-python"],
        classifiers=tuple(table.get("classifiers", ())),
        readme=readme_path.read_text(encoding="utf-8"),
        readme_type=readme_type,
        scripts=dict(table.get("scripts", {})),
    )


def read_version(path):
    """The string assigned to __version__, found without importing the package
    (which needs the compiled module)."""
    tree = ast.parse(pathlib.Path(path).read_text(encoding="utf-8"), str(path))
    for node in tree.body:
        if (isinstance(node, ast.Assign) and len(node.targets) == 1
                and isinstance(node.targets[0], ast.Name) and node.targets[0].id == "__version__"):
            return ast.literal_eval(node.value)
    raise ValueError(f"{path}: no __version__ assignment")
