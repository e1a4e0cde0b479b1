"""The BENCHMARKS.md section on host names found in URLs (bench_urls.py), with
the goals it is measured against."""

from markup import goal_met, table, verdict


def urls_report(urls):
    """Markdown for the section, or "" without results."""
    if not urls:
        return ""
    times = [[f"`{label}`", f"{ns:.1f}"] for label, ns in urls["ns_per_url"].items()]
    goals = [
        [
            r["ratio"],
            "-" if r["value"] is None else f"{r['value']:.2f}",
            r["goal"],
            "-" if r["value"] is None else verdict(goal_met(r["value"], r["goal"])),
        ]
        for r in urls["ratios"]
    ]
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
        ]
    )
