"""tldextract's extractor, answered by vexlo: the same classes, functions and
answers as tldextract 5.4.0's module of the same name, from the list compiled
into vexlo unless a list is asked for (suffix_list_urls=, the environment,
update(fetch_now=True)).

    >>> from vexlo import tldextract
    >>> tldextract.extract("http://forums.news.cnn.com/")
    ExtractResult(subdomain='forums.news', domain='cnn', suffix='com', is_private=False)
    >>> tldextract.extract("http://www.worldbank.org.kg/")
    ExtractResult(subdomain='www', domain='worldbank', suffix='org.kg', is_private=False)
    >>> tldextract.extract("google.notavalidsuffix")
    ExtractResult(subdomain='google', domain='notavalidsuffix', suffix='', is_private=False)
"""

# The dataclass's field types are strings, as tldextract's are.
from __future__ import annotations

import os
import threading
import warnings
from collections.abc import Sequence
from dataclasses import dataclass, field
from typing import TYPE_CHECKING, Any

from vexlo import _columns
from vexlo.tldextract.cache import ListCache, get_cache_dir
from vexlo.tldextract.suffix_list import (
    Session,
    SuffixListNotFound,
    first_list,
    urls_from_environment,
)

if TYPE_CHECKING:
    import urllib.parse
    from types import CapsuleType

    import vexlo


def _default_fetch_timeout() -> str | None:
    return os.environ.get(
        "TLDEXTRACT_DEFAULT_FETCH_TIMEOUT", os.environ.get("TLDEXTRACT_CACHE_TIMEOUT")
    )


# Read once, when the module is imported, as tldextract reads them.
CACHE_TIMEOUT = _default_fetch_timeout()

# Where update(fetch_now=True) fetches from when no URLs were given.
PUBLIC_SUFFIX_LIST_URLS = (
    "https://publicsuffix.org/list/public_suffix_list.dat",
    "https://raw.githubusercontent.com/publicsuffix/list/master/public_suffix_list.dat",
)

_ip_version = _columns._tldextract_ip_version


@dataclass(order=True)
class ExtractResult:
    """A URL's subdomain, domain and suffix, as written in it (its case and
    spelling kept, full stops read as '.'), and whether the suffix is one of
    the list's private section. vexlo.tldextract makes these without running
    their __init__; they are ordinary dataclass instances."""

    subdomain: str
    """The labels left of the domain, '' when there are none."""

    domain: str
    """The label left of the suffix; without a suffix, the host's last label
    (an IP address: the whole address)."""

    suffix: str
    """The public suffix, '' when the host has none."""

    is_private: bool
    """Whether the suffix is a rule of the list's private section (always
    False without include_psl_private_domains)."""

    registry_suffix: str = field(repr=False)
    """The suffix of the last ICANN rule on the way: the suffix itself unless
    it is private."""

    @property
    def fqdn(self) -> str:
        """The whole host name when it has a suffix (and a domain, unless the
        suffix is private), else ''."""
        if self.suffix and (self.domain or self.is_private):
            return ".".join(i for i in (self.subdomain, self.domain, self.suffix) if i)
        return ""

    @property
    def ipv4(self) -> str:
        """The IPv4 address the host is, else ''."""
        if self.domain and not (self.suffix or self.subdomain) and _ip_version(self.domain) == 4:
            return self.domain
        return ""

    @property
    def ipv6(self) -> str:
        """The IPv6 address the host is, without its brackets, else ''."""
        if (
            len(self.domain) >= 4
            and self.domain[0] == "["
            and self.domain[-1] == "]"
            and not (self.suffix or self.subdomain)
            and _ip_version(self.domain[1:-1]) == 6
        ):
            return self.domain[1:-1]
        return ""

    @property
    def registered_domain(self) -> str:
        """top_domain_under_public_suffix, by its old name (deprecated)."""
        warnings.warn(
            "The 'registered_domain' property is deprecated and will be removed in the next major version. "
            "Use 'top_domain_under_public_suffix' instead, which has the same behavior but a more accurate name.",
            DeprecationWarning,
            stacklevel=2,
        )
        return self.top_domain_under_public_suffix

    @property
    def reverse_domain_name(self) -> str:
        """The suffix, the domain, then the subdomain's labels from the right
        ('co.uk.example.login')."""
        stack = [i for i in (self.suffix, self.domain) if i]
        if self.subdomain:
            stack.extend(reversed(self.subdomain.split(".")))
        return ".".join(stack)

    @property
    def top_domain_under_registry_suffix(self) -> str:
        """The label left of the registry suffix and that suffix, else ''."""
        top_domain_under_public_suffix = self.top_domain_under_public_suffix
        if not top_domain_under_public_suffix or not self.is_private:
            return top_domain_under_public_suffix
        num_labels = self.registry_suffix.count(".") + 2
        return ".".join(top_domain_under_public_suffix.split(".")[-num_labels:])

    @property
    def top_domain_under_public_suffix(self) -> str:
        """The domain and the suffix, when there are both, else ''."""
        if self.suffix and self.domain:
            return f"{self.domain}.{self.suffix}"
        return ""


class _UseEnvironmentUrls:
    """The default of suffix_list_urls: the environment's, else none."""

    def __repr__(self) -> str:
        return "<from TLDEXTRACT_PUBLIC_SUFFIX_LIST_URLS>"


_USE_ENVIRONMENT_URLS = _UseEnvironmentUrls()
# An extractor's list before it is read: none yet (None is the compiled one).
_NOT_READ: Any = object()


class TLDExtract(_columns._TLDExtractBase):
    """Splits URLs into subdomain, domain and suffix, as tldextract does:
    extractor(url), extract_str(url) and extract_urllib(split_url), each with
    include_psl_private_domains=None (the extractor's) and session=None (an
    object with get(url, timeout=...), used only when the list is fetched).

    With no suffix_list_urls (and TLDEXTRACT_PUBLIC_SUFFIX_LIST_URLS unset) it
    answers from the list compiled into vexlo: nothing is fetched, read or
    written. Given URLs, the first that gives a list vexlo.load_rules takes is
    read on the first call (from the cache under cache_dir when it holds it,
    else fetched and cached there), with the list compiled in as the fallback
    unless fallback_to_snapshot is False. Thread-safe; pickles with the list
    it read, so an unpickled one answers the same without fetching."""

    def __init__(
        self,
        cache_dir: str | None = get_cache_dir(),
        suffix_list_urls: Sequence[str] | _UseEnvironmentUrls = _USE_ENVIRONMENT_URLS,
        fallback_to_snapshot: bool = True,
        include_psl_private_domains: bool = False,
        extra_suffixes: Sequence[str] = (),
        cache_fetch_timeout: str | float | None = CACHE_TIMEOUT,
    ) -> None:
        if isinstance(suffix_list_urls, _UseEnvironmentUrls):
            from_environment = urls_from_environment()
            # Without URLs of its own the compiled list answers.
            self._urls_given = from_environment is not None
            suffix_list_urls = from_environment or ()
        else:
            self._urls_given = True
        suffix_list_urls = suffix_list_urls or ()
        self.suffix_list_urls = tuple(url.strip() for url in suffix_list_urls if url.strip())
        self.fallback_to_snapshot = fallback_to_snapshot
        if self._urls_given and not (self.suffix_list_urls or cache_dir or fallback_to_snapshot):
            raise ValueError(
                "The arguments you have provided disable all ways for tldextract "
                "to obtain data. Please provide a suffix list data, a cache_dir, "
                "or set `fallback_to_snapshot` to `True`."
            )
        self.include_psl_private_domains = include_psl_private_domains
        self.extra_suffixes = extra_suffixes
        self.cache_fetch_timeout = (
            float(cache_fetch_timeout)
            if isinstance(cache_fetch_timeout, str)
            else cache_fetch_timeout
        )
        self._cache = ListCache(cache_dir)
        self._lock = threading.Lock()
        # The list read (None: the compiled one). What answers from it, and
        # include_psl_private_domains as it was when it was read, are the base
        # class's _extractor and _private, which its calls read.
        self._rules: vexlo.Rules | None = _NOT_READ

    if TYPE_CHECKING:
        # The base class's calls, typed as they answer.
        def __call__(
            self,
            url: str,
            include_psl_private_domains: bool | None = None,
            session: Session | None = None,
        ) -> ExtractResult: ...

        def extract_str(
            self,
            url: str,
            include_psl_private_domains: bool | None = None,
            session: Session | None = None,
        ) -> ExtractResult: ...

        def extract_urllib(
            self,
            url: urllib.parse.ParseResult | urllib.parse.SplitResult,
            include_psl_private_domains: bool | None = None,
            session: Session | None = None,
        ) -> ExtractResult: ...

    def update(self, fetch_now: bool = False, session: Session | None = None) -> None:
        """Forgets the list read and removes the lists cached under cache_dir;
        with fetch_now, fetches a list at once (from suffix_list_urls, or from
        PUBLIC_SUFFIX_LIST_URLS when the extractor has none)."""
        with self._lock:
            self._extractor = None
            self._rules = _NOT_READ
            self._cache.clear()
            if fetch_now:
                self._read_locked(session, fetch=True)

    @property
    def tlds(self) -> list[str]:
        """The suffixes answered from, as the list writes them, and the extra
        ones (the private section's too with include_psl_private_domains)."""
        self._read(None)
        listed = _columns._tldextract_suffixes(self._rules, bool(self._private))
        return list(frozenset(listed) | frozenset(self.extra_suffixes))

    def _read(self, session: Session | None) -> CapsuleType:
        with self._lock:
            if self._extractor is not None:
                return self._extractor
            return self._read_locked(session, fetch=False)

    def _read_locked(self, session: Session | None, fetch: bool) -> CapsuleType:
        if self._rules is _NOT_READ or fetch:
            self._rules = self._find_list(session, fetch)
            self._private = self.include_psl_private_domains
        if self._rules is not None and self._rules.rule_count == 0 and not self.extra_suffixes:
            raise ValueError("No tlds set. Cannot proceed without tlds.")
        extractor = _columns._tldextract_rules(
            self._rules, tuple(self.extra_suffixes), ExtractResult
        )
        self._extractor = extractor
        return extractor

    def _find_list(self, session: Session | None, fetch: bool) -> vexlo.Rules | None:
        urls = self.suffix_list_urls
        if not self._urls_given:
            if not fetch:
                return None
            urls = PUBLIC_SUFFIX_LIST_URLS
        rules = first_list(self._cache, urls, self.cache_fetch_timeout, session)
        if rules is None and not self.fallback_to_snapshot:
            raise SuffixListNotFound(
                "No remote Public Suffix List found. Consider using a mirror, or avoid this"
                " fetch by constructing your TLDExtract with `suffix_list_urls=()`."
            )
        return rules

    # Pickled with the list read (a Rules pickles as its list's bytes), so that
    # an unpickled extractor answers from it without fetching; what answers
    # from it is made again on the first call.
    def __getstate__(self) -> dict[str, Any]:
        state = self.__dict__.copy()
        del state["_lock"]
        if state["_rules"] is _NOT_READ:
            del state["_rules"]
        else:
            state["_private"] = self._private
        return state

    def __setstate__(self, state: dict[str, Any]) -> None:
        self._private = state.pop("_private", False)
        self.__dict__.update(state)
        self.__dict__.setdefault("_rules", _NOT_READ)
        self._lock = threading.Lock()


# The extractor of the module's functions, made when the module is imported
# (which reads the environment, and nothing else).
TLD_EXTRACTOR = TLDExtract()

if TYPE_CHECKING:

    def extract(
        url: str,
        include_psl_private_domains: bool | None = False,
        session: Session | None = None,
    ) -> ExtractResult:
        """The subdomain, domain and suffix of `url`, by TLD_EXTRACTOR."""

else:
    # TLD_EXTRACTOR's method, which runs no Python code: its
    # include_psl_private_domains is False unless given (None: the
    # extractor's own), as tldextract's extract passes it.
    extract = TLD_EXTRACTOR._module_extract


def update(fetch_now: bool = False, session: Session | None = None) -> None:
    """TLD_EXTRACTOR.update(...)."""
    TLD_EXTRACTOR.update(fetch_now, session)
