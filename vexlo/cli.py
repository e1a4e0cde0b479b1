"""The vexlo command: Public Suffix List answers for domain names (or, with
--urls, for the hosts of URLs and e-mail addresses) given as arguments or
read from standard input, one output row per name."""

import argparse
import os
import signal
import sys
import time
from collections.abc import Sequence
from types import CapsuleType
from typing import BinaryIO, Protocol, TextIO, cast

import vexlo
from vexlo import _columns

FIELDS = (
    "name",
    "publicsuffix",
    "privatesuffix",
    "is_public",
    "is_private",
    "privateparts",
    "subdomain",
    "host",
    "prefix",
    "domain",
    "section",
    "rule",
    "icann_publicsuffix",
    "icann_privatesuffix",
)
DEFAULT_FIELDS = ("name", "publicsuffix", "privatesuffix")
DEFAULT_DEPTH = 1
MAX_DEPTH = 2**64 - 1

# A read takes what the input has ready, up to this much: a whole block from a
# file, whatever a pipe holds, so rows for a slow producer are not held back.
READ_SIZE = 1024 * 1024
WRITE_BUFFER_SIZE = 64 * 1024
PROGRESS_INTERVAL = 0.5  # seconds

DESCRIPTION = """\
Answer Public Suffix List questions for domain names, or with --urls for the
hosts of URLs and e-mail addresses. Names come from the arguments or, when
there are none, from standard input, one per line (UTF-8; the line ending,
\\n or \\r\\n, is not part of the name); the argument - stands for the
lines of standard input at its place. Every input line gives exactly one
output row, in input order."""

EPILOG = f"""\
fields: {", ".join(FIELDS[:5])},
  {", ".join(FIELDS[5:10])},
  {", ".join(FIELDS[10:])}.
  name is the input name itself. --fields defaults to
  {",".join(DEFAULT_FIELDS)}; subdomain uses --depth (default {DEFAULT_DEPTH};
  0 gives the private suffix). The rest are vexlo.extract's: prefix (the labels
  left of the private suffix) and domain (the label left of the public suffix)
  follow --icann-only, as the suffixes beside them do; section (icann or
  private: the section of the rule that decided; empty for the implicit rule of
  an unknown top-level label), rule (that rule as the list writes it: co.uk,
  *.kobe.jp, !city.kobe.jp, or * for the implicit rule), icann_publicsuffix and
  icann_privatesuffix (the suffixes of --icann-only) are the same with or
  without it.

urls: with --urls each input is a URL (any scheme, or none: example.com:8080/x)
  or an e-mail address (alice@example.com, mailto:...), and the answers are
  for its host, as vexlo.host finds it; name is still the input as given, and
  the field host is the host as written, with '.' for the full stops U+3002,
  U+FF0E and U+FF61 (empty without one). An input without a host, or whose
  host is an IP address, gives empty answers, as an invalid name does. The
  host field needs --urls.

output: tab-separated values by default; --header writes the field names as
  a first row (JSON Lines name the fields in every row). is_public and is_private
  are true or false; a field without an answer is empty, and an invalid name
  (empty, or with an empty label) gives empty fields. Backslash, tab, line feed
  and carriage return in a field are written \\\\, \\t, \\n and \\r.
  privateparts is its items separated by single spaces (a space inside an item
  is written \\x20). With --json, one JSON object per line with "name" and the
  chosen fields; no answer is null and privateparts is a list.

exit status: 0 on success; 1 when an input was not valid UTF-8 (it is reported
  on standard error with its line number and gives an empty row); 2 for a
  usage error; 141 when the reader of the output went away (`| head`); 130
  when interrupted."""


def main(argv: Sequence[str] | None = None) -> int:
    parser = argument_parser()
    options = parser.parse_args(argv)
    if "host" in options.fields and not options.urls:
        parser.error("argument --fields: the field host needs --urls")
    rules = None
    if options.list is not None:
        try:
            rules = vexlo.load_rules(options.list)
        except (OSError, ValueError) as error:
            parser.error(f"--list {options.list}: {error}")
    if options.version:
        print(version_text(rules, options.list))
        return 0
    fields = list(options.fields)
    if options.json and "name" not in fields:
        fields.insert(0, "name")
    # The rows are made in C++: TSV escapes, JSON as json.dumps(...,
    # ensure_ascii=False) writes it, and an invalid name keeps only itself
    # (every answer empty, the predicates too, so "false" is a real no).
    row_format = _columns._line_format(
        tuple(fields),
        options.json,
        options.depth,
        not options.no_unknown,
        options.icann_only,
        options.keep_case,
        options.urls,
    )

    out = open_output()
    rows = RowWriter(
        out,
        flush_each_row=out.isatty(),
        progress=Progress(sys.stderr, enabled=stream_is_tty(sys.stderr) and not out.isatty()),
    )
    # Standard input's buffer is a BufferedReader, which has read1.
    stdin = cast("Reader", sys.stdin.buffer) if sys.stdin else None
    try:
        if options.header and not options.json:
            rows.write(header_row(fields), 0)
        if options.names:
            answer_arguments(options.names, row_format, rows, rules, stdin)
        else:
            answer_stream(stdin, row_format, rows, rules=rules)
        out.flush()
    except BrokenPipeError:
        # The reader went away (`vexlo ... | head`): stop quietly, and point
        # stdout at /dev/null so that flushing at exit cannot complain again.
        os.dup2(os.open(os.devnull, os.O_WRONLY), out.fileno())
        return 128 + signal.SIGPIPE
    except KeyboardInterrupt:
        return 128 + signal.SIGINT
    finally:
        rows.progress.clear()
    return 1 if rows.unreadable else 0


def argument_parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="vexlo",
        description=DESCRIPTION,
        epilog=EPILOG,
        formatter_class=argparse.RawDescriptionHelpFormatter,
    )
    parser.add_argument(
        "names",
        nargs="*",
        metavar="NAME",
        help="domain names to look up, or URLs with --urls; - reads standard input there "
        "(default: read standard input)",
    )
    parser.add_argument(
        "--fields",
        type=field_list,
        default=DEFAULT_FIELDS,
        help=f"comma-separated output fields (default: {','.join(DEFAULT_FIELDS)})",
    )
    parser.add_argument(
        "--depth",
        type=depth_value,
        default=DEFAULT_DEPTH,
        help="labels beyond the private suffix for the subdomain field (default: %(default)s)",
    )
    parser.add_argument(
        "--header",
        action="store_true",
        help="write the field names as a first row (TSV; JSON Lines name them in every row)",
    )
    parser.add_argument("--json", action="store_true", help="write JSON Lines instead of TSV")
    parser.add_argument(
        "--icann-only", action="store_true", help="ignore the rules of the list's private section"
    )
    parser.add_argument(
        "--no-unknown",
        action="store_true",
        help="a top-level label that no rule covers is not a public suffix",
    )
    parser.add_argument(
        "--keep-case",
        action="store_true",
        help="cut results from the name as given instead of its lowercase form",
    )
    parser.add_argument(
        "--urls",
        action="store_true",
        help="each name is a URL or an e-mail address: answer for its host",
    )
    parser.add_argument(
        "--list",
        metavar="FILE",
        help="answer from this Public Suffix List file instead of the list compiled in",
    )
    parser.add_argument(
        "--version",
        action="store_true",
        help="show vexlo's version and the list it answers from (the compiled one: its date and "
        "commit; that of --list: its checksum and version) and exit",
    )
    return parser


def version_text(rules: "vexlo.Rules | None", list_file: str | None) -> str:
    """vexlo's version and the list it answers from."""
    if rules is None:
        # The compiled list's version names its date and commit, or says
        # "custom list" with the checksum already.
        compiled = vexlo.compiled_rules()
        version = compiled.version or ""
        checksum = "" if compiled.checksum in version else f"; checksum {compiled.checksum}"
        return f"vexlo {vexlo.__version__} (compiled list: {version}{checksum})"
    version = f", list version {rules.version}" if rules.version is not None else ""
    return f"vexlo {vexlo.__version__} (list {list_file}: checksum {rules.checksum}{version})"


def field_list(text: str) -> tuple[str, ...]:
    fields = [field.strip() for field in text.split(",")]
    unknown = [field for field in fields if field not in FIELDS]
    if unknown:
        raise argparse.ArgumentTypeError(
            f"unknown field {unknown[0]!r} (choose from {', '.join(FIELDS)})"
        )
    if len(set(fields)) != len(fields):
        raise argparse.ArgumentTypeError("a field is named twice")
    return tuple(fields)


def depth_value(text: str) -> int:
    try:
        depth = int(text)
    except ValueError:
        depth = -1
    if not 0 <= depth <= MAX_DEPTH:
        raise argparse.ArgumentTypeError(f"must be a whole number from 0 to {MAX_DEPTH}")
    return depth


def header_row(fields: Sequence[str]) -> bytes:
    """The field names as a TSV row."""
    return ("\t".join(fields) + "\n").encode()


def answer_arguments(
    names: Sequence[str],
    row_format: CapsuleType,
    rows: "RowWriter",
    rules: "vexlo.Rules | None" = None,
    stdin: "Reader | None" = None,
) -> None:
    """One row per argument, each taken whole as one name, line breaks and
    all; an argument "-" gives the rows of the lines of `stdin` there."""
    for number, name in enumerate(names, 1):
        if name == "-":
            answer_stream(stdin, row_format, rows, rules=rules)
            continue
        row, bad_byte = _columns._answer_name(os.fsencode(name), row_format, rules)
        if bad_byte is not None:
            rows.report(f"argument {number}", bad_byte)
        rows.write(row, 1)


def answer_stream(
    stream: "Reader | None",
    row_format: CapsuleType,
    rows: "RowWriter",
    threads: int | None = None,
    rules: "vexlo.Rules | None" = None,
) -> None:
    """One row per line of a binary stream, the line without its "\\n" or
    "\\r\\n". Reads what is ready, up to READ_SIZE, and answers its whole
    lines at once (large reads on several threads: every usable core unless
    `threads` says), holding at most one read and one line; output is flushed
    before each read that may block, so the rows of the lines read so far are
    never held back while the input pauses."""
    if stream is None:
        return
    number = 0  # lines answered so far
    pending: list[bytes] = []  # the start of a line that no read has ended yet

    def answer(block: bytes, at_end: bool) -> None:
        nonlocal number
        output, consumed, lines, bad_lines = _columns._answer_lines(
            block, at_end, row_format, threads, rules
        )
        rows.write_block(output, lines, bad_lines, number)
        number += lines
        if consumed < len(block):
            pending.append(block[consumed:])

    while True:
        rows.out.flush()
        chunk = stream.read1(READ_SIZE)
        if not chunk:
            break
        if pending:
            pending.append(chunk)
            if b"\n" not in chunk:
                continue  # a line longer than a read goes on
            chunk = b"".join(pending)
            pending.clear()
        answer(chunk, False)
    if pending:
        answer(b"".join(pending), True)


class Reader(Protocol):
    def read1(self, size: int = ..., /) -> bytes: ...


class RowWriter:
    """Writes the rows, reports the lines that are not UTF-8 in their place
    among them, and keeps the progress count."""

    def __init__(self, out: BinaryIO, flush_each_row: bool, progress: "Progress") -> None:
        self.out = out
        self.flush_each_row = flush_each_row
        self.progress = progress
        self.count = 0
        self.unreadable = False

    def report(self, where: str, bad_byte: int) -> None:
        self.progress.clear()
        print(f"vexlo: {where}: not valid UTF-8 (byte {bad_byte})", file=sys.stderr, flush=True)
        self.unreadable = True

    def write(self, output: bytes | memoryview, lines: int) -> None:
        if output:
            self.out.write(output)
            if self.flush_each_row:
                self.out.flush()
        self.count += lines
        self.progress.update(self.count)

    def write_block(
        self,
        output: bytes,
        lines: int,
        bad_lines: Sequence[tuple[int, int, int]],
        first_line: int,
    ) -> None:
        """The rows of a block; bad_lines holds (index, byte, row offset) for
        each of its lines that is not UTF-8, whose report comes right after
        the rows before it."""
        done = 0
        for index, bad_byte, offset in bad_lines:
            self.write(memoryview(output)[done:offset], 0)
            self.report(f"line {first_line + index + 1}", bad_byte)
            done = offset
        self.write(memoryview(output)[done:] if done else output, lines)


def open_output() -> BinaryIO:
    """Standard output as a binary stream with a large buffer: rows are
    written as UTF-8 whatever the locale says."""
    try:
        sys.stdout.flush()
        return open(sys.stdout.fileno(), "wb", buffering=WRITE_BUFFER_SIZE, closefd=False)
    except (AttributeError, OSError, ValueError):
        return sys.stdout.buffer


def stream_is_tty(stream: TextIO | None) -> bool:
    try:
        return stream is not None and stream.isatty()
    except (AttributeError, ValueError):
        return False


class Progress:
    """A count of the names done, redrawn on one terminal line at most every
    PROGRESS_INTERVAL seconds, and erased at the end."""

    def __init__(self, stream: TextIO, enabled: bool) -> None:
        self.stream = stream
        self.enabled = enabled
        self.shown = False
        self.next_time = time.monotonic() + PROGRESS_INTERVAL

    def update(self, count: int) -> None:
        if self.enabled and time.monotonic() >= self.next_time:
            self.stream.write(f"\rvexlo: {count:,} names")
            self.stream.flush()
            self.shown = True
            self.next_time = time.monotonic() + PROGRESS_INTERVAL

    def clear(self) -> None:
        if self.shown:
            self.stream.write("\r\x1b[K")
            self.stream.flush()
            self.shown = False
