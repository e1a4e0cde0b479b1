"""Replacing the vendored list: the new file is checked as load_rules checks
it and taken byte for byte, its provenance written so that the build names it,
and a refused file changes nothing."""

import hashlib
import pathlib
import runpy
import shutil

import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]
pytest.importorskip("vexlo._columns", reason="needs vexlo built and installed")
TOOL = runpy.run_path(str(REPO / "tools" / "update_list.py"))

COMMIT = "a77cfe0674a4b05c6e2448c01f3cb2c965a1b6d8"
NEWER = f"""\
// VERSION: 2026-08-14_09-12-33_UTC
// COMMIT: {COMMIT}
// ===BEGIN ICANN DOMAINS===
uk
co.uk
ac.uk
// ===END ICANN DOMAINS===
// ===BEGIN PRIVATE DOMAINS===
github.io
// ===END PRIVATE DOMAINS===
""".encode()


@pytest.fixture
def psl(tmp_path):
    folder = tmp_path / "psl"
    shutil.copytree(REPO / "psl", folder)
    return folder


def snapshot(folder):
    return {path.name: path.read_bytes() for path in folder.iterdir()}


def test_a_newer_list_replaces_the_vendored_one(psl, tmp_path, capsys):
    new = tmp_path / "new.dat"
    new.write_bytes(NEWER)
    old_rules = TOOL["rules_of"]((psl / "public_suffix_list.dat").read_bytes())
    assert TOOL["main"]([str(new), "--psl-dir", str(psl)]) == 0
    assert (psl / "public_suffix_list.dat").read_bytes() == NEWER
    comments, provenance = TOOL["read_provenance"](psl / "PROVENANCE")
    assert comments == TOOL["read_provenance"](REPO / "psl" / "PROVENANCE")[0]
    assert provenance == {
        "source": f"https://github.com/publicsuffix/list/blob/{COMMIT}/public_suffix_list.dat",
        "commit": COMMIT,
        "date": "2026-08-14",
        "sha256": hashlib.sha256(NEWER).hexdigest(),
    }
    added = {"ac.uk"} - old_rules
    removed = old_rules - {"uk", "co.uk", "ac.uk", "github.io"}
    out = capsys.readouterr().out
    assert (
        f"2026-07-25, commit e1b8015c -> 2026-08-14, commit a77cfe06: "
        f"{len(added)} rules added, {len(removed)} removed (4 rules, SHA-256 "
    ) in out


@pytest.mark.parametrize(
    "data, args, message",
    [
        (NEWER.replace(b"ac.uk", b"Ac.uk"), [], "line 6: rule 'Ac.uk': upper-case letter"),
        (NEWER.replace(b"// COMMIT", b"// NOTE"), [], "--commit"),
        (NEWER.replace(b"// VERSION", b"// NOTE"), [], "--date"),
        (NEWER, ["--date", "14.08.2026"], "--date"),
        (NEWER, ["--commit", "a77cfe06"], "--commit"),
    ],
)
def test_a_refused_list_changes_nothing(psl, tmp_path, capsys, data, args, message):
    new = tmp_path / "new.dat"
    new.write_bytes(data)
    before = snapshot(psl)
    try:
        status = TOOL["main"]([str(new), "--psl-dir", str(psl), *args])
    except SystemExit as stop:
        status = stop.code
    assert status in (1, 2)
    assert message in capsys.readouterr().err
    assert snapshot(psl) == before


def test_commit_and_date_given_by_hand(psl, tmp_path):
    new = tmp_path / "new.dat"
    new.write_bytes(NEWER.replace(b"// VERSION", b"// NOTE").replace(b"// COMMIT", b"// NOTE"))
    assert (
        TOOL["main"]([str(new), "--psl-dir", str(psl), "--commit", COMMIT, "--date", "2026-08-14"])
        == 0
    )
    assert TOOL["read_provenance"](psl / "PROVENANCE")[1]["date"] == "2026-08-14"
