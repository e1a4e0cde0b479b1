# Types of the compiled column module, whose private functions serve
# vexlo.columns and the command line; stubtest compares this file with the
# built module.
from collections.abc import Iterable
from types import CapsuleType, ModuleType
from typing import Any, Final, Literal, final

from typing_extensions import disjoint_base

__all__ = [
    "_add_column_functions",
    "_line_format",
    "_answer_lines",
    "_answer_name",
    "_load_rules",
    "_compiled_rules",
    "host",
    "extract",
    "_tldextract_rules",
    "_tldextract_ip_version",
    "_tldextract_suffixes",
    "_TLDExtractBase",
    "Rules",
    "Extracted",
    "_MAX_LIST_BYTES",
]

# The most bytes a list file may have.
_MAX_LIST_BYTES: Final[int]

def _line_format(
    fields: tuple[str, ...],
    json: bool,
    depth: int,
    accept_unknown: bool,
    icann_only: bool,
    keep_case: bool,
    urls: bool,
    /,
) -> CapsuleType:
    """The row format of the vexlo command, for _answer_lines and _answer_name.
    With *urls* each name is a URL or an e-mail address, answered for its host."""

def _answer_lines(
    block: bytes, at_end: bool, format: CapsuleType, threads: int | None, rules: Rules | None, /
) -> tuple[bytes, int, int, tuple[tuple[int, int, int], ...]]:
    """Rows for the whole lines at the start of *block* (bytes), made by up to
    *threads* threads (None: every usable core), as a tuple
    (rows, consumed, lines, bad_lines). Without *at_end* the bytes after the
    last newline are not answered: *consumed* stops before them. *bad_lines*
    holds (line, byte, row_offset) for each line that is not UTF-8: its index
    in the block, its first bad byte counted from 1, and where its row starts."""

def _answer_name(
    name: bytes, format: CapsuleType, rules: Rules | None, /
) -> tuple[bytes, int | None]:
    """The row for *name* (bytes), taken whole, as a tuple (row, bad_byte):
    bad_byte is None, or the first byte that is not UTF-8 counted from 1."""

def _add_column_functions(module: ModuleType, /) -> None:
    """Makes the column functions *module*'s own (vexlo.columns)."""

def _load_rules(data: bytes, extra: Iterable[str], /) -> Rules:
    """The Rules of the bytes of a list file, with the *extra* rules (an
    iterable of str) on top; ValueError naming the first faulty line (or
    extra rule) when the file is not a list vexlo can hold."""

def _compiled_rules() -> Rules:
    """The Rules of the list compiled into vexlo, the same object every time."""

def _tldextract_rules(
    rules: Rules | None, extra_suffixes: tuple[str, ...], result_type: type[Any], /
) -> CapsuleType:
    """What a vexlo.tldextract extractor answers from: the *rules* (a Rules, or
    None for the compiled list) with the *extra_suffixes* (a tuple of str,
    written as lines of a list file) on top, answering with instances of
    *result_type*; ValueError naming a faulty extra suffix."""

def _tldextract_ip_version(text: str, /) -> Literal[0, 4, 6]:
    """4 when *text* looks like an IPv4 address to tldextract, 6 when like an
    IPv6 one, else 0."""

def _tldextract_suffixes(rules: Rules | None, include_psl_private_domains: bool, /) -> list[str]:
    """The rules of *rules* (a Rules, or None for the compiled list) as the list
    writes them, those of its ICANN section only unless
    *include_psl_private_domains*."""

def host(text: str, *, keep_ip: bool = False) -> str | None:
    """Return the host name in *text*, a URL, an e-mail address or a host name,
    as written there, or None if it has none. An IP address is None too,
    unless *keep_ip* (an IPv6 address without its brackets)."""

def extract(
    text: str, *, keep_ip: bool = False, accept_unknown: bool = True, keep_case: bool = False
) -> Extracted:
    """Return every part of the host name in *text* (a URL, an e-mail address or a
    host name) as an Extracted record: host, prefix, domain, publicsuffix,
    privatesuffix, section, rule, icann_publicsuffix and icann_privatesuffix,
    None where there is no such part."""

@final
class Extracted(
    tuple[
        str | None,
        str | None,
        str | None,
        str | None,
        str | None,
        Literal["icann", "private"] | None,
        str | None,
        str | None,
        str | None,
    ]
):
    """Every part of the host name of a URL, an e-mail address or a host name, and
    why its answers are what they are: what vexlo.extract() and Rules.extract()
    return. An immutable tuple of nine fields, None where the text has no such
    part."""

    n_fields: Final[int]
    n_sequence_fields: Final[int]
    n_unnamed_fields: Final[int]
    __match_args__: Final = (
        "host",
        "prefix",
        "domain",
        "publicsuffix",
        "privatesuffix",
        "section",
        "rule",
        "icann_publicsuffix",
        "icann_privatesuffix",
    )
    def __new__(cls, sequence: Iterable[Any], dict: dict[str, Any] = ...) -> Extracted: ...
    def __replace__(self, **changes: Any) -> Extracted: ...
    @property
    def host(self) -> str | None:
        """the host name in the text, lowercase unless keep_case, without its root dot"""
    @property
    def prefix(self) -> str | None:
        """the labels left of the private suffix ('www.shop'), '' when there are none"""
    @property
    def domain(self) -> str | None:
        """the one label left of the public suffix"""
    @property
    def publicsuffix(self) -> str | None:
        """the public suffix, as vexlo.publicsuffix gives it"""
    @property
    def privatesuffix(self) -> str | None:
        """the private suffix, as vexlo.privatesuffix gives it"""
    @property
    def section(self) -> Literal["icann", "private"] | None:
        """'icann' or 'private': the section of the rule that decided"""
    @property
    def rule(self) -> str | None:
        """the rule that decided, as the list writes it ('*' for the implicit rule)"""
    @property
    def icann_publicsuffix(self) -> str | None:
        """the public suffix with icann_only=True"""
    @property
    def icann_privatesuffix(self) -> str | None:
        """the private suffix with icann_only=True"""

@final
class Rules:
    """The rules of a Public Suffix List, to answer from: the list compiled into
    vexlo (vexlo.compiled_rules()) or a list file loaded at run time
    (vexlo.load_rules()), with any extra rules on top (with_rules(), or
    load_rules(..., extra=...)). Its methods answer exactly as the module
    functions of the same names do for the compiled list. Immutable; any
    number of threads may share one. It pickles as the list's bytes and its
    extra rules."""

    @property
    def checksum(self) -> str:
        """The lowercase hexadecimal SHA-256 of the list file's bytes (extra rules
        aside)."""
    @property
    def extra(self) -> tuple[str, ...]:
        """The extra rules on top of the list's, as given: a tuple of str."""
    @property
    def version(self) -> str | None:
        """Which list this is: its own VERSION header; for the compiled list, its date
        and commit, or "custom list" and its checksum; None when a loaded list names none."""
    @property
    def rule_count(self) -> int:
        """The rules: the rule lines of the list and the extra rules."""
    @property
    def twin_count(self) -> int:
        """The rules added in the other spelling of their internationalised labels."""
    @property
    def node_count(self) -> int:
        """The nodes of the rule trie, the root included."""
    def with_rules(self, rules: Iterable[str], /) -> Rules:
        """These rules with *rules* on top, as a new Rules: an iterable of rules
        (str), each written as on a line of a list file, added in the PRIVATE
        section. The result answers as the list file with them appended would.
        ValueError names a faulty rule by its place ("extra rule 2: ...")."""
    def __reduce__(self) -> tuple[Any, tuple[Any, ...]]:
        """Pickle as the list's bytes (the compiled list as its checksum) and the
        extra rules, loaded again by vexlo.load_rules()."""
    def publicsuffix(
        self,
        domain: str,
        *,
        accept_unknown: bool = True,
        icann_only: bool = False,
        keep_case: bool = False,
    ) -> str | None:
        """Return the longest public suffix of *domain*, or None if it has none."""
    def privatesuffix(
        self,
        domain: str,
        *,
        accept_unknown: bool = True,
        icann_only: bool = False,
        keep_case: bool = False,
    ) -> str | None:
        """Return the private suffix of *domain*: the public suffix plus one label.
        None if *domain* is entirely public, or invalid."""
    def is_public(
        self, domain: str, *, accept_unknown: bool = True, icann_only: bool = False
    ) -> bool:
        """Return whether *domain* is entirely a public suffix."""
    def is_private(
        self, domain: str, *, accept_unknown: bool = True, icann_only: bool = False
    ) -> bool:
        """Return whether *domain* is a private suffix or a subdomain of one."""
    def privateparts(
        self,
        domain: str,
        *,
        accept_unknown: bool = True,
        icann_only: bool = False,
        keep_case: bool = False,
    ) -> tuple[str, ...] | None:
        """Return a tuple of the subdomain labels of *domain* followed by its private
        suffix, or None if it has no private suffix."""
    def extract(
        self,
        text: str,
        *,
        keep_ip: bool = False,
        accept_unknown: bool = True,
        keep_case: bool = False,
    ) -> Extracted:
        """Return every part of the host name in *text* (a URL, an e-mail address or a
        host name) as an Extracted record: host, prefix, domain, publicsuffix,
        privatesuffix, section, rule, icann_publicsuffix and icann_privatesuffix,
        None where there is no such part."""
    def subdomain(
        self,
        domain: str,
        depth: int,
        *,
        accept_unknown: bool = True,
        icann_only: bool = False,
        keep_case: bool = False,
    ) -> str | None:
        """Return the suffix of *domain* reaching *depth* labels beyond its private
        suffix, or None if *domain* has too few labels. Depth 0 is the private
        suffix itself."""

# Its instances hold C fields, so no class can derive from it and another such.
@disjoint_base
class _TLDExtractBase:
    """The calls of vexlo.tldextract.TLDExtract, answered in C; the class itself is
    that one."""

    _extractor: CapsuleType | None
    """What answers: the capsule of _tldextract_rules, or None until the list is read."""
    _private: object
    """include_psl_private_domains as it was when the list was read."""
    def __call__(
        self, url: str, include_psl_private_domains: bool | None = None, session: Any = None
    ) -> Any: ...
    def extract_str(
        self, url: str, include_psl_private_domains: bool | None = None, session: Any = None
    ) -> Any:
        """The ExtractResult of *url* (any str)."""
    def extract_urllib(
        self, url: Any, include_psl_private_domains: bool | None = None, session: Any = None
    ) -> Any:
        """The ExtractResult of a URL that urllib.parse has split (its netloc)."""
    def _module_extract(
        self, url: str, include_psl_private_domains: bool | None = False, session: Any = None
    ) -> Any:
        """The ExtractResult of *url* (any str): the module's extract, bound to its
        extractor, whose include_psl_private_domains it takes for None only."""
