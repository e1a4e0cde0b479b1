"""The vexlo command: Public Suffix List answers for domain names given as
arguments or read from standard input, one output row per name."""

import argparse
import functools
import json
import os
import re
import signal
import sys
import time

import vexlo

FIELDS = ("name", "publicsuffix", "privatesuffix", "is_public", "is_private", "privateparts",
          "subdomain")
DEFAULT_FIELDS = ("name", "publicsuffix", "privatesuffix")
DEFAULT_DEPTH = 1
MAX_DEPTH = 2**64 - 1

READ_SIZE = 64 * 1024
WRITE_BUFFER_SIZE = 64 * 1024
PROGRESS_INTERVAL = 0.5  # seconds

# TSV fields escape the characters that would break the table; privateparts
# items are separated by a space, so a space inside an item is escaped too.
TSV_ESCAPES = str.maketrans({"\\": "\\\\", "\t": "\\t", "\n": "\\n", "\r": "\\r"})
PART_ESCAPES = str.maketrans({"\\": "\\\\", "\t": "\\t", "\n": "\\n", "\r": "\\r", " ": "\\x20"})
NEEDS_ESCAPE = re.compile(r"[\\\t\n\r]")

DESCRIPTION = """\
Answer Public Suffix List questions for domain names. Names come from the
arguments or, when there are none, from standard input, one per line (UTF-8;
the line ending, \\n or \\r\\n, is not part of the name). Every input line
gives exactly one output row, in input order."""

EPILOG = f"""\
fields: {", ".join(FIELDS[:5])},
  {", ".join(FIELDS[5:])}. name is the input name itself. --fields
  defaults to {",".join(DEFAULT_FIELDS)}; subdomain uses --depth
  (default {DEFAULT_DEPTH}; 0 gives the private suffix).

output: tab-separated values by default, no header. is_public and is_private
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


def main(argv=None):
    options = parse_arguments(argv)
    fields = list(options.fields)
    if options.json and "name" not in fields:
        fields.insert(0, "name")
    answer = answerer(fields, options)
    render = json_row(fields) if options.json else tsv_row
    unreadable = render([None] * len(fields))

    out = open_output()
    flush_each_row = out.isatty()
    progress = Progress(sys.stderr, enabled=stream_is_tty(sys.stderr) and not out.isatty())
    if options.names:
        inputs = ((f"argument {n}", os.fsencode(name)) for n, name in enumerate(options.names, 1))
    else:
        inputs = numbered_lines(sys.stdin.buffer if sys.stdin else None, before_wait=out.flush)

    status = 0
    try:
        for count, (where, raw) in enumerate(inputs, 1):
            try:
                name = raw.decode("utf-8")
            except UnicodeDecodeError as error:
                progress.clear()
                print(f"vexlo: {where}: not valid UTF-8 (byte {error.start + 1})",
                      file=sys.stderr, flush=True)
                status = 1
                row = unreadable
            else:
                row = render(answer(name))
            out.write(row.encode("utf-8"))
            if flush_each_row:
                out.flush()
            progress.update(count)
        out.flush()
    except BrokenPipeError:
        # The reader went away (`vexlo ... | head`): stop quietly, and point
        # stdout at /dev/null so that flushing at exit cannot complain again.
        os.dup2(os.open(os.devnull, os.O_WRONLY), out.fileno())
        return 128 + signal.SIGPIPE
    except KeyboardInterrupt:
        return 128 + signal.SIGINT
    finally:
        progress.clear()
    return status


def parse_arguments(argv):
    parser = argparse.ArgumentParser(
        prog="vexlo", description=DESCRIPTION, epilog=EPILOG,
        formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("names", nargs="*", metavar="NAME",
                        help="domain names to look up (default: read standard input)")
    parser.add_argument("--fields", type=field_list, default=DEFAULT_FIELDS,
                        help=f"comma-separated output fields (default: {','.join(DEFAULT_FIELDS)})")
    parser.add_argument("--depth", type=depth_value, default=DEFAULT_DEPTH,
                        help="labels beyond the private suffix for the subdomain field "
                             "(default: %(default)s)")
    parser.add_argument("--json", action="store_true", help="write JSON Lines instead of TSV")
    parser.add_argument("--icann-only", action="store_true",
                        help="ignore the rules of the list's private section")
    parser.add_argument("--no-unknown", action="store_true",
                        help="a top-level label that no rule covers is not a public suffix")
    parser.add_argument("--keep-case", action="store_true",
                        help="cut results from the name as given instead of its lowercase form")
    parser.add_argument("--version", action="version",
                        version=f"vexlo {vexlo.__version__} (list checksum {vexlo.LIST_CHECKSUM})")
    return parser.parse_args(argv)


def field_list(text):
    fields = [field.strip() for field in text.split(",")]
    unknown = [field for field in fields if field not in FIELDS]
    if unknown:
        raise argparse.ArgumentTypeError(
            f"unknown field {unknown[0]!r} (choose from {', '.join(FIELDS)})")
    if len(set(fields)) != len(fields):
        raise argparse.ArgumentTypeError("a field is named twice")
    return tuple(fields)


def depth_value(text):
    try:
        depth = int(text)
    except ValueError:
        depth = -1
    if not 0 <= depth <= MAX_DEPTH:
        raise argparse.ArgumentTypeError(f"must be a whole number from 0 to {MAX_DEPTH}")
    return depth


def answerer(fields, options):
    """A function from a name to the list of its field values. An invalid name
    keeps only itself: every answer field is None, the predicates included,
    so that "false" always means a real no."""
    switches = {"accept_unknown": not options.no_unknown, "icann_only": options.icann_only}
    text_switches = dict(switches, keep_case=options.keep_case)
    lookups = {
        "name": str,
        "publicsuffix": functools.partial(vexlo.publicsuffix, **text_switches),
        "privatesuffix": functools.partial(vexlo.privatesuffix, **text_switches),
        "is_public": functools.partial(vexlo.is_public, **switches),
        "is_private": functools.partial(vexlo.is_private, **switches),
        "privateparts": functools.partial(vexlo.privateparts, **text_switches),
        "subdomain": lambda name: vexlo.subdomain(name, options.depth, **text_switches),
    }
    chosen = [lookups[field] for field in fields]
    name_only = [str if field == "name" else (lambda name: None) for field in fields]

    def answer(name):
        return [lookup(name) for lookup in (chosen if is_valid_name(name) else name_only)]

    return answer


def is_valid_name(name):
    """The module's own rule: after one trailing dot is dropped, the name is
    not empty and has no empty label."""
    if name.endswith("."):
        name = name[:-1]
    return bool(name) and not name.startswith(".") and not name.endswith(".") and ".." not in name


def tsv_row(values):
    return "\t".join(map(tsv_field, values)) + "\n"


def tsv_field(value):
    if type(value) is str:
        # Escaping is rare, and checking first is much cheaper than translating.
        return value.translate(TSV_ESCAPES) if NEEDS_ESCAPE.search(value) else value
    if value is None:
        return ""
    if isinstance(value, bool):
        return "true" if value else "false"
    return " ".join(item.translate(PART_ESCAPES) for item in value)


def json_row(fields):
    def render(values):
        return json.dumps(dict(zip(fields, values)), ensure_ascii=False) + "\n"

    return render


def numbered_lines(stream, before_wait):
    """("line N", bytes) for each line of a binary stream, without its "\\n" or
    "\\r\\n". Reads in chunks, holding at most one chunk and one line, and
    calls before_wait() before each read that may block, so output for the
    lines read so far is never held back while the input pauses."""
    if stream is None:
        return
    number = 0
    partial = []  # pieces of a line that spans chunks
    while True:
        before_wait()
        chunk = stream.read1(READ_SIZE)
        if not chunk:
            break
        lines = chunk.split(b"\n")
        rest = lines.pop()
        for line in lines:
            if partial:
                partial.append(line)
                line = b"".join(partial)
                partial.clear()
            number += 1
            yield f"line {number}", line[:-1] if line.endswith(b"\r") else line
        if rest:
            partial.append(rest)
    if partial:
        yield f"line {number + 1}", b"".join(partial)


def open_output():
    """Standard output as a binary stream with a large buffer: rows are
    written as UTF-8 whatever the locale says."""
    try:
        sys.stdout.flush()
        return open(sys.stdout.fileno(), "wb", buffering=WRITE_BUFFER_SIZE, closefd=False)
    except (AttributeError, OSError, ValueError):
        return sys.stdout.buffer


def stream_is_tty(stream):
    try:
        return stream is not None and stream.isatty()
    except (AttributeError, ValueError):
        return False


class Progress:
    """A count of the names done, redrawn on one terminal line at most every
    PROGRESS_INTERVAL seconds, and erased at the end."""

    def __init__(self, stream, enabled):
        self.stream = stream
        self.enabled = enabled
        self.shown = False
        self.next_time = time.monotonic() + PROGRESS_INTERVAL

    def update(self, count):
        if self.enabled and time.monotonic() >= self.next_time:
            self.stream.write(f"\rvexlo: {count:,} names")
            self.stream.flush()
            self.shown = True
            self.next_time = time.monotonic() + PROGRESS_INTERVAL

    def clear(self):
        if self.shown:
            self.stream.write("\r\x1b[K")
            self.stream.flush()
            self.shown = False
