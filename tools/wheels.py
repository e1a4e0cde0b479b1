#!/usr/bin/env python3
"""What scripts/wheels does to the wheels it builds, with the standard library
alone:

  wheels.py retag WHEEL PYTHON    the wheel built for CPython PYTHON (cp314) by
                                  another interpreter, tagged as such: WHEEL's
                                  Tag lines, RECORD and the file's name
  wheels.py table FILE...         a table of the sdist and wheels: tags, size,
                                  the list compiled in, the DuckDB extensions
  wheels.py sync SOURCE TARGET    TARGET made a copy of the folder SOURCE,
                                  writing only the files that differ (so that
                                  a build kept in TARGET stays incremental)

scikit-build-core tags a wheel with the interpreter that runs it; the modules
inside are built against the headers of the Python named (cmake/ and
scripts/wheels), so only the tag needs to change.
"""

from __future__ import annotations

import base64
import hashlib
import pathlib
import re
import shutil
import sys
import zipfile

ELF_MACHINES = {62: "x86_64", 183: "aarch64"}
# What the compiled list is known by inside the modules: its checksum and
# version, as constants in _lookup.
CHECKSUM = re.compile(rb"\b([0-9a-f]{64})\x00")
VERSION = re.compile(
    rb"(\d{4}-\d\d-\d\d, commit [0-9a-f]{8}|custom list, SHA-256 [0-9a-f]{64})\x00"
)


def record_hash(data: bytes) -> str:
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=")
    return "sha256=" + digest.decode("ascii")


def retag(wheel: pathlib.Path, python: str) -> pathlib.Path:
    """Writes the wheel again with its interpreter and ABI tags set to
    `python` and removes the old file; returns the new one."""
    name, version, old_python, old_abi, platform = wheel.name.removesuffix(".whl").split("-")
    target = wheel.with_name(f"{name}-{version}-{python}-{python}-{platform}.whl")
    dist_info = f"{name}-{version}.dist-info/"
    with zipfile.ZipFile(wheel) as source:
        entries = {info.filename: (info, source.read(info)) for info in source.infolist()}
    wheel_file = entries[dist_info + "WHEEL"][1].decode("utf-8")
    wheel_file = wheel_file.replace(f"Tag: {old_python}-{old_abi}-", f"Tag: {python}-{python}-")
    entries[dist_info + "WHEEL"] = (entries[dist_info + "WHEEL"][0], wheel_file.encode("utf-8"))
    record = []
    for line in entries[dist_info + "RECORD"][1].decode("utf-8").splitlines():
        path = line.rsplit(",", 2)[0]
        if path == dist_info + "WHEEL":
            data = entries[path][1]
            line = f"{path},{record_hash(data)},{len(data)}"
        record.append(line)
    entries[dist_info + "RECORD"] = (
        entries[dist_info + "RECORD"][0],
        ("\n".join(record) + "\n").encode("utf-8"),
    )
    with zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as out:
        for info, data in entries.values():
            out.writestr(info, data)
    if target != wheel:
        wheel.unlink()
    return target


def describe(path: pathlib.Path) -> dict[str, str]:
    """One row of the table."""
    row = {"file": path.name, "size": f"{path.stat().st_size / 1024:,.0f} KiB"}
    if not path.name.endswith(".whl"):
        return row | {"python": "source", "machine": "any", "list": "", "duckdb": ""}
    with zipfile.ZipFile(path) as wheel:
        names = wheel.namelist()
        lookup = wheel.read(next(n for n in names if n.startswith("vexlo/_lookup.")))
        extensions = sorted(n.split("/")[2] for n in names if n.endswith(".duckdb_extension"))
    checksum = CHECKSUM.search(lookup)
    version = VERSION.search(lookup)
    return row | {
        "python": path.name.split("-")[2],
        "machine": ELF_MACHINES.get(int.from_bytes(lookup[18:20], "little"), "?"),
        "list": (version.group(1).decode() if version else "?")
        + (f" ({checksum.group(1).decode()[:12]}…)" if checksum else ""),
        "duckdb": " ".join(extensions),
    }


def table(paths: list[pathlib.Path]) -> str:
    columns = ["file", "python", "machine", "size", "list", "duckdb"]
    rows = [describe(path) for path in paths]
    widths = {c: max(len(c), *(len(row.get(c, "")) for row in rows)) for c in columns}
    lines = ["  ".join(c.ljust(widths[c]) for c in columns).rstrip()]
    lines.append("  ".join("-" * widths[c] for c in columns))
    lines += ["  ".join(row.get(c, "").ljust(widths[c]) for c in columns).rstrip() for row in rows]
    return "\n".join(lines)


def sync(source: pathlib.Path, target: pathlib.Path) -> None:
    """Copies what differs, so that files the same as before keep their
    times, and removes what SOURCE no longer has."""
    wanted = {p.relative_to(source) for p in source.rglob("*") if not p.is_dir()}
    for relative in sorted(wanted):
        to = target / relative
        data = (source / relative).read_bytes()
        if not to.is_file() or to.read_bytes() != data:
            to.parent.mkdir(parents=True, exist_ok=True)
            to.write_bytes(data)
            shutil.copymode(source / relative, to)
    for path in sorted(target.rglob("*"), reverse=True):
        if path.relative_to(target) not in wanted and not path.is_dir():
            path.unlink()
        elif path.is_dir() and not any(path.iterdir()):
            path.rmdir()


def main(argv: list[str]) -> int:
    if len(argv) == 3 and argv[0] == "retag":
        print(retag(pathlib.Path(argv[1]), argv[2]))
    elif len(argv) == 3 and argv[0] == "sync":
        sync(pathlib.Path(argv[1]), pathlib.Path(argv[2]))
    elif len(argv) >= 2 and argv[0] == "table":
        print(table([pathlib.Path(p) for p in argv[1:]]))
    else:
        print(__doc__, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
