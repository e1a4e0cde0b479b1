"""The BENCHMARKS.md section on vexlo.tldextract beside tldextract
(bench_tldextract.py), with the goal it is measured against."""

from markup import table, verdict

CALLS = {
    "call": "`TLDExtract(include_psl_private_domains=True)(url)`",
    "extract": "the module's `extract(url)`",
}


def tldextract_report(results):
    """Markdown for the section, or "" without results."""
    if not results:
        return ""
    ns = results["ns_per_url"]
    goal = results["goal"]
    rows = [
        [
            CALLS[kind],
            f"{ns[f'tldextract {kind}']:.0f}",
            f"{ns[f'vexlo {kind}']:.0f}",
            f"{ratio:.1f}x",
            f"at least {goal:.0f}x",
            verdict(ratio >= goal),
        ]
        for kind, ratio in results["ratios"].items()
    ]
    return "\n".join(
        [
            "## Coming from tldextract\n",
            f"`bench/bench_tldextract.py`: `vexlo.tldextract` beside tldextract "
            f"{results.get('tldextract', '5.4.0')}, one call at a time, on "
            f"{results['urls']:,} URLs of `bench/bench_urls.py` and the same list (tldextract "
            "offline from its file), every answer compared first: the thread's CPU time per "
            f"URL, the median of {results['rounds']} shuffled rounds (run on {results['date']}, "
            f"load average {results['load']}).\n",
            table(["call", "tldextract ns", "vexlo.tldextract ns", "ratio", "goal", ""], rows),
            "",
        ]
    )
