#!/usr/bin/env python3
"""Times the way from URLs to host names and registrable domains: vexlo.host
and vexlo.columns.host beside urllib.parse.urlsplit, tldextract and the
command line's --urls beside libpsl's psl on the bare hosts, all on one corpus
of URLs built around the host names that corpus.py draws from the list; and
the goals of URLs answered at the speed of host names, side by side.

    bench_urls.py [--list FILE] [--count N] [--seed S] [--rounds N] [--cli-runs N] [--json FILE]
                  [--goal-count N] [--goal-rounds N] [--goal-threads N] [--goals-only]
                  [--write-corpus FILE]

The URLs take most hosts with http or https, some with other schemes, user
info, ports, paths, queries and fragments; a few are bare hosts with a path
or e-mail addresses, and a few hold an IPv4 or IPv6 literal instead of a
name. Every URL holds its host as written, so that "the same hosts" is the
list of those hosts (IP literals as written, without brackets).

Figures (medians over --rounds passes, wall time, per URL):
- columns: host(urls), privatesuffix(hosts), privatesuffix(host(urls)),
  extract(urls, fields=("privatesuffix",)) and extract(urls), each on a
  pyarrow string array, privatesuffix(host(urls)) against tldextract's
  extract(url).top_domain_under_public_suffix (goal: 50 times faster);
- one call at a time: vexlo.host(url) against
  urllib.parse.urlsplit(url).hostname (goal: 10 times faster),
  privatesuffix(host(url)) against tldextract's
  extract(url).top_domain_under_public_suffix (goal: 20 times faster), and
  vexlo.extract(url) beside tldextract's extract(url); tldextract runs on at
  most TLDEXTRACT_URLS of the URLs, being slow;
- the command line: `vexlo --urls` on the URLs against
  `psl --batch --print-reg-domain` on the hosts, best wall time of --cli-runs
  (goal: 3 times faster).

The goals of answering URLs at the speed of host names are measured on a
corpus of their own, --goal-count URLs (at most --count) that wrap the
corpus's hosts alike, `https://HOST/path/N/page.html?q=N&lang=en#top`, the
hosts bare beside them: every figure once a round, in an order shuffled from
round to round, --goal-rounds rounds, medians. One call at a time in thread
CPU time per call; a column function in wall time per element, with
--goal-threads threads (by default as many as it takes by itself). The goals:
- vexlo.extract(url) at most 2 times vexlo.privatesuffix(host), and
  tldextract's extract(url) at least 12 times vexlo.extract(url);
- columns.extract(urls, fields=("privatesuffix",)) at most 1.2 times
  columns.privatesuffix(hosts), columns.privatesuffix(columns.host(urls)) at
  most 1.3 times, and tldextract's extract(url) at least 30 times
  columns.extract(urls) with every field.
--write-corpus writes those URLs, one a line, for the instruction counts of
bench/experiments/count_instructions.py, and does nothing else.

No timing is checked anywhere; the goals are printed beside the figures.
"""

import argparse
import json
import os
import pathlib
import random
import shutil
import statistics
import sys
import tempfile
import urllib.parse

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import corpus  # noqa: E402
import harness  # noqa: E402

TLDEXTRACT_URLS = 20_000

SCHEMES = [("https", 60), ("http", 30), ("ftp", 2), ("wss", 2), ("git+ssh", 1), ("HTTPS", 1)]
PATH_WORDS = ["index.html", "api", "v2", "users", "static", "img", "logo.png", "search", "a", "b"]
QUERY_KEYS = ["q", "id", "utm_source", "page", "lang", "ref"]
USERS = ["alice", "bob", "admin", "user:secret", "x@y"]
SHARE_BARE = 0.03  # a host, port and path without a scheme
SHARE_EMAIL = 0.03
SHARE_IPV4 = 0.03
SHARE_IPV6 = 0.02


class UrlMaker:
    """URLs around given hosts, with a fixed seed."""

    def __init__(self, seed):
        self.random = random.Random(seed)

    def ip_host(self):
        """An IP literal as it stands in a URL, and as host() gives it."""
        r = self.random
        if r.random() < SHARE_IPV4 / (SHARE_IPV4 + SHARE_IPV6):
            address = ".".join(str(r.randint(1, 254)) for _ in range(4))
            return address, address
        groups = ":".join(f"{r.randint(0, 0xFFFF):x}" for _ in range(r.randint(1, 3)))
        address = f"2001:db8::{groups}"
        return f"[{address}]", address

    def path(self):
        r = self.random
        text = "/" + "/".join(r.choice(PATH_WORDS) for _ in range(r.randint(0, 4)))
        if r.random() < 0.3:
            text += "?" + "&".join(
                f"{r.choice(QUERY_KEYS)}={r.randint(0, 10**6)}" for _ in range(r.randint(1, 3))
            )
        if r.random() < 0.05:
            text += "#section-" + str(r.randint(1, 9))
        return text

    def url(self, name):
        """(url, its host as host() gives it)."""
        r = self.random
        roll = r.random()
        if roll < SHARE_EMAIL:
            return f"{r.choice(['alice', 'bob.smith', 'info+news'])}@{name}", name
        written, host = name, name
        if roll < SHARE_EMAIL + SHARE_IPV4 + SHARE_IPV6:
            written, host = self.ip_host()
        port = f":{r.choice([80, 443, 8080, 8443, 3000])}" if r.random() < 0.1 else ""
        if roll > 1 - SHARE_BARE:
            return f"{written}{port}{self.path()}", host
        schemes, weights = zip(*SCHEMES)
        scheme = r.choices(schemes, weights)[0]
        user = f"{r.choice(USERS)}@" if r.random() < 0.05 or scheme == "git+ssh" else ""
        return f"{scheme}://{user}{written}{port}{self.path()}", host


def make_urls(list_path, count, seed):
    """(urls, hosts): `count` URLs and the host each holds."""
    names, _ = corpus.generate(list_path, count * 2, seed)
    # Names a URL cannot hold as written: empty, or starting with a dot.
    names = [name for name in names if name and not name.startswith(".")][:count]
    maker = UrlMaker(seed)
    pairs = [maker.url(name) for name in names]
    return [url for url, _ in pairs], [host for _, host in pairs]


def tldextract_loaded(list_path, urls):
    """(tldextract's extractor with the list loaded, the URLs it runs on: at
    most TLDEXTRACT_URLS, being slow), or None without tldextract."""
    try:
        extractor = harness.tldextract_extractor(list_path)
    except ImportError:
        print("skipped: tldextract is not installed (the bench dependency group)")
        return None
    few = urls[:TLDEXTRACT_URLS]
    extractor(few[0])  # loads the list
    return extractor, few


# The URL that every host of the goals' corpus is wrapped in.
WRAPPED = "https://{host}/path/{n}/page.html?q={n}&lang=en#top"


def wrapped_urls(list_path, count, seed):
    """(urls, hosts): `count` of the corpus's hosts, each wrapped alike."""
    names, _ = corpus.generate(list_path, count * 2, seed)
    # Hosts a URL holds as written: not empty, not starting with a dot.
    hosts = [name for name in names if name and not name.startswith(".")][:count]
    return [WRAPPED.format(host=host, n=n) for n, host in enumerate(hosts)], hosts


def goal_figures(urls, hosts, list_path, rounds, seed, threads):
    """Per call or element, in seconds: the medians of the goals' figures,
    every one measured once a round in a shuffled order."""
    import pyarrow as pa

    import vexlo
    from vexlo import columns

    call = harness.loop("f(n)")
    url_array, host_array = pa.array(urls, pa.string()), pa.array(hosts, pa.string())

    def one_call(function, texts):
        return lambda: harness.time_pass(call, function, texts) / 1e9

    def column(function):
        def measure():
            function()  # the first call after another job pays for its caches
            return harness.wall_seconds(function, 1)[0] / len(urls)

        return measure

    jobs = {
        "vexlo.privatesuffix(host)": one_call(vexlo.privatesuffix, hosts),
        "vexlo.host(url)": one_call(vexlo.host, urls),
        "vexlo.extract(host)": one_call(vexlo.extract, hosts),
        "vexlo.extract(url)": one_call(vexlo.extract, urls),
        "columns.privatesuffix(hosts)": column(
            lambda: columns.privatesuffix(host_array, threads=threads)
        ),
        "columns.host(urls)": column(lambda: columns.host(url_array, threads=threads)),
        "columns.privatesuffix(columns.host(urls))": column(
            lambda: columns.privatesuffix(columns.host(url_array, threads=threads), threads=threads)
        ),
        "columns.extract(urls, fields=(privatesuffix,))": column(
            lambda: columns.extract(url_array, fields=("privatesuffix",), threads=threads)
        ),
        "columns.extract(urls)": column(lambda: columns.extract(url_array, threads=threads)),
    }
    if loaded := tldextract_loaded(list_path, urls):
        jobs["tldextract extract(url)"] = one_call(*loaded)
    figures = harness.in_shuffled_rounds(list(jobs), rounds, lambda job: jobs[job](), seed)
    return {job: statistics.median(values) for job, values in figures.items()}


def goal_ratios(seconds):
    """(label, value, goal) of each goal over goal_figures' medians."""
    get = seconds.get
    return [
        (
            "vexlo.extract(url) / vexlo.privatesuffix(host), one call at a time",
            ratio(get("vexlo.extract(url)"), get("vexlo.privatesuffix(host)")),
            "at most 2.0",
        ),
        (
            "tldextract extract(url) / vexlo.extract(url), one call at a time",
            ratio(get("tldextract extract(url)"), get("vexlo.extract(url)")),
            "at least 12",
        ),
        (
            "columns.extract(urls, fields=(privatesuffix,)) / columns.privatesuffix(hosts)",
            ratio(
                get("columns.extract(urls, fields=(privatesuffix,))"),
                get("columns.privatesuffix(hosts)"),
            ),
            "at most 1.2",
        ),
        (
            "tldextract extract(url) / columns.extract(urls)",
            ratio(get("tldextract extract(url)"), get("columns.extract(urls)")),
            "at least 30",
        ),
        (
            "columns.privatesuffix(columns.host(urls)) / columns.privatesuffix(hosts)",
            ratio(
                get("columns.privatesuffix(columns.host(urls))"),
                get("columns.privatesuffix(hosts)"),
            ),
            "at most 1.3",
        ),
    ]


def print_table(seconds, ratios, measure):
    print(f"{measure:56} {'ns':>12}")
    for label, value in seconds.items():
        print(f"{label:56} {value * 1e9:12.1f}")
    print()
    print(f"{'ratio':78} {'value':>8}  goal")
    for label, value, goal in ratios:
        shown = "-" if value is None else f"{value:.2f}"
        print(f"{label:78} {shown:>8}  {goal}")


def median_time(function, rounds):
    return statistics.median(harness.wall_seconds(function, rounds))


def per_call_loops(urls, list_path, rounds):
    """Seconds per URL for each one-call-at-a-time loop."""
    from vexlo import extract, host, privatesuffix

    def vexlo_host():
        for url in urls:
            host(url)

    def urlsplit_hostname():
        split = urllib.parse.urlsplit
        for url in urls:
            _ = split(url).hostname

    def vexlo_registrable():
        for url in urls:
            found = host(url)
            if found is not None:
                privatesuffix(found)

    def vexlo_extract():
        for url in urls:
            extract(url)

    loops = {
        "vexlo.host(url)": (vexlo_host, len(urls)),
        "urlsplit(url).hostname": (urlsplit_hostname, len(urls)),
        "privatesuffix(host(url))": (vexlo_registrable, len(urls)),
        "vexlo.extract(url)": (vexlo_extract, len(urls)),
    }
    if loaded := tldextract_loaded(list_path, urls):
        # A name of its own: vexlo_extract above reads `extract` when it runs.
        tld_extract, few = loaded

        def tldextract_registrable():
            for url in few:
                _ = tld_extract(url).top_domain_under_public_suffix

        def tldextract_record():
            for url in few:
                tld_extract(url)

        loops["tldextract extract(url).top_domain_under_public_suffix"] = (
            tldextract_registrable,
            len(few),
        )
        loops["tldextract extract(url)"] = (tldextract_record, len(few))
    return {label: median_time(run, rounds) / count for label, (run, count) in loops.items()}


def column_times(urls, hosts, rounds):
    """Seconds per URL for the column paths, on pyarrow string arrays."""
    import pyarrow as pa

    from vexlo import columns

    url_array, host_array = pa.array(urls, pa.string()), pa.array(hosts, pa.string())
    runs = {
        "columns.host(urls)": lambda: columns.host(url_array),
        "columns.privatesuffix(hosts)": lambda: columns.privatesuffix(host_array),
        "columns.privatesuffix(columns.host(urls))": lambda: columns.privatesuffix(
            columns.host(url_array)
        ),
        "columns.extract(urls, fields=(privatesuffix,))": lambda: columns.extract(
            url_array, fields=("privatesuffix",)
        ),
        "columns.extract(urls)": lambda: columns.extract(url_array),
    }
    return {label: median_time(run, rounds) / len(urls) for label, run in runs.items()}


def best_time(command, path, runs, env=None):
    return min(harness.time_command(command, path, env)[0] for _ in range(runs))


def command_times(urls, hosts, runs, work):
    """Seconds per URL of whole runs of each command."""
    url_file, host_file = pathlib.Path(work, "urls.txt"), pathlib.Path(work, "hosts.txt")
    url_file.write_text("".join(url + "\n" for url in urls), encoding="utf-8")
    host_file.write_text("".join(host + "\n" for host in hosts), encoding="utf-8")
    env = dict(os.environ, PYTHONPATH=harness.python_path(harness.REPO))
    vexlo = [sys.executable, "-m", "vexlo", "--urls"]
    times = {
        "vexlo --urls (URLs)": best_time(vexlo, url_file, runs, env),
        "vexlo --urls --fields privatesuffix (URLs)": best_time(
            [*vexlo, "--fields", "privatesuffix"], url_file, runs, env
        ),
    }
    if shutil.which("psl"):
        times["psl --batch --print-reg-domain (hosts)"] = best_time(
            ["psl", "--batch", "--print-reg-domain"], host_file, runs
        )
    else:
        print("skipped: psl is not on PATH (Debian package psl)")
    return {label: seconds / len(urls) for label, seconds in times.items()}


def ratio(numerator, denominator):
    if numerator is None or denominator is None:
        return None
    return numerator / denominator


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--list", type=pathlib.Path, default=None)
    parser.add_argument("--count", type=int, default=1_000_000)
    parser.add_argument("--seed", type=int, default=6)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--cli-runs", type=int, default=3)
    parser.add_argument("--json", type=pathlib.Path, help="also write the results here")
    parser.add_argument("--goal-count", type=int, default=100_000)
    parser.add_argument("--goal-rounds", type=int, default=15)
    parser.add_argument(
        "--goal-threads", type=int, default=None, help="the column calls' (default: theirs)"
    )
    parser.add_argument("--goals-only", action="store_true")
    parser.add_argument("--write-corpus", type=pathlib.Path)
    args = parser.parse_args(argv)
    list_path = args.list or corpus.default_list_path()
    goal_urls, goal_hosts = wrapped_urls(list_path, min(args.goal_count, args.count), args.seed)
    if args.write_corpus:
        harness.write_corpus(args.write_corpus, goal_urls)
        return 0

    import vexlo

    wrong = [(u, h) for u, h in zip(goal_urls, goal_hosts) if vexlo.host(u) != h]
    if wrong:
        raise SystemExit(f"bench_urls: the goals' URLs hold hosts that are not theirs: {wrong[:5]}")
    goal_seconds = goal_figures(
        goal_urls, goal_hosts, list_path, args.goal_rounds, args.seed, args.goal_threads
    )
    goals = goal_ratios(goal_seconds)
    print(
        f"goals: {len(goal_urls):,} URLs like {WRAPPED.format(host='HOST', n='N')} (seed {args.seed})"
    )
    print_table(goal_seconds, goals, "measure (per call or element, median)")
    print()
    result = {
        "goal_urls": len(goal_urls),
        "goal_rounds": args.goal_rounds,
        "goal_threads": args.goal_threads,
        "goal_ns": {label: value * 1e9 for label, value in goal_seconds.items()},
        "goals": [{"ratio": label, "value": value, "goal": goal} for label, value, goal in goals],
    }
    if args.goals_only:
        if args.json:
            args.json.write_text(json.dumps(result, indent=2) + "\n")
        return 0

    urls, hosts = make_urls(list_path, args.count, args.seed)
    wrong = [(u, h) for u, h in zip(urls, hosts) if vexlo.host(u, keep_ip=True) != h]
    if wrong:
        raise SystemExit(f"bench_urls: the corpus holds URLs whose host is not theirs: {wrong[:5]}")
    seconds = column_times(urls, hosts, args.rounds)
    seconds.update(per_call_loops(urls, list_path, args.rounds))
    with tempfile.TemporaryDirectory(prefix="vexlo-bench-urls-") as work:
        seconds.update(command_times(urls, hosts, args.cli_runs, work))

    # The goals that the goals' corpus measures are not repeated here.
    get = seconds.get
    ratios = [
        (
            "urlsplit(url).hostname / vexlo.host(url)",
            ratio(get("urlsplit(url).hostname"), get("vexlo.host(url)")),
            "at least 10",
        ),
        (
            "tldextract / privatesuffix(host(url)), one call at a time",
            ratio(
                get("tldextract extract(url).top_domain_under_public_suffix"),
                get("privatesuffix(host(url))"),
            ),
            "at least 20",
        ),
        (
            "tldextract / privatesuffix(host(urls)), columns",
            ratio(
                get("tldextract extract(url).top_domain_under_public_suffix"),
                get("columns.privatesuffix(columns.host(urls))"),
            ),
            "at least 50",
        ),
        (
            "psl on hosts / vexlo --urls on URLs",
            ratio(get("psl --batch --print-reg-domain (hosts)"), get("vexlo --urls (URLs)")),
            "at least 3",
        ),
    ]

    print(f"{len(urls):,} URLs (seed {args.seed}, list {list_path})")
    print_table(seconds, ratios, "measure (per URL)")
    if args.json:
        result.update(
            {
                "urls": len(urls),
                "seed": args.seed,
                "rounds": args.rounds,
                "cli_runs": args.cli_runs,
                "ns_per_url": {label: value * 1e9 for label, value in seconds.items()},
                "ratios": [
                    {"ratio": label, "value": value, "goal": goal} for label, value, goal in ratios
                ],
            }
        )
        args.json.write_text(json.dumps(result, indent=2) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
