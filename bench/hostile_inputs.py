"""Times pathological names at sizes N, 2N and 4N and prints how the time grows.

A ratio near 2 per doubling is linear; near 4 would be quadratic. Run from the
repository root after a build:

    PYTHONPATH=. python3.13 bench/hostile_inputs.py [--base N] [--repeat R]
"""

import argparse
import functools
import pathlib
import sys

from vexlo import _lookup as L

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import harness

# name: (make(n) -> domain text, call(domain) -> anything)
CASES = {
    "long ASCII label": (lambda n: "A" * n + ".Example.CO.UK", L.privatesuffix),
    "long ASCII label, keep_case": (
        lambda n: "A" * n + ".Example.CO.UK",
        lambda d: L.subdomain(d, 1, keep_case=True),
    ),
    "long non-ASCII label": (lambda n: "\u00c9" * n + ".fr", L.privatesuffix),
    "many labels, publicsuffix": (lambda n: "a." * n + "co.uk", L.publicsuffix),
    "many labels, privateparts": (lambda n: "a." * n + "co.uk", L.privateparts),
    "many labels, deepest subdomain": (
        lambda n: "a." * n + "co.uk",
        lambda d: L.subdomain(d, d.count(".") - 2),
    ),
    "many dots": (lambda n: "." * n, L.publicsuffix),
    "label then many dots": (lambda n: "a" + "." * n + "com", L.is_private),
    "combining marks": (lambda n: "\u0301" * n, L.publicsuffix),
    "capital sigmas": (lambda n: "\u03a3" * n, L.publicsuffix),
    "capital sigmas between apostrophes": (lambda n: "\u03a3'" * n, L.publicsuffix),
    "capital sigmas between dots": (lambda n: "\u03a3." * n + "com", L.privatesuffix),
    "capital sigmas in ignorable runs": (
        lambda n: ("\u03a3" + "\u0301" * 100) * (n // 100),
        L.publicsuffix,
    ),
    "ignorable run before one capital sigma": (lambda n: "A" + "'" * n + "\u03a3", L.publicsuffix),
    "capital I with dot above": (lambda n: "\u0130" * n + ".Example.com", L.privateparts),
    "Kelvin sign labels, keep_case": (
        lambda n: "\u212a." * n + "com",
        lambda d: L.privateparts(d, keep_case=True),
    ),
}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--base", type=int, default=1_000_000, help="N (default 1000000)")
    parser.add_argument("--repeat", type=int, default=5, help="runs per size; the best counts")
    options = parser.parse_args()
    sizes = [options.base, 2 * options.base, 4 * options.base]
    print(f"{'input':<40} " + " ".join(f"{f'{size:,}':>12}" for size in sizes) + "   ratios")
    for name, (make, call) in CASES.items():
        times = []
        for size in sizes:
            domain = make(size)
            # The UTF-8 form is cached in the str after the first call; the
            # first call is not timed, like every later one it is the same work.
            call(domain)
            times.append(min(harness.wall_seconds(functools.partial(call, domain), options.repeat)))
        ratios = " ".join(f"{later / earlier:5.2f}" for earlier, later in zip(times, times[1:]))
        print(f"{name:<40} " + " ".join(f"{t * 1e3:10.2f}ms" for t in times) + f"   {ratios}")


if __name__ == "__main__":
    main()
