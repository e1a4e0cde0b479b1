"""The BENCHMARKS.md section on host names found in URLs (bench_urls.py), with
the goals it is measured against."""

from markup import goal_met, table, verdict


def ratio_rows(ratios):
    return [
        [
            r["ratio"],
            "-" if r["value"] is None else f"{r['value']:.2f}",
            r["goal"],
            "-" if r["value"] is None else verdict(goal_met(r["value"], r["goal"])),
        ]
        for r in ratios
    ]


def goals_report(urls):
    """The goals of URLs answered at the speed of host names, when measured."""
    if "goals" not in urls:
        return []
    times = [[f"`{label}`", f"{ns:.1f}"] for label, ns in urls["goal_ns"].items()]
    return [
        "### URLs at the speed of host names\n",
        f"{urls['goal_urls']:,} URLs `https://HOST/path/N/page.html?q=N&lang=en#top` around "
        "the corpus's hosts, and the same hosts bare: every figure once a round, in a shuffled "
        f"order, the median of {urls['goal_rounds']} rounds; one call at a time in CPU time "
        "per call, the column functions in wall time per element"
        + (
            f" on {urls['goal_threads']} threads.\n"
            if urls.get("goal_threads")
            else " with the threads they take by default.\n"
        ),
        table(["measure", "ns"], times),
        "",
        table(["ratio", "value", "goal", ""], ratio_rows(urls["goals"])),
        "",
    ]


def urls_report(urls):
    """Markdown for the section, or "" without results."""
    if not urls:
        return ""
    times = [[f"`{label}`", f"{ns:.1f}"] for label, ns in urls["ns_per_url"].items()]
    goals = ratio_rows(urls["ratios"])
    return "\n".join(
        [
            "## From URLs to hosts\n",
            f"{urls['urls']:,} URLs built from real-looking hosts (schemes, user info, ports, "
            "paths, queries, IPv4 and IPv6 literals) and the same hosts bare, in one run: the "
            f"column paths the median of {urls['rounds']} rounds, the single calls the median "
            f"of as many shuffled rounds, whole command runs the best of {urls['cli_runs']}.\n",
            table(["measure", "ns per URL"], times),
            "",
            table(["ratio", "value", "goal", ""], goals),
            "",
            *goals_report(urls),
        ]
    )
