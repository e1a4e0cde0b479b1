"""Type-checked with mypy --strict (scripts/lint), never run: every function's
declared return type used as callers use it, so a stub that drifts from the
module's behaviour breaks this file."""

import urllib.parse

import vexlo


def registrable_domain(name: str) -> str:
    suffix = vexlo.privatesuffix(name, icann_only=True)
    return suffix if suffix is not None else ""


def public_part(name: str) -> str | None:
    public = vexlo.publicsuffix(name, accept_unknown=False, keep_case=True)
    return public.upper() if public else None


def owner_labels(name: str) -> list[str]:
    parts = vexlo.privateparts(name)
    return [] if parts is None else [label.lower() for label in parts]


def one_level_down(name: str, depth: int = 1) -> str | None:
    return vexlo.subdomain(name, depth, keep_case=False)


def classify(name: str) -> str:
    if vexlo.is_public(name):
        return "public"
    return "private" if vexlo.is_private(name, accept_unknown=True) else "neither"


def registrable_domain_of_url(url: str) -> str | None:
    host = vexlo.host(url)
    return None if host is None else vexlo.privatesuffix(host)


def address_host(url: str) -> str:
    return vexlo.host(url, keep_ip=True) or ""


CHECKSUM: str = vexlo.LIST_CHECKSUM
VERSION: str = vexlo.__version__
NAMES: list[str] = vexlo.__all__


def from_a_list_file(path: str, name: str) -> tuple[str, str | None]:
    rules: vexlo.Rules = vexlo.load_rules(path)
    if rules == vexlo.compiled_rules():
        return rules.checksum, rules.version
    suffix = rules.privatesuffix(name, icann_only=True)
    return rules.checksum, suffix if suffix is None else suffix.upper()


def why(url: str) -> str:
    record: vexlo.Extracted = vexlo.extract(url, keep_ip=False, accept_unknown=True)
    host, _prefix, _domain, _public, site, *_ = record
    section = record.section
    kind = "private section" if section == "private" else section or "no listed rule"
    return f"{host}: {site or '-'} by {record.rule or 'no rule'} ({kind})"


def loaded_parts(rules: vexlo.Rules, url: str) -> tuple[str | None, str | None]:
    record = rules.extract(url, keep_case=True)
    return record.icann_publicsuffix, record.icann_privatesuffix


def registered(urls: list[str]) -> list[str]:
    """vexlo.tldextract as tldextract's users type it."""
    from vexlo import tldextract

    extractor = tldextract.TLDExtract(cache_dir=None, include_psl_private_domains=True)
    parts: list[tldextract.ExtractResult] = [extractor(url) for url in urls]
    parts.append(tldextract.extract(urls[0], include_psl_private_domains=None))
    parts.append(extractor.extract_urllib(urllib.parse.urlsplit(urls[0])))
    return [p.top_domain_under_public_suffix or p.ipv4 or p.ipv6 for p in parts]
