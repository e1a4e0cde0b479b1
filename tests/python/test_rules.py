"""Lists loaded at run time: a loaded copy of the compiled list answers
exactly as the compiled functions, every refusal names its line, and a Rules
object travels by pickle and across threads."""

import hashlib
import itertools
import os
import pathlib
import pickle
import runpy
import threading

import pytest
from support import FUNCTIONS as QUESTIONS
from support import REPO, compiled_list_path, run_python, vendored_provenance

import vexlo
import vexlo.columns

SWITCHES = [
    dict(zip(("accept_unknown", "icann_only", "keep_case"), values))
    for values in itertools.product([True, False], repeat=3)
]

SMALL_LIST = """\
// VERSION: 2026-07-25_14-19-54_UTC
// ===BEGIN ICANN DOMAINS===
uk
co.uk
*.kawasaki.jp
!city.kawasaki.jp
jp
// ===END ICANN DOMAINS===
// ===BEGIN PRIVATE DOMAINS===
github.io
// ===END PRIVATE DOMAINS===
"""


def ask(target, question, name, switches, depth=1):
    if question in ("is_public", "is_private"):
        switches = {k: v for k, v in switches.items() if k != "keep_case"}
    extra = (depth,) if question == "subdomain" else ()
    return getattr(target, question)(name, *extra, **switches)


@pytest.fixture(scope="module")
def compiled_bytes():
    path = compiled_list_path()
    if path is None or not path.is_file():
        pytest.skip("VEXLO_PSL_FILE does not name the list the module was built from")
    data = path.read_bytes()
    if hashlib.sha256(data).hexdigest() != vexlo.LIST_CHECKSUM:
        pytest.skip(f"{path} is not the list the module was built from")
    return data


@pytest.fixture(scope="module")
def loaded(compiled_bytes):
    return vexlo.load_rules(compiled_bytes)


def rule_names(data):
    """A name for every rule of a list and a few around it: the rule's name,
    one label below, two below, its wildcard's and exception's neighbours."""
    names = []
    for line in data.decode("utf-8").splitlines():
        rule = line.strip().split(" ")[0]
        if not rule or rule.startswith("//"):
            continue
        name = rule.lstrip("!").removeprefix("*.")
        names += [name, "a." + name, "B.a." + name, name.upper()]
    return names


def test_loaded_copy_answers_as_the_compiled_functions(loaded, compiled_bytes):
    corpus = runpy.run_path(str(REPO / "bench" / "corpus.py"))
    names = corpus["generate"](corpus["default_list_path"](), 4000, seed=17)[0]
    names += rule_names(compiled_bytes)
    for question, switches in itertools.product(QUESTIONS, SWITCHES):
        for name in names:
            assert ask(loaded, question, name, switches) == ask(vexlo, question, name, switches), (
                question,
                switches,
                name,
            )
        column = getattr(vexlo.columns, question)
        extra = (1,) if question == "subdomain" else ()
        kwargs = (
            dict(switches)
            if question not in ("is_public", "is_private")
            else {k: v for k, v in switches.items() if k != "keep_case"}
        )
        from_loaded = column(names, *extra, rules=loaded, **kwargs)
        assert from_loaded == column(names, *extra, **kwargs), (question, switches)


def test_another_list_with_as_many_top_level_rules(compiled_bytes):
    # Its root is searched as the compiled list's is (the same edge count),
    # but every answer must come from its own rules.
    text = compiled_bytes.decode("utf-8")
    assert "\nco.uk\n" in text and "\nzzvexlo.com\n" not in text
    changed = text.replace("\nco.uk\n", "\n", 1).replace(
        "// ===END PRIVATE DOMAINS===", "zzvexlo.com\n// ===END PRIVATE DOMAINS===", 1
    )
    rules = vexlo.load_rules(changed.encode("utf-8"))
    for name, here, compiled in [
        ("www.example.co.uk", "co.uk", "example.co.uk"),
        ("a.b.zzvexlo.com", "b.zzvexlo.com", "zzvexlo.com"),
        ("www.example.com", "example.com", "example.com"),
    ]:
        assert (rules.privatesuffix(name), vexlo.privatesuffix(name)) == (here, compiled)


def test_the_compiled_list_is_named_by_its_date_and_commit(compiled_bytes):
    """The vendored list by its provenance; any other by its VERSION line, or
    as a custom list with its checksum."""
    provenance = vendored_provenance()
    version = vexlo.compiled_rules().version
    if vexlo.LIST_CHECKSUM == provenance["sha256"]:
        assert version == f"{provenance['date']}, commit {provenance['commit'][:8]}"
    elif b"// VERSION: " in compiled_bytes:
        assert version == vexlo.load_rules(compiled_bytes).version
    else:
        assert version == f"custom list, SHA-256 {vexlo.LIST_CHECKSUM}"


def test_the_vendored_list_is_the_pinned_one():
    provenance = vendored_provenance()
    data = (REPO / "psl" / "public_suffix_list.dat").read_bytes()
    assert hashlib.sha256(data).hexdigest() == provenance["sha256"]
    assert vexlo.load_rules(data).rule_count > 9000


def test_what_it_knows_of_its_list(loaded, compiled_bytes):
    compiled = vexlo.compiled_rules()
    assert compiled is vexlo.compiled_rules()
    assert loaded.checksum == compiled.checksum == vexlo.LIST_CHECKSUM
    assert (loaded.rule_count, loaded.twin_count, loaded.node_count) == (
        compiled.rule_count,
        compiled.twin_count,
        compiled.node_count,
    )
    assert loaded == compiled and hash(loaded) == hash(compiled)
    assert "compiled" in repr(compiled) and "compiled" not in repr(loaded)
    small = vexlo.load_rules(SMALL_LIST.encode())
    assert small.version == "2026-07-25_14-19-54_UTC"
    assert (small.rule_count, small.twin_count, small.node_count) == (6, 0, 8)
    assert small.checksum == hashlib.sha256(SMALL_LIST.encode()).hexdigest()
    assert small != loaded
    with pytest.raises(TypeError):
        vexlo.Rules()
    with pytest.raises(AttributeError):
        small.checksum = "0"  # type: ignore[misc]


@pytest.mark.parametrize(
    "source",
    [
        lambda path: path,
        lambda path: str(path),
        lambda path: path.read_bytes(),
        lambda path: bytearray(path.read_bytes()),
        lambda path: memoryview(path.read_bytes()),
    ],
    ids=["pathlib", "str", "bytes", "bytearray", "memoryview"],
)
def test_sources(tmp_path, source):
    path = tmp_path / "list.dat"
    path.write_text(SMALL_LIST, encoding="utf-8")
    rules = vexlo.load_rules(source(path))
    assert rules.privatesuffix("www.Example.CO.UK", keep_case=True) == "Example.CO.UK"
    assert rules.publicsuffix("a.b.kawasaki.jp") == "b.kawasaki.jp"
    assert rules.privatesuffix("x.city.kawasaki.jp") == "city.kawasaki.jp"
    assert rules.privatesuffix("a.b.github.io") == "b.github.io"
    assert rules.privatesuffix("a.b.github.io", icann_only=True) == "github.io"
    assert rules.publicsuffix("example.com", accept_unknown=False) is None


@pytest.mark.parametrize(
    "source,error",
    [
        (pathlib.Path("/nonexistent/list.dat"), FileNotFoundError),
        (pathlib.Path("/"), IsADirectoryError),
        (3, TypeError),
        (None, TypeError),
        (["com"], TypeError),
    ],
)
def test_sources_that_are_not_lists(source, error):
    with pytest.raises(error):
        vexlo.load_rules(source)


ICANN = "// ===BEGIN ICANN DOMAINS===\n{}\n// ===END ICANN DOMAINS===\n"


@pytest.mark.parametrize(
    "text,message",
    [
        (b"\x00\x01\xff\xfe" * 10, "line 1: not valid UTF-8"),
        (ICANN.format("com\n\xe9t\xe9").encode("latin-1"), "line 3: not valid UTF-8"),
        (b"com\n", "line 1: rule 'com' lies outside the ICANN and PRIVATE sections"),
        (ICANN.format("co.Uk").encode(), "line 2: rule 'co.Uk': upper-case letter"),
        (ICANN.format("xn--zz.com").encode(), "line 2: rule 'xn--zz.com': label 'xn--zz'"),
        (ICANN.format("a" * 64 + ".com").encode(), "line 2: rule"),
        (
            b"// ===BEGIN ICANN DOMAINS===\ncom\n",
            "line 1: the ICANN section begun here is never ended",
        ),
        (ICANN.format("").encode(), "the list holds no rules"),
        (b"", "the list holds no rules"),
        (ICANN.format("a b\nc..d\n*.e.*").encode(), "(and 2 more faulty lines)"),
    ],
    ids=[
        "binary",
        "not_utf8",
        "outside_sections",
        "upper_case",
        "bad_punycode",
        "long_label",
        "never_closed",
        "no_rules",
        "empty",
        "counted",
    ],
)
def test_refused_files_name_the_first_faulty_line(text, message):
    with pytest.raises(ValueError) as refused:
        vexlo.load_rules(text)
    assert message in str(refused.value)


def test_the_lists_text_as_a_str_is_refused_in_one_short_line(compiled_bytes):
    with pytest.raises(TypeError) as refused:
        vexlo.load_rules(compiled_bytes.decode("utf-8"))
    assert "text.encode()" in str(refused.value) and len(str(refused.value)) < 100


def test_a_byte_order_mark_is_skipped():
    marked = b"\xef\xbb\xbf" + SMALL_LIST.encode()
    rules = vexlo.load_rules(marked)
    assert rules.checksum == hashlib.sha256(marked).hexdigest()
    assert rules.version == "2026-07-25_14-19-54_UTC"
    assert rules.privatesuffix("a.b.github.io") == "b.github.io"
    assert (rules.rule_count, rules.node_count) == (6, 8)


# New suffixes, a wildcard with its exception, one the list has in the other
# section, and internationalised ones.
EXTRA = ["corp", "co.internal", "*.dev.corp", "!www.dev.corp", "co.uk", "bücher.corp", "公司.cn"]


def appended(data, extra):
    """A list file's bytes with the extra rules appended in a PRIVATE section."""
    section = "// ===BEGIN PRIVATE DOMAINS===\n{}\n// ===END PRIVATE DOMAINS===\n"
    return data + section.format("\n".join(extra)).encode("utf-8")


def test_extra_rules_answer_as_the_file_with_them_appended():
    data = SMALL_LIST.encode()
    rules = vexlo.load_rules(data, extra=iter(EXTRA))
    same = vexlo.load_rules(appended(data, EXTRA))
    assert rules.extra == tuple(EXTRA) and rules.checksum == hashlib.sha256(data).hexdigest()
    counts = (rules.rule_count, rules.twin_count, rules.node_count)
    assert counts == (same.rule_count, same.twin_count, same.node_count)
    assert rules.rule_count == 6 + len(EXTRA)
    names = ["a.b.co.internal", "x.y.dev.corp", "a.www.dev.corp", "a.b.corp", "x.bücher.corp"]
    names += ["x.xn--bcher-kva.corp", "a.b.co.uk", "a.xn--55qx5d.cn", "a.b.github.io"]
    for question, switches, name in itertools.product(QUESTIONS, SWITCHES, names):
        assert ask(rules, question, name, switches) == ask(same, question, name, switches)
    assert rules.privatesuffix("a.b.co.internal") == "b.co.internal"
    assert rules.privatesuffix("a.b.co.internal", icann_only=True) == "co.internal"


def test_rules_on_top_of_the_compiled_list(compiled_bytes):
    compiled = vexlo.compiled_rules()
    rules = compiled.with_rules(EXTRA)
    same = vexlo.load_rules(appended(compiled_bytes, EXTRA))
    assert (rules.checksum, rules.version, rules.extra) == (
        compiled.checksum,
        compiled.version,
        tuple(EXTRA),
    )
    counts = (rules.rule_count, rules.twin_count, rules.node_count)
    assert counts == (same.rule_count, same.twin_count, same.node_count)
    corpus = runpy.run_path(str(REPO / "bench" / "corpus.py"))
    names = corpus["generate"](corpus["default_list_path"](), 2000, seed=23)[0]
    names += [f"{a}.{rule.lstrip('!*.')}" for rule in EXTRA for a in ("x", "y.x")]
    for question, switches in itertools.product(QUESTIONS, SWITCHES):
        for name in names:
            assert ask(rules, question, name, switches) == ask(same, question, name, switches)
    # The rule that decided too, in the list's own spelling.
    for name in names + ["a.xn--55qx5d.cn", "a.公司.cn", "x.xn--bcher-kva.corp"]:
        assert rules.extract(name) == same.extract(name), name
    assert vexlo.columns.privatesuffix(["a.b.corp"], rules=rules) == ["b.corp"]
    # Rules go on top of those already there, and are named by their place.
    more = rules.with_rules(["zz"])
    assert more.extra == (*EXTRA, "zz") and more.privatesuffix("a.b.zz") == "b.zz"
    with pytest.raises(ValueError, match=rf"^extra rule {len(EXTRA) + 2}: rule 'Bad'"):
        rules.with_rules(["ok", "Bad"])
    assert rules.with_rules([]) is rules and compiled.with_rules(()) is compiled


def test_equality_hash_repr_and_pickling_with_extra_rules(compiled_bytes):
    compiled = vexlo.compiled_rules()
    loaded = vexlo.load_rules(compiled_bytes)
    with_corp = compiled.with_rules(["corp"])
    # Equal exactly when the same list file has the same extra rules: then
    # they answer alike.
    assert (
        with_corp == loaded.with_rules(["corp"]) == vexlo.load_rules(compiled_bytes, extra=["corp"])
    )
    assert hash(with_corp) == hash(loaded.with_rules(["corp"]))
    assert with_corp != compiled and with_corp != compiled.with_rules(["corp", "dev"])
    assert repr(with_corp).startswith(f"<vexlo.Rules {compiled.rule_count + 1} rules (1 extra), ")
    assert repr(with_corp).endswith(", compiled>")
    for rules in (with_corp, loaded.with_rules(["corp", "*.dev.corp"])):
        again = pickle.loads(pickle.dumps(rules))
        assert again == rules and again.extra == rules.extra
        assert again.privatesuffix("a.b.corp") == "b.corp"
    small = vexlo.load_rules(SMALL_LIST.encode(), extra=["corp"])
    assert pickle.loads(pickle.dumps(small)).privatesuffix("a.b.corp") == "b.corp"


@pytest.mark.parametrize(
    "extra,error,message",
    [
        (["corp", "Corp"], ValueError, "^extra rule 2: rule 'Corp': upper-case letter"),
        (["a b"], ValueError, "^extra rule 1: text after the rule 'a'"),
        (["a\nb"], ValueError, r"^extra rule 1: holds a line break \(one rule each\)$"),
        (["", "x"], ValueError, "^extra rule 1: '' holds no rule$"),
        (["// ===BEGIN ICANN DOMAINS==="], ValueError, "^extra rule 1: '// ===BEGIN"),
        (["*"], ValueError, "^extra rule 1: wildcard rule"),
        ("corp", TypeError, r"must be an iterable of str, not a str \(give \[rule\] for one\)"),
        (b"corp", TypeError, "must be an iterable of str, not a bytes"),
        (["corp", None], TypeError, "^extra rule 2 is NoneType, not str"),
        (3, TypeError, "'int' object is not iterable"),
        (["\ud800"], UnicodeEncodeError, "surrogates not allowed"),
    ],
)
def test_faulty_extra_rules(extra, error, message):
    for refuse in (
        lambda: vexlo.load_rules(SMALL_LIST.encode(), extra=extra),
        lambda: vexlo.compiled_rules().with_rules(extra),
    ):
        with pytest.raises(error, match=message):
            refuse()


EXTRA_CALLS = """
import gc, os, sys, vexlo
data = sys.argv[1].encode()
corp, bad = "corp", "Bad"
rules = [corp, "*.dev.corp", bad]
def resident():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")
def run(rounds):
    compiled = vexlo.compiled_rules()
    for _ in range(rounds):
        for call in (
            lambda: compiled.with_rules(rules[:2]).with_rules([corp]),
            lambda: vexlo.load_rules(data, extra=rules[:2]),
            lambda: compiled.with_rules(rules),
            lambda: vexlo.load_rules(data, extra=rules),
            lambda: compiled.with_rules([corp, 3]),
            lambda: compiled.with_rules(corp),
        ):
            try:
                call()
            except (TypeError, ValueError):
                pass
run(20)
gc.collect()
counts, before = [sys.getrefcount(rule) for rule in rules], resident()
run(200)
gc.collect()
print(resident() - before, counts == [sys.getrefcount(rule) for rule in rules])
"""


def test_extra_rules_leak_nothing():
    result = run_python(f"import sys; sys.argv[1:] = [{SMALL_LIST!r}]\n" + EXTRA_CALLS)
    assert result.returncode == 0, result.stderr[-3000:]
    growth, same_counts = result.stdout.split()
    assert same_counts == "True"
    if os.environ.get("VEXLO_UNDER_SANITIZER") != "1":
        assert int(growth) < 4 << 20


def test_size_is_bounded(tmp_path):
    limit = vexlo.rules.MAX_LIST_BYTES
    with pytest.raises(ValueError, match=f"larger than {limit:,} bytes"):
        vexlo.load_rules(b"/" * (limit + 1))
    path = tmp_path / "huge.dat"
    with open(path, "wb") as file:
        file.truncate(limit + 1)
    with pytest.raises(ValueError):
        vexlo.load_rules(path)


def test_pickling(loaded):
    small = vexlo.load_rules(SMALL_LIST.encode())
    again = pickle.loads(pickle.dumps(small))
    assert again == small and again.version == small.version
    assert again.privatesuffix("a.b.kawasaki.jp") == "a.b.kawasaki.jp"
    assert pickle.loads(pickle.dumps(vexlo.compiled_rules())) is vexlo.compiled_rules()
    # A compiled list travels as its checksum, which the other side must have.
    with pytest.raises(ValueError, match="pickled from a vexlo whose compiled list"):
        vexlo.rules._compiled_rules_like("0" * 64)


def test_shared_between_threads(loaded):
    names = [f"host{i}.example{i % 7}.co.uk" for i in range(2000)]
    expected = [vexlo.privatesuffix(n) for n in names]
    results = []

    def work():
        results.append([loaded.privatesuffix(n) for n in names])

    threads = [threading.Thread(target=work) for _ in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == [expected] * 4


def test_column_arguments_refuse_what_is_no_rules():
    with pytest.raises(
        TypeError, match=r"'str' object is not an instance of 'vexlo\.Rules'"
    ) as caught:
        vexlo.columns.privatesuffix(["a.com"], rules="list.dat")
    assert caught.value.__notes__ == ["while processing 'rules'"]


@pytest.mark.thread_unsafe(reason="runs the command line in child interpreters")
def test_command_line_list(tmp_path):
    path = tmp_path / "list.dat"
    path.write_text(SMALL_LIST, encoding="utf-8")
    bad = tmp_path / "bad.dat"
    bad.write_text("com\n", encoding="utf-8")
    result = run_python(
        "from vexlo.cli import main\n"
        f"print(main(['--list', {str(path)!r}, 'a.b.github.io', 'x.kawasaki.jp']))\n"
        f"print(main(['--list', {str(path)!r}, '--version']))\n"
    )
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    assert lines[0] == "a.b.github.io\tgithub.io\tb.github.io"
    assert lines[1] == "x.kawasaki.jp\tx.kawasaki.jp\t"
    assert lines[3].endswith(
        f"(list {path}: checksum {hashlib.sha256(SMALL_LIST.encode()).hexdigest()}, "
        "list version 2026-07-25_14-19-54_UTC)"
    )
    refused = run_python(f"from vexlo.cli import main\nmain(['--list', {str(bad)!r}, 'x'])\n")
    assert refused.returncode == 2
    assert f"--list {bad}: line 1: rule 'com' lies outside" in refused.stderr


# Only the loading fails: a result str that cannot be made is a
# PanicException by design (test_failures.py), and whether one failing
# allocation of a sweep lands on it depends on the interpreter's own
# allocations around the call, which differ between CPython versions.
MEMORY_SWEEP = """
import sys, _testcapi, vexlo
sys.unraisablehook = lambda report: None
outcomes = set()
for start in range(0, 60):
    try:
        _testcapi.set_nomemory(start, start + 1)
        try:
            rules = vexlo.load_rules(b"// ===BEGIN ICANN DOMAINS===\\ncom\\n// ===END ICANN DOMAINS===\\n")
        finally:
            _testcapi.remove_mem_hooks()
        assert rules.privatesuffix("a.b.com") == "b.com"
        outcomes.add("answer")
    except MemoryError:
        _testcapi.remove_mem_hooks()
        outcomes.add("MemoryError")
print(sorted(outcomes))
"""


@pytest.mark.thread_unsafe(reason="fails the allocations of a child interpreter")
def test_failed_allocations_raise_memory_error():
    result = run_python("import vexlo.rules\n" + MEMORY_SWEEP)
    assert result.returncode == 0, result.stderr
    assert eval(result.stdout) == ["MemoryError", "answer"]
