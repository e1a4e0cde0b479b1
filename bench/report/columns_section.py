"""The BENCHMARKS.md sections on whole columns (bench_column_calls.py) and on
the command line beside libpsl's psl command (bench_cli.py), with the goals
they are measured against."""

from markup import table, verdict

GOAL_COLUMN_NS_ONE_THREAD = 90.0
GOAL_COLUMN_SPEEDUP = 2.0
GOAL_COLUMN_NS_TWO_THREADS = 50.0
GOAL_MEMORY_RATIO = 1.5
GOAL_CLI_SPEEDUP = 3.0


def columns_report(columns, cli):
    """Markdown for the two sections; either input may be None."""
    out = []
    if columns:
        out += _columns_section(columns)
    if cli:
        out += _cli_section(cli)
    return "\n".join(out)


def _columns_section(columns):
    ns = {row["benchmark"]: row["ns_per_name"] for row in columns["rows"]}
    loop = ns["per-call loop privatesuffix"]
    one = ns["columns.privatesuffix threads=1"]
    two = ns["columns.privatesuffix threads=2"]
    worst_memory = max(m["growth"] / m["result_bytes"] for m in columns["memory"])
    out = [
        "## Whole columns\n",
        f"`vexlo.columns` on one pyarrow column of {columns['names']:,} names (the larger corpus "
        "below), beside the per-call loop `[privatesuffix(n) for n in names]` over the same "
        "names. Wall time (the column functions run on several threads), the median of the "
        "rounds, per name.\n",
        table(
            ["Goal", "Measured", "Target", ""],
            [
                [
                    "`columns.privatesuffix`, threads=1",
                    f"{one:.1f} ns",
                    f"<= {GOAL_COLUMN_NS_ONE_THREAD:.0f} ns",
                    verdict(one <= GOAL_COLUMN_NS_ONE_THREAD),
                ],
                [
                    "per-call loop / `columns.privatesuffix`, threads=1",
                    f"{loop / one:.2f}x",
                    f">= {GOAL_COLUMN_SPEEDUP:.0f}x",
                    verdict(loop / one >= GOAL_COLUMN_SPEEDUP),
                ],
                [
                    "`columns.privatesuffix`, threads=2",
                    f"{two:.1f} ns",
                    f"<= {GOAL_COLUMN_NS_TWO_THREADS:.0f} ns",
                    verdict(two <= GOAL_COLUMN_NS_TWO_THREADS),
                ],
                [
                    "peak memory growth / the answer's own buffers (worst below)",
                    f"{worst_memory:.2f}x",
                    f"<= {GOAL_MEMORY_RATIO}x",
                    verdict(worst_memory <= GOAL_MEMORY_RATIO),
                ],
            ],
        ),
        "",
        table(
            ["Call", "ns/name", "per-call loop / this"],
            [[f"`{label}`", f"{value:.1f}", f"{loop / value:.2f}x"] for label, value in ns.items()],
        ),
        "",
        "Memory: one answer in a fresh process that has loaded the column; the growth of the "
        "peak resident set over the resident set just before the call, against the byte size "
        "of the answer's own Arrow buffers.\n",
        table(
            ["Answer", "threads", "peak growth MiB", "answer's buffers MiB", "ratio"],
            [
                [
                    f"`{m['question']}`",
                    m["threads"],
                    f"{m['growth'] / 2**20:.1f}",
                    f"{m['result_bytes'] / 2**20:.1f}",
                    f"{m['growth'] / m['result_bytes']:.2f}x",
                ]
                for m in columns["memory"]
            ],
        ),
        "",
    ]
    if "dictionary" in columns:
        out += _dictionary_section(columns["dictionary"])
    return out


def _dictionary_section(dictionary):
    seconds = dictionary["seconds"]
    values = seconds[f"its {dictionary['values']:,} values alone"]
    rows = dictionary["rows"]
    return [
        f"Dictionary columns: {rows:,} rows drawn from {dictionary['values']:,} distinct names, "
        "dictionary-encoded, beside the same rows plain and the distinct names alone "
        "(`columns.privatesuffix`, threads=1, the median wall time of one call). Each "
        "distinct name is asked once; what a row adds is its index's place among the "
        "distinct answers.\n",
        table(
            ["Column", "ms per call", "ns per row", "this - the values alone, per row"],
            [
                [
                    label,
                    f"{value * 1e3:.2f}",
                    f"{value * 1e9 / rows:.1f}",
                    f"{(value - values) * 1e9 / rows:.1f} ns",
                ]
                for label, value in seconds.items()
            ],
        ),
        "",
    ]


def _cli_section(cli):
    results = {r["command"]: r for r in cli["results"]}
    psl = results.get("psl --batch --print-reg-domain")
    vexlo = results["vexlo --fields privatesuffix"]
    out = [
        "## The command line\n",
        f"Each command reads the same file of {cli['names']:,} names on standard input and "
        "writes to /dev/null; the best wall time of the runs. `psl` is libpsl's command "
        "(Debian package `psl`, with its built-in list); tldextract's command takes names "
        "only as arguments, so `xargs` hands them over in batches.\n",
    ]
    rows = []
    if psl:
        speedup = psl["seconds"] / vexlo["seconds"]
        rows.append(
            [
                "`vexlo --fields privatesuffix` against `psl --batch --print-reg-domain`",
                f"{speedup:.1f}x faster",
                f">= {GOAL_CLI_SPEEDUP:.0f}x",
                verdict(speedup >= GOAL_CLI_SPEEDUP),
            ]
        )
        out += [table(["Goal", "Measured", "Target", ""], rows), ""]
    out += [
        table(
            ["Command", "seconds", "names per second", "psl time / this"],
            [
                [
                    f"`{r['command']}`",
                    f"{r['seconds']:.3f}",
                    f"{r['names_per_second']:,.0f}",
                    f"{psl['seconds'] / r['seconds']:.2f}x" if psl else "-",
                ]
                for r in cli["results"]
            ],
        ),
        "",
    ]
    out += [f"Skipped: {reason}.\n" for reason in cli.get("skipped", [])]
    return out
