"""Calls from many threads at once, including the very first calls of a
process racing to create the lazily made objects."""

import textwrap

from support import run_python

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
