"""Fetching a Public Suffix List, only when asked: from the URLs an
extractor was given (or the environment names), with the standard library
(http, https and file URLs) or through a caller's session object, whose
get(url, timeout=...) is all that is used. A list is taken only when
vexlo.load_rules takes it; otherwise the next URL is tried, and a warning
says why (naming the faulty line)."""

import os
import pathlib
import warnings
from collections.abc import Sequence
from typing import Any, Protocol

import vexlo
from vexlo.rules import MAX_LIST_BYTES
from vexlo.tldextract.cache import ListCache


class SuffixListNotFound(LookupError):
    """No list could be had from any URL, and the extractor was told not to
    fall back to the compiled list."""


class Session(Protocol):
    """What a session= object must offer: requests.Session does."""

    def get(self, url: str, *, timeout: float | None) -> Any: ...


def urls_from_environment() -> tuple[str, ...] | None:
    """TLDEXTRACT_PUBLIC_SUFFIX_LIST_URLS, one URL a line, a line that names a
    file taken as its file:// URL; None when it is not set."""
    raw = os.environ.get("TLDEXTRACT_PUBLIC_SUFFIX_LIST_URLS")
    if raw is None:
        return None
    return tuple(as_url(line.strip()) for line in raw.splitlines() if line.strip())


def as_url(source: str) -> str:
    """A path of a file as its file:// URL, anything else as it is."""
    if os.path.isfile(source):
        return pathlib.Path(os.path.abspath(source)).as_uri()
    return source


def fetch(url: str, timeout: float | None, session: Session | None) -> bytes:
    """The bytes at `url` (at most one more than a list may have)."""
    if session is not None:
        response = session.get(url, timeout=timeout)
        if hasattr(response, "raise_for_status"):
            response.raise_for_status()
        content = getattr(response, "content", None)
        if isinstance(content, bytes):
            return content
        return str(response.text).encode("utf-8")
    import urllib.request

    with urllib.request.urlopen(url, timeout=timeout) as response:
        data: bytes = response.read(MAX_LIST_BYTES + 1)
        return data


def first_list(
    cache: ListCache, urls: Sequence[str], timeout: float | None, session: Session | None
) -> "vexlo.Rules | None":
    """The list of the first URL that gives one, from the cache when it holds
    it, else fetched (and then cached); None when no URL gives a list."""
    import http.client

    # What a failed fetch raises: urllib's errors and timeouts (OSError, as
    # requests' are), a reply that is no HTTP (HTTPException), a URL that
    # names no scheme urllib knows (ValueError).
    fetch_errors = (OSError, http.client.HTTPException, ValueError)
    for url in urls:
        rules = cache.read(url)
        if rules is not None:
            return rules
        try:
            data = fetch(url, timeout, session)
        except fetch_errors as error:
            warnings.warn(f"could not read the Public Suffix List at {url}: {error}", stacklevel=4)
            continue
        try:
            rules = vexlo.load_rules(data)
        except ValueError as error:
            warnings.warn(f"the Public Suffix List at {url} was refused: {error}", stacklevel=4)
            continue
        cache.write(url, data)
        return rules
    return None
