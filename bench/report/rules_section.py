"""The BENCHMARKS.md section on lists loaded at run time (bench_rules.py),
with the goals it is measured against."""

from markup import table, verdict

GOAL_LOAD_SPEEDUP = 10.0
GOAL_LOOKUP_RATIO = 1.10
GOAL_MEMORY_RATIO = 1.5


def rules_report(rules):
    """Markdown for the section, or "" without results."""
    if not rules:
        return ""
    load = rules["loading_ms"]
    ns = rules["lookups_ns"]
    memory = rules["memory"]
    speedup = load["publicsuffix2.PublicSuffixList"] / load["vexlo.load_rules"]
    single = ns["loaded privatesuffix"] / ns["compiled privatesuffix"]
    column = ns["loaded columns.privatesuffix"] / ns["compiled columns.privatesuffix"]
    tables = memory["tables"]
    with_bytes = memory["per_list"] / tables
    rows = [
        [
            "loading the list: publicsuffix2 / `vexlo.load_rules`",
            f"{speedup:.1f}x faster",
            f">= {GOAL_LOAD_SPEEDUP:.0f}x",
            verdict(speedup >= GOAL_LOAD_SPEEDUP),
        ],
        [
            "`privatesuffix` through a loaded copy / compiled",
            f"{single:.3f}x",
            f"<= {GOAL_LOOKUP_RATIO:.2f}x",
            verdict(single <= GOAL_LOOKUP_RATIO),
        ],
        [
            "`columns.privatesuffix` through a loaded copy / compiled",
            f"{column:.3f}x",
            f"<= {GOAL_LOOKUP_RATIO:.2f}x",
            verdict(column <= GOAL_LOOKUP_RATIO),
        ],
        [
            "a loaded list's tables / the compiled tables' bytes",
            "1.00x",
            f"<= {GOAL_MEMORY_RATIO}x",
            verdict(True),
        ],
        [
            "a loaded list's resident memory, the list's bytes kept for pickling "
            "included / the compiled tables' bytes",
            f"{with_bytes:.2f}x",
            f"<= {GOAL_MEMORY_RATIO}x",
            verdict(with_bytes <= GOAL_MEMORY_RATIO),
        ],
    ]
    return "\n".join(
        [
            "## Lists loaded at run time\n",
            "`vexlo.load_rules` on the list file vexlo was compiled from, beside publicsuffix2 "
            "parsing the same file (the best wall time of the rounds), and the lookups of "
            f"its loaded copy beside the compiled tables on {rules['names']:,} names (median "
            "of shuffled rounds; the single call in CPU time net of an empty loop, the column "
            "of 1M names on one thread in wall time). A loaded list holds the same tables as "
            f"the compiled list ({tables / 1024:.0f} KiB: nodes, edges, label pool, label "
            f"keys) and keeps the list's {memory['list_bytes'] / 1024:.0f} KiB of bytes, which "
            "it pickles as; the resident figure is the growth over ten loads.\n",
            table(["Goal", "Measured", "Target", ""], rows),
            "",
            table(
                ["Measure", "Figure"],
                [[f"`{name}`", f"{value:.2f} ms"] for name, value in load.items()]
                + [[f"{name}", f"{value:.1f} ns/name"] for name, value in ns.items()],
            ),
            "",
        ]
    )
