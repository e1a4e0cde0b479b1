"""Where vexlo.tldextract's list comes from: the compiled list without a
socket or a file; a list served over HTTP on 127.0.0.1 or read from a
file:// URL, cached by rename, refused with a warning naming its line, or
timing out; a session's get(); pickled extractors and threads; and the
command line beside tldextract's own."""

import http.server
import json
import os
import pathlib
import pickle
import subprocess
import sys
import threading
import time

import pytest
from support import compiled_list_path, run_python

from vexlo import tldextract as ours

tldextract = pytest.importorskip("tldextract")

# A small list: its answers tell it from the compiled one.
SMALL_LIST = (
    b"// ===BEGIN ICANN DOMAINS===\nexample\n*.kobe.jp\n"
    b"// ===END ICANN DOMAINS===\n// ===BEGIN PRIVATE DOMAINS===\nshop.example\n"
    b"// ===END PRIVATE DOMAINS===\n"
)
REFUSED_LIST = SMALL_LIST.replace(b"shop.example", b"Shop.example")


class ListServer(http.server.ThreadingHTTPServer):
    """Serves /small.dat, /refused.dat and /slow.dat (which answers after a
    second), counting the requests for each."""

    def __init__(self):
        self.requests = {}
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                server.requests[self.path] = server.requests.get(self.path, 0) + 1
                body = {"/small.dat": SMALL_LIST, "/refused.dat": REFUSED_LIST}.get(self.path)
                if self.path == "/slow.dat":
                    time.sleep(1)
                    body = SMALL_LIST
                if body is None:
                    self.send_error(404)
                    return
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        super().__init__(("127.0.0.1", 0), Handler)

    def url(self, path):
        return f"http://127.0.0.1:{self.server_address[1]}{path}"


@pytest.fixture
def server():
    with ListServer() as served:
        thread = threading.Thread(target=served.serve_forever, daemon=True)
        thread.start()
        yield served
        served.shutdown()


def small_answers(extractor):
    """What the small list answers (a private rule, a wildcard, no rule)."""
    return [
        (r.subdomain, r.domain, r.suffix, r.is_private)
        for r in (extractor("a.b.shop.example", True), extractor("x.y.kobe.jp"), extractor("a.com"))
    ]


SMALL_ANSWERS = [
    ("a", "b", "shop.example", True),
    ("", "x", "y.kobe.jp", False),
    ("a", "com", "", False),
]


def test_a_list_served_over_http_is_cached_by_rename(server, tmp_path):
    url = server.url("/small.dat")
    first = ours.TLDExtract(cache_dir=tmp_path, suffix_list_urls=[url])
    assert small_answers(first) == SMALL_ANSWERS
    cached = list(tmp_path.iterdir())
    assert len(cached) == 1 and cached[0].read_bytes() == SMALL_LIST
    # Another extractor (another process) reads the cache, not the server.
    second = ours.TLDExtract(cache_dir=tmp_path, suffix_list_urls=[url])
    assert small_answers(second) == SMALL_ANSWERS
    assert server.requests == {"/small.dat": 1}
    second.update()  # forgets the list and clears the cache
    assert list(tmp_path.iterdir()) == []
    second.update(fetch_now=True)
    assert server.requests == {"/small.dat": 2} and len(list(tmp_path.iterdir())) == 1


def test_a_refused_list_warns_naming_its_line_and_falls_back(server, tmp_path):
    urls = [server.url("/refused.dat"), server.url("/missing.dat"), server.url("/small.dat")]
    with pytest.warns(UserWarning) as warned:
        extractor = ours.TLDExtract(cache_dir=tmp_path, suffix_list_urls=urls)
        assert small_answers(extractor) == SMALL_ANSWERS
    messages = [str(w.message) for w in warned]
    assert "refused.dat was refused: line 6: rule 'Shop.example'" in messages[0]
    assert "missing.dat" in messages[1] and "404" in messages[1]
    # Refused everywhere: the compiled list, or SuffixListNotFound without it.
    refused = [server.url("/refused.dat")]
    with pytest.warns(UserWarning):
        assert (
            ours.TLDExtract(cache_dir=None, suffix_list_urls=refused)("a.co.uk").suffix == "co.uk"
        )
    with pytest.warns(UserWarning), pytest.raises(ours.SuffixListNotFound):
        ours.TLDExtract(cache_dir=None, suffix_list_urls=refused, fallback_to_snapshot=False)("a.b")


def test_a_list_that_times_out_falls_back(server):
    extractor = ours.TLDExtract(
        cache_dir=None, suffix_list_urls=[server.url("/slow.dat")], cache_fetch_timeout="0.2"
    )
    with pytest.warns(UserWarning, match="slow.dat.*timed out"):
        assert extractor("www.example.co.uk").suffix == "co.uk"


def test_file_urls_sessions_and_the_environment(tmp_path, monkeypatch):
    path = tmp_path / "small.dat"
    path.write_bytes(SMALL_LIST)
    assert (
        small_answers(ours.TLDExtract(cache_dir=None, suffix_list_urls=[path.as_uri()]))
        == SMALL_ANSWERS
    )

    class Session:
        def __init__(self):
            self.asked = []

        def get(self, url, timeout):
            self.asked.append((url, timeout))
            response = type("Response", (), {})()
            response.raise_for_status = lambda: None
            response.content = SMALL_LIST
            return response

    session = Session()
    extractor = ours.TLDExtract(
        cache_dir=None, suffix_list_urls=["https://x/l.dat"], cache_fetch_timeout=3
    )
    assert extractor("a.b.shop.example", True, session=session).suffix == "shop.example"
    assert session.asked == [("https://x/l.dat", 3)]
    # A path in the environment is read as its file:// URL.
    monkeypatch.setenv("TLDEXTRACT_PUBLIC_SUFFIX_LIST_URLS", f"\n {path} \n")
    from_environment = ours.TLDExtract(cache_dir=None)
    assert from_environment.suffix_list_urls == (path.as_uri(),)
    assert small_answers(from_environment) == SMALL_ANSWERS
    with pytest.raises(ValueError, match="disable all ways"):
        ours.TLDExtract(cache_dir=None, suffix_list_urls=(), fallback_to_snapshot=False)


def test_an_unwritable_cache_warns_and_answers(tmp_path):
    blocker = tmp_path / "file"
    blocker.write_text("")
    url = (tmp_path / "small.dat").as_uri()
    (tmp_path / "small.dat").write_bytes(SMALL_LIST)
    code = f"""
import warnings
from vexlo import tldextract
with warnings.catch_warnings(record=True) as warned:
    warnings.simplefilter("always")
    for _ in range(2):
        e = tldextract.TLDExtract(cache_dir={str(blocker / "sub")!r}, suffix_list_urls=[{url!r}])
        print(e("a.shop.example", True).suffix)
print(len(warned), "unable to cache" in str(warned[0].message))
"""
    ran = run_python(code)
    assert ran.returncode == 0, ran.stderr
    assert ran.stdout.split() == ["shop.example", "shop.example", "1", "True"]


def test_by_default_nothing_is_fetched_read_or_written(tmp_path):
    """The offline promise: after the import, calls, the default extractor
    and pickling open no socket and no file, and no cache folder appears."""
    code = """
import pickle, sys
from vexlo import tldextract
events = []
sys.addaudithook(lambda event, args: events.append(event) if event.split(".")[0] in ("open", "socket", "os", "shutil", "tempfile", "urllib", "subprocess") else None)
e = tldextract.TLDExtract()
answers = [tldextract.extract("http://forums.bbc.co.uk/"), e("a.b.github.io"), e.extract_str("x.y", True)]
len(e.tlds)
pickle.loads(pickle.dumps(e))("www.example.com")
print(events, answers[0].suffix)
"""
    home = tmp_path / "home"
    home.mkdir()
    ran = run_python(code, env={"HOME": str(home)})
    assert ran.returncode == 0, ran.stderr
    assert ran.stdout.split() == ["[]", "co.uk"]
    assert list(home.iterdir()) == []


def test_pickled_extractors_answer_alike_without_fetching(server, tmp_path):
    extractor = ours.TLDExtract(
        cache_dir=None,
        suffix_list_urls=[server.url("/small.dat")],
        include_psl_private_domains=True,
    )
    assert small_answers(extractor) == SMALL_ANSWERS
    copy = pickle.loads(pickle.dumps(extractor))
    server.shutdown()
    assert small_answers(copy) == SMALL_ANSWERS and copy("a.b.shop.example").is_private
    assert server.requests == {"/small.dat": 1}
    # Not read yet: the copy reads its own when first asked.
    assert (
        pickle.loads(pickle.dumps(ours.TLDExtract(extra_suffixes=["corp"])))("a.corp").suffix
        == "corp"
    )


def test_threads_share_one_extractor_and_one_fetch(server):
    extractor = ours.TLDExtract(cache_dir=None, suffix_list_urls=[server.url("/slow.dat")])
    names = [f"h{i}.x{i % 7}.kobe.jp" for i in range(200)] + ["a.b.shop.example"] * 50
    results, start = {}, threading.Barrier(8)

    def work(index):
        start.wait()
        results[index] = [tuple(vars(extractor(name, True)).values()) for name in names]

    threads = [threading.Thread(target=work, args=(i,)) for i in range(8)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    single = [tuple(vars(extractor(name, True)).values()) for name in names]
    assert all(results[i] == single for i in range(8))
    assert server.requests == {"/slow.dat": 1}


CLI_INPUTS = [
    "forums.bbc.co.uk", "http://user@Www.Example.CO.UK:80/x", "a.b.github.io", "127.0.0.1",
    "[::1]", "sendai.jp", "www.city.kobe.jp", "localhost", "", "xn--55qx5d.cn", "x。y.公司.cn",
]  # fmt: skip


@pytest.mark.parametrize("options", [[], ["--json"], ["-p", "-j"], ["--private_domains"]])
def test_the_command_line_is_tldextracts(options, tmp_path):
    path = compiled_list_path()
    if path is None or not path.is_file():
        pytest.skip("VEXLO_PSL_FILE does not name the list the module was built from")
    environment = dict(os.environ, PYTHONIOENCODING="utf-8")
    theirs = subprocess.run(
        [sys.executable, "-m", "tldextract", "--cache_dir", str(tmp_path), "--suffix_list_url",
         str(path), "--no_fallback_to_snapshot", *options, *CLI_INPUTS],
        capture_output=True, text=True, env=environment, check=True,
    )  # fmt: skip
    ran = run_python(
        "import sys; from vexlo.tldextract import main; sys.argv[0] = 'x'; main()",
        env={"PYTHONIOENCODING": "utf-8"},
    )
    assert ran.returncode != 0  # no input: the usage, and status 1
    mine = subprocess.run(
        [sys.executable, "-m", "vexlo.tldextract", *options, *CLI_INPUTS],
        capture_output=True, text=True, env=environment, check=True,
    )  # fmt: skip
    assert mine.stdout == theirs.stdout
    if "-j" in options or "--json" in options:
        assert json.loads(mine.stdout.splitlines()[0])["registered_domain"] == "bbc.co.uk"


def test_a_second_read_list_is_kept_per_extractor(tmp_path):
    path = pathlib.Path(tmp_path / "small.dat")
    path.write_bytes(SMALL_LIST)
    small = ours.TLDExtract(cache_dir=None, suffix_list_urls=[path.as_uri()])
    assert (
        small("www.example.co.uk").suffix == ""
        and ours.extract("www.example.co.uk").suffix == "co.uk"
    )
