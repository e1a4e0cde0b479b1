"""What the benchmark programs share: the list file and the corpus file they
read, the loops and clocks they time with, tldextract set up offline, the
results' JSON files and the facts of the machine a run is made on.

Standard library only (the peers are imported when one is asked for), so that
the probes and drivers that the benchmarks start in fresh interpreters can
import it too, before they time anything.
"""

import datetime
import hashlib
import json
import os
import pathlib
import platform
import random
import subprocess
import time

BENCH = pathlib.Path(__file__).resolve().parent
REPO = BENCH.parent
SYSTEM_LIST = pathlib.Path("/usr/share/publicsuffix/public_suffix_list.dat")

# The list file and the corpus.


def default_list_path():
    """The list the module is built from by the project's scripts."""
    if os.environ.get("VEXLO_PSL_FILE"):
        return pathlib.Path(os.environ["VEXLO_PSL_FILE"])
    shared = REPO.parent / "shared" / "psl" / "public_suffix_list.dat"
    return shared if shared.is_file() else SYSTEM_LIST


def list_checksum(path):
    """The SHA-256 of a list file, as the module's LIST_CHECKSUM gives it."""
    return hashlib.sha256(pathlib.Path(path).read_bytes()).hexdigest()


def write_corpus(path, names):
    """A corpus file: one name per line, UTF-8; an empty line is the empty name."""
    path = pathlib.Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text("".join(name + "\n" for name in names), encoding="utf-8")


def read_corpus(path):
    """The names of a corpus file."""
    text = pathlib.Path(path).read_text(encoding="utf-8")
    return text.split("\n")[:-1] if text else []


# Timing.


def loop(statement):
    """A function running `statement` once per name, with `f` bound:
    `for n in names: <statement>`."""
    source = f"def run(f, names):\n    for n in names:\n        {statement}\n"
    namespace = {}
    exec(compile(source, f"<loop: {statement}>", "exec"), namespace)
    return namespace["run"]


def time_pass(run, function, names):
    """One pass of the loop `run` over the names, in ns per name of the
    thread's CPU time (time that other processes take is not counted). A
    tenth of the names go first, untimed, so that the pass does not pay for
    the caches the previous one left behind."""
    run(function, names[: max(1, len(names) // 10)])
    start = time.thread_time_ns()
    run(function, names)
    return (time.thread_time_ns() - start) / len(names)


def in_shuffled_rounds(jobs, rounds, measure, seed, after_round=None):
    """Each job's figures, `measure(job)`, over `rounds` rounds. Every round
    measures every job once, in an order shuffled from round to round, so that
    no job always follows the same one and a change of the machine's load
    falls on all of them alike."""
    figures = {job: [] for job in jobs}
    order = list(jobs)
    shuffle = random.Random(seed).shuffle
    for round_number in range(rounds):
        shuffle(order)
        for job in order:
            figures[job].append(measure(job))
        if after_round:
            after_round(round_number)
    return figures


def wall_seconds(function, runs):
    """The wall time of each of `runs` calls of `function`, in seconds."""
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        function()
        times.append(time.perf_counter() - start)
    return times


def time_command(command, stdin_path, env=None):
    """The wall time of one run of `command` reading the file `stdin_path` on
    standard input, its output thrown away, and its exit status."""
    with open(stdin_path, "rb") as stdin:
        start = time.perf_counter()
        status = subprocess.run(command, stdin=stdin, stdout=subprocess.DEVNULL, env=env).returncode
        return time.perf_counter() - start, status


def python_path(*folders):
    """PYTHONPATH with `folders` in front of what it holds now."""
    return os.pathsep.join(filter(None, [*map(str, folders), os.environ.get("PYTHONPATH")]))


# The peers.


def tldextract_options(list_path):
    """tldextract.TLDExtract's arguments for the list file `list_path`, read
    offline from a file:// URL without the disk cache, the private section
    included: how every benchmark sets it up."""
    return {
        "cache_dir": False,
        "suffix_list_urls": (pathlib.Path(list_path).resolve().as_uri(),),
        "fallback_to_snapshot": False,
        "include_psl_private_domains": True,
    }


def tldextract_extractor(list_path):
    import tldextract

    return tldextract.TLDExtract(**tldextract_options(list_path))


# Results.


def write_results(path, result):
    path = pathlib.Path(path)
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_text(json.dumps(result, indent=1) + "\n", encoding="utf-8")


def read_results(path):
    return json.loads(pathlib.Path(path).read_text(encoding="utf-8"))


def cpu_model():
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as info:
            for line in info:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or platform.machine()


def run_date():
    return datetime.datetime.now(datetime.UTC).strftime("%Y-%m-%d %H:%M UTC")


def load_average():
    return " ".join(f"{x:.2f}" for x in os.getloadavg())
