"""The case-table generator: the committed tables are what it makes from the
Unicode 17.0 files, and it refuses data that breaks what the lowercasing code
relies on."""

from __future__ import annotations

import hashlib
import os
import shutil
import subprocess
import sys
from pathlib import Path

import pytest

REPO = Path(__file__).resolve().parents[2]
TOOL = REPO / "tools" / "gen_case_tables.py"
COMMITTED = REPO / "src" / "normalize" / "case_tables.cpp"
SHARED = Path(os.environ.get("VEXLO_SHARED_DIR") or REPO.parent / "shared")
UCD = SHARED / "ucd-17.0.0"
FILES = ("UnicodeData.txt", "SpecialCasing.txt", "DerivedCoreProperties.txt")

pytestmark = pytest.mark.skipif(
    not all((UCD / name).is_file() for name in FILES),
    reason=f"Unicode 17.0 data files not found in {UCD} (set VEXLO_SHARED_DIR to the folder holding ucd-17.0.0/)",
)


def generate(ucd_dir: Path, output: Path) -> subprocess.CompletedProcess:
    return subprocess.run(
        [sys.executable, str(TOOL), str(ucd_dir), "--output", str(output)],
        capture_output=True,
        text=True,
        check=False,
    )


def test_committed_tables_are_up_to_date(tmp_path):
    output = tmp_path / "case_tables.cpp"
    result = generate(UCD, output)
    assert result.returncode == 0, result.stderr
    assert output.read_bytes() == COMMITTED.read_bytes(), (
        "src/normalize/case_tables.cpp is stale: remake it with the command in its first lines"
    )


def test_head_names_tool_inputs_and_command():
    head = COMMITTED.read_text(encoding="utf-8").split("\n#include", 1)[0]
    assert "tools/gen_case_tables.py" in head
    for name in FILES:
        assert f"{name}" in head and hashlib.sha256((UCD / name).read_bytes()).hexdigest() in head
    assert "python3 tools/gen_case_tables.py UCD_DIR --output src/normalize/case_tables.cpp" in head
    total = int(head.split("total ", 1)[1].split(".", 1)[0])
    assert total < 64 * 1024


def replace_line(text: str, start: str, new: str) -> str:
    lines = text.split("\n")
    hits = [i for i, line in enumerate(lines) if line.startswith(start)]
    assert len(hits) == 1, start
    lines[hits[0]] = new
    return "\n".join(lines)


def append(text: str, line: str) -> str:
    return text + line + "\n"


# Each breaks one fact the code relies on; the generator must stop and say so.
BROKEN = {
    "mapping_above_plane_1": (
        "UnicodeData.txt",
        lambda t: append(t, "2FA1E;TEST CAPITAL;Lu;0;L;;;;;N;;;;2FA1F;"),
        "at or above U+20000",
    ),
    "mapping_to_full_stop": (
        "UnicodeData.txt",
        lambda t: replace_line(
            t, "2024;", "2024;ONE DOT LEADER;Po;0;ON;<compat> 002E;;;;N;;;;002E;"
        ),
        "U+002E",
    ),
    "change_below_c0": (
        "UnicodeData.txt",
        lambda t: replace_line(
            t, "00B5;", "00B5;MICRO SIGN;Ll;0;L;<compat> 03BC;;;;N;;;039C;03BC;039C"
        ),
        "below U+00C0",
    ),
    "second_expansion": (
        "SpecialCasing.txt",
        lambda t: replace_line(t, "FB00;", "FB00; 0066 0066; 0046 0066; 0046 0046; # LIGATURE FF"),
        "only expanding",
    ),
    "ascii_case_ignorable": (
        "DerivedCoreProperties.txt",
        lambda t: append(t, "0040          ; Case_Ignorable"),
        "Case_Ignorable below",
    ),
    "cased_not_the_union": (
        "DerivedCoreProperties.txt",
        lambda t: append(t, "00D7          ; Cased"),
        "Cased is not the union",
    ),
    "no_final_sigma": ("SpecialCasing.txt", lambda t: replace_line(t, "03A3;", ""), "Final_Sigma"),
    "older_version": (
        "SpecialCasing.txt",
        lambda t: t.replace("SpecialCasing-17.0.0", "SpecialCasing-16.0.0", 1),
        "expected '# SpecialCasing-17.0.0.txt'",
    ),
}


@pytest.mark.parametrize("case", sorted(BROKEN))
def test_refuses_data_that_breaks_a_fact(case, tmp_path):
    name, change, message = BROKEN[case]
    ucd = tmp_path / "ucd"
    ucd.mkdir()
    for file in FILES:
        shutil.copy(UCD / file, ucd / file)
    (ucd / name).write_text(change((UCD / name).read_text(encoding="utf-8")), encoding="utf-8")
    output = tmp_path / "case_tables.cpp"
    result = generate(ucd, output)
    assert result.returncode == 1
    assert message in result.stderr
    assert not output.exists()
