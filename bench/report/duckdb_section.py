"""The BENCHMARKS.md section on the DuckDB extension (bench_duckdb.py), with
the goals it is measured against."""

from markup import goal_met, table, verdict


def duckdb_report(results):
    """Markdown for the section, or "" without results."""
    if not results:
        return ""
    goals = [
        [r["ratio"], f"{r['value']:.2f}", r["goal"], verdict(goal_met(r["value"], r["goal"]))]
        for r in results["ratios"]
        if r["goal"]
    ]
    others = [[r["ratio"], f"{r['value']:.2f}"] for r in results["ratios"] if not r["goal"]]
    times = [[f"`{query}`", f"{ns:.1f}"] for query, ns in results["ns_per_row"].items()]
    net = [[f"`{name}`", f"{ns:.1f}"] for name, ns in results["net_ns_per_row"].items()]
    distinct = results["distinct"]
    return "\n".join(
        [
            "## Inside DuckDB\n",
            f"`bench/bench_duckdb.py`: DuckDB {results['duckdb']} on {results['threads']} threads "
            f"over a table of {results['names']:,} host names from `bench/corpus.py` "
            f"({distinct['lower']:,} distinct lowercased, {distinct['psl_privatesuffix']:,} "
            "distinct private suffixes): vexlo's extension (`psl_privatesuffix`), DuckDB's "
            "`lower`, and `vexlo.columns.privatesuffix` registered as an Arrow UDF. Wall time "
            f"per row, the median of {results['rounds']} shuffled rounds; ratios are taken "
            "round by round.\n",
            table(["Goal", "Measured", "Target", ""], goals),
            "",
            table(["Query", "ns per row"], times),
            "",
            "The functions' own cost, with a cheap aggregate after them "
            "(`sum(length(f(h)))` less the scan's `sum(length(h))`):\n",
            table(["Function", "net ns per row"], net),
            "",
            table(["Ratio", "value"], others),
            "",
        ]
    )
