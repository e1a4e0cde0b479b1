"""scripts/wheels' helpers: a wheel retagged for another CPython stays a
valid wheel (its RECORD vouches for the WHEEL file it now has), and the copy
of the sdist over the kept sources rewrites only what changed."""

import base64
import hashlib
import os
import pathlib
import runpy
import zipfile

REPO = pathlib.Path(__file__).resolve().parents[2]
TOOL = runpy.run_path(str(REPO / "tools" / "wheels.py"))

DIST_INFO = "vexlo-0.1.0.dist-info/"


def make_wheel(folder):
    files = {
        "vexlo/__init__.py": b"",
        "vexlo/_lookup.cpython-314-aarch64-linux-gnu.so": b"\x7fELF",
        DIST_INFO + "WHEEL": b"Wheel-Version: 1.0\nRoot-Is-Purelib: false\n"
        b"Tag: cp313-cp313-linux_aarch64\n",
    }
    record = [f"{name},{TOOL['record_hash'](data)},{len(data)}" for name, data in files.items()]
    files[DIST_INFO + "RECORD"] = ("\n".join([*record, f"{DIST_INFO}RECORD,,"]) + "\n").encode()
    path = folder / "vexlo-0.1.0-cp313-cp313-linux_aarch64.whl"
    with zipfile.ZipFile(path, "w") as wheel:
        for name, data in files.items():
            wheel.writestr(name, data)
    return path


def test_retag_renames_and_keeps_the_record_true(tmp_path):
    old = make_wheel(tmp_path)
    new = TOOL["retag"](old, "cp314")
    assert new.name == "vexlo-0.1.0-cp314-cp314-linux_aarch64.whl" and not old.exists()
    with zipfile.ZipFile(new) as wheel:
        assert "Tag: cp314-cp314-linux_aarch64\n" in wheel.read(DIST_INFO + "WHEEL").decode()
        for line in wheel.read(DIST_INFO + "RECORD").decode().splitlines():
            name, digest, size = line.rsplit(",", 2)
            if digest:
                data = wheel.read(name)
                want = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=")
                assert (digest, int(size)) == ("sha256=" + want.decode(), len(data)), name


def test_sync_writes_only_what_differs(tmp_path):
    source, target = tmp_path / "source", tmp_path / "target"
    for folder in (source, target):
        (folder / "src").mkdir(parents=True)
        (folder / "src" / "same.cpp").write_text("same")
    (source / "src" / "changed.cpp").write_text("new")
    (target / "src" / "changed.cpp").write_text("old")
    (source / "added.txt").write_text("added")
    (target / "gone" / "deep").mkdir(parents=True)
    (target / "gone" / "deep" / "removed.txt").write_text("removed")
    os.utime(target / "src" / "same.cpp", (1, 1))
    TOOL["sync"](source, target)
    files = {str(p.relative_to(target)): p.read_text() for p in target.rglob("*") if p.is_file()}
    assert files == {"src/same.cpp": "same", "src/changed.cpp": "new", "added.txt": "added"}
    assert (target / "src" / "same.cpp").stat().st_mtime == 1
    assert not (target / "gone").exists()
