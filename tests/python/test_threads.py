"""Calls from many threads at once, including the very first calls of a
process racing to create the lazily made objects."""

import textwrap
import threading

import pyarrow as pa
import pytest
from support import DEBIAN_LIST, FUNCTIONS, compiled_list_path, run_python

from vexlo import columns

RACE = textwrap.dedent("""
    import sys, threading
    from vexlo import _lookup as L

    NAMES = ["Shop.Example.CO.UK.", "a.b.city.kobe.jp", "x.unknowntld", "公司.cn", "ΟΔΟΣ.ΕΛ", "", "a..b"]

    def answers():
        out = []
        for name in NAMES:
            for switches in ({}, {"accept_unknown": False}, {"icann_only": True}):
                out.append((L.publicsuffix(name, keep_case=True, **switches), L.privatesuffix(name, **switches),
                            L.is_public(name, **switches), L.is_private(name, **switches),
                            L.privateparts(name, **switches), L.subdomain(name, 1, **switches)))
        return out

    def errors():
        # Argument errors need the interned "add_note" and the PanicException
        # class (every taken exception is checked against it).
        out = []
        for call in (lambda: L.is_public(5), lambda: L.subdomain("a.com", -1),
                     lambda: L.is_public("a.com", accept_unknown=1), lambda: L.privatesuffix("\\ud800")):
            try:
                call()
            except Exception as error:
                out.append((type(error).__name__, str(error), error.__notes__))
        return out

    THREADS = 8
    start = threading.Barrier(THREADS)
    results = [None] * THREADS

    def work(index):
        start.wait()
        first = errors() if index % 2 else answers()
        results[index] = (first, [(answers(), errors()) for _ in range(50)])

    threads = [threading.Thread(target=work, args=(i,)) for i in range(THREADS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()

    expected_answers, expected_errors = answers(), errors()
    for index, (first, rounds) in enumerate(results):
        assert first == (expected_errors if index % 2 else expected_answers), index
        assert all(round == (expected_answers, expected_errors) for round in rounds), index
    print("agree", len(expected_answers), len(expected_errors))
""")


def test_threads_agree_with_a_single_thread():
    for _ in range(3):
        result = run_python(RACE)
        assert result.returncode == 0, result.stderr
        assert result.stdout.strip() == "agree 21 4"


# Everything a program may call from its threads, all at once on shared
# inputs: the six functions, one loaded Rules and the compiled one, host,
# extract, and the column functions over Arrow, pandas and list columns
# (some answered by threads of vexlo's own too). Each call's answer is a
# plain value, compared with the answer of the same call made alone once
# every thread is done; so the threads are also the first to use everything
# in the process.
MANY_CALLERS = textwrap.dedent("""
    import itertools, random, threading
    import pandas as pd
    import pyarrow as pa
    import vexlo
    from vexlo import columns

    QUESTIONS = {questions}
    LIST_FILE = {list_file}

    random.seed(23)
    LABELS = ["www", "Shop", "a", "b", "example", "city", "kawasaki", "kobe", "github", "io",
              "co", "uk", "jp", "com", "公司", "cn", "ΟΔΟΣ", "xn--55qx5d", "unknowntld", "İ", ""]
    NAMES = ["", ".", "a..b", "example.com.", "Shop.Example.CO.UK.", "x" * 300 + ".example.com"]
    NAMES += [".".join(random.choices(LABELS, k=random.randint(1, 6))) for _ in range(600)]
    URLS = [f"https://u@{name}:8080/p?q#f" for name in NAMES[:300]]
    URLS += ["mailto:a@b.example.org", "Bob <bob@x.github.io>", "http://[2001:db8::1]/",
             "http://10.0.0.1/", "urn:isbn:1", "h\\ttp://exa\\nmple.com/", "not a url"]
    WITH_NULLS = NAMES + [None] * 20
    ARROW = {"string": pa.array(WITH_NULLS),
             "large_string": pa.array(WITH_NULLS, pa.large_string()),
             "string_view": pa.array(WITH_NULLS, pa.string_view()),
             "chunked": pa.chunked_array([WITH_NULLS[:250], WITH_NULLS[250:]])}
    PANDAS = pd.Series(WITH_NULLS, dtype="string[pyarrow]")
    URL_COLUMN = pa.array(URLS + [None])
    RULES = vexlo.load_rules(LIST_FILE)

    def switch_sets(question):
        keys = ("accept_unknown", "icann_only")
        if not question.startswith("is_"):
            keys += ("keep_case",)
        values = itertools.product([True, False], repeat=len(keys))
        return [dict(zip(keys, these)) for these in values]

    def ask(function, question, name, switches):
        return function(name, *([1] if question == "subdomain" else []), **switches)

    def scalar(target, question):
        def call():
            # A function of the module, a method of the loaded Rules, or one
            # of the compiled Rules, which the first call makes.
            function = getattr(target() if callable(target) else target, question)
            return [ask(function, question, name, switches)
                    for switches in switch_sets(question) for name in NAMES]
        return call

    def column(question, values, plain, **extra):
        function = getattr(columns, question)
        def call():
            out = []
            for switches in switch_sets(question)[:3]:
                answers = ask(function, question, values, {**switches, **extra})
                out.append(plain(answers))
            return out
        return call

    def text_function(function, texts, switch_sets):
        return lambda: [function(text, **switches) for switches in switch_sets for text in texts]

    CALLS = {}
    for question in QUESTIONS:
        CALLS[f"vexlo.{question}"] = scalar(vexlo, question)
        CALLS[f"loaded Rules.{question}"] = scalar(RULES, question)
        CALLS[f"compiled_rules().{question}"] = scalar(vexlo.compiled_rules, question)
        for kind, values in ARROW.items():
            CALLS[f"columns.{question} {kind}"] = column(question, values, lambda a: a.to_pylist())
        CALLS[f"columns.{question} vexlo's threads"] = column(
            question, ARROW["string"], lambda a: a.to_pylist(), threads=3)
        CALLS[f"columns.{question} loaded Rules"] = column(
            question, ARROW["string"], lambda a: a.to_pylist(), rules=RULES)
        CALLS[f"columns.{question} pandas"] = column(question, PANDAS, lambda s: s.tolist())
        CALLS[f"columns.{question} list"] = column(question, WITH_NULLS, list)
    CALLS["compiled_rules() is one object"] = lambda: id(vexlo.compiled_rules())
    # The functions of URLs and e-mail addresses, with their switches: the
    # module's, the Rules method and the column function of the same name,
    # each where there is one.
    URL_FUNCTIONS = {
        "host": [{}, {"keep_ip": True}],
        "extract": [{}, {"keep_ip": True, "accept_unknown": False}, {"keep_case": True}],
    }
    for name, switches in URL_FUNCTIONS.items():
        CALLS[f"vexlo.{name}"] = text_function(getattr(vexlo, name), URLS, switches)
        if hasattr(RULES, name):
            CALLS[f"loaded Rules.{name}"] = text_function(getattr(RULES, name), URLS, switches)
            CALLS[f"compiled_rules().{name}"] = text_function(
                lambda t, n=name, **s: getattr(vexlo.compiled_rules(), n)(t, **s), URLS, switches)
        if hasattr(columns, name):
            function = getattr(columns, name)
            CALLS[f"columns.{name}"] = text_function(
                lambda c, f=function, **s: f(c, **s).to_pylist(), [URL_COLUMN], switches)
            CALLS[f"columns.{name} vexlo's threads"] = text_function(
                lambda c, f=function, **s: f(c, threads=2, **s).to_pylist(), [URL_COLUMN],
                switches)

    THREADS = 8
    ROUNDS = 2
    start = threading.Barrier(THREADS)
    results = [None] * THREADS
    names = list(CALLS)

    def work(index):
        # Each thread goes through the calls in an order of its own, so that
        # different calls meet.
        order = names[index::THREADS] + [n for i, n in enumerate(names) if i % THREADS != index]
        start.wait()
        results[index] = [(name, CALLS[name]()) for _ in range(ROUNDS) for name in order]

    threads = [threading.Thread(target=work, args=(i,)) for i in range(THREADS)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()

    expected = {name: call() for name, call in CALLS.items()}
    wrong = sorted({name for result in results for name, answers in result
                    if answers != expected[name]})
    assert all(len(result) == ROUNDS * len(CALLS) for result in results)
    print("agree" if not wrong else "differ: " + ", ".join(wrong), len(CALLS))
""")


def test_many_callers_at_once_agree_with_one():
    # Another list than the compiled one, if there is one: a call answered
    # from the wrong tables then shows.
    found = [path for path in (DEBIAN_LIST, compiled_list_path()) if path and path.is_file()]
    if not found:
        pytest.skip("no list file to load (Debian's publicsuffix, or VEXLO_PSL_FILE)")
    code = MANY_CALLERS.replace("{questions}", repr(FUNCTIONS))
    result = run_python(code.replace("{list_file}", repr(str(found[0]))))
    assert result.returncode == 0, result.stderr
    assert result.stdout.split()[0] == "agree", result.stdout


def at_once(count, call):
    """What `call` gave in each of `count` threads started together: its
    answer, or the exception it raised."""
    start = threading.Barrier(count)
    outcomes = [None] * count

    def work(index):
        start.wait()
        try:
            outcomes[index] = call()
        except Exception as error:
            outcomes[index] = error

    threads = [threading.Thread(target=work, args=(i,)) for i in range(count)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    return outcomes


NAMES = ["www.example.co.uk", None, "co.uk"]


class Producer:
    """Exports a new array each time, or the same capsules every time."""

    def __init__(self, same_capsules=False):
        self.capsules = pa.array(NAMES).__arrow_c_array__() if same_capsules else None

    def __arrow_c_array__(self, requested_schema=None):
        return self.capsules or pa.array(NAMES).__arrow_c_array__()


class StreamProducer:
    def __arrow_c_stream__(self, requested_schema=None):
        return pa.chunked_array([NAMES]).__arrow_c_stream__()


@pytest.mark.parametrize(
    "answers, take",
    [
        (lambda: columns.privatesuffix(Producer()), pa.array),
        (lambda: columns.privatesuffix(StreamProducer()), pa.chunked_array),
    ],
    ids=["array", "stream"],
)
def test_answers_imported_by_many_threads_at_once_go_to_one(answers, take):
    shared = answers()
    outcomes = at_once(8, lambda: take(shared).to_pylist())
    assert outcomes.count(["example.co.uk", None, None]) == 1
    errors = [outcome for outcome in outcomes if isinstance(outcome, Exception)]
    assert len(errors) == 7
    assert all(type(error) is TypeError and "already taken" in str(error) for error in errors)


def test_capsules_handed_to_many_threads_at_once_are_taken_by_one():
    producer = Producer(same_capsules=True)
    outcomes = at_once(8, lambda: pa.array(columns.privatesuffix(producer)).to_pylist())
    assert outcomes.count(["example.co.uk", None, None]) == 1
    errors = [outcome for outcome in outcomes if isinstance(outcome, Exception)]
    assert len(errors) == 7
    assert all(
        type(error) is ValueError and "already released or taken" in str(error) for error in errors
    )
