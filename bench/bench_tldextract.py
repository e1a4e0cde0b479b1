#!/usr/bin/env python3
"""Times vexlo.tldextract beside tldextract 5.4.0, one call at a time, on the
same URLs (bench_urls.py's, around the names corpus.py draws from the list)
and the same list file: tldextract reads it offline from its file:// URL,
vexlo.tldextract answers from the list compiled in, which must be that file.

    bench_tldextract.py [--list FILE] [--count N] [--seed S] [--rounds N] [--json FILE]

Figures (medians over --rounds passes, the thread's CPU time, ns per URL):
- TLDExtract.__call__: an extractor of each with the private section
  included, called as extractor(url);
- the module's extract(url): each module's own default extractor (tldextract's
  made offline from TLDEXTRACT_PUBLIC_SUFFIX_LIST_URLS and TLDEXTRACT_CACHE).
Goal: vexlo.tldextract at least 5 times faster at both. The answers are
compared first, on every URL. No timing is checked anywhere.
"""

import argparse
import importlib.metadata
import os
import pathlib
import statistics
import sys
import tempfile

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import bench_urls  # noqa: E402
import harness  # noqa: E402

GOAL = 5.0


def extractors(list_path, cache):
    """{job: callable} for both calls of both libraries, on `list_path`."""
    # tldextract makes its module's extractor when imported, from the
    # environment; vexlo.tldextract's default answers from the list compiled in.
    os.environ["TLDEXTRACT_PUBLIC_SUFFIX_LIST_URLS"] = str(pathlib.Path(list_path).resolve())
    os.environ["TLDEXTRACT_CACHE"] = str(cache)
    import tldextract

    del os.environ["TLDEXTRACT_PUBLIC_SUFFIX_LIST_URLS"], os.environ["TLDEXTRACT_CACHE"]
    import vexlo
    from vexlo import tldextract as ours

    if vexlo.LIST_CHECKSUM != harness.list_checksum(list_path):
        sys.exit(f"vexlo was not built from {list_path}: pass the list it was built from")
    options = harness.tldextract_options(list_path)
    return {
        "tldextract call": harness.tldextract_extractor(list_path),
        "vexlo call": ours.TLDExtract(
            include_psl_private_domains=options["include_psl_private_domains"]
        ),
        "tldextract extract": tldextract.extract,
        "vexlo extract": ours.extract,
    }


def fields(result):
    return (
        result.subdomain,
        result.domain,
        result.suffix,
        result.is_private,
        result.registry_suffix,
    )


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--list", type=pathlib.Path, default=None)
    parser.add_argument("--count", type=int, default=20_000)
    parser.add_argument("--seed", type=int, default=6)
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("--json", type=pathlib.Path, help="also write the results here")
    args = parser.parse_args(argv)
    list_path = args.list or harness.default_list_path()
    urls, _ = bench_urls.make_urls(list_path, args.count, args.seed)
    with tempfile.TemporaryDirectory() as cache:
        calls = extractors(list_path, cache)
        for kind in ("call", "extract"):
            mine, theirs = calls[f"vexlo {kind}"], calls[f"tldextract {kind}"]
            differ = [u for u in urls if fields(mine(u)) != fields(theirs(u))]
            if differ:
                sys.exit(f"{kind}: {len(differ)} URLs answered otherwise, first {differ[0]!r}")
        run = harness.loop("f(n)")
        figures = harness.in_shuffled_rounds(
            calls, args.rounds, lambda job: harness.time_pass(run, calls[job], urls), args.seed
        )
    medians = {job: statistics.median(times) for job, times in figures.items()}
    ratios = {
        kind: medians[f"tldextract {kind}"] / medians[f"vexlo {kind}"]
        for kind in ("call", "extract")
    }
    print(f"{len(urls)} URLs, {args.rounds} rounds, ns per URL (median):")
    for kind in ("call", "extract"):
        print(
            f"  {kind:8} tldextract {medians[f'tldextract {kind}']:7.0f}   "
            f"vexlo.tldextract {medians[f'vexlo {kind}']:5.0f}   "
            f"{ratios[kind]:4.1f}x faster (goal {GOAL:.0f}x)"
        )
    if args.json:
        harness.write_results(
            args.json,
            {
                "date": harness.run_date(),
                "cpu": harness.cpu_model(),
                "tldextract": importlib.metadata.version("tldextract"),
                "load": harness.load_average(),
                "urls": len(urls),
                "rounds": args.rounds,
                "ns_per_url": medians,
                "ratios": ratios,
                "goal": GOAL,
            },
        )


if __name__ == "__main__":
    main()
