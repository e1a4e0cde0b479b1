"""Public Suffix List lookups from a rule trie compiled into the module, or
from a list file loaded at run time (load_rules); the host names of URLs
and e-mail addresses to ask them of (host); and every part of one at once,
with the rule that decided (extract)."""

from vexlo._lookup import (
    LIST_CHECKSUM,
    is_private,
    is_public,
    privateparts,
    privatesuffix,
    publicsuffix,
    subdomain,
)
from vexlo._version import __version__ as __version__

# Not typing.TYPE_CHECKING: importing typing would take most of the time of
# importing vexlo. Deleted once read, so that it is no name of the package.
TYPE_CHECKING = False
if TYPE_CHECKING:
    from typing import Any

    from vexlo._columns import Extracted, extract, host
    from vexlo.rules import Rules, compiled_rules, load_rules
del TYPE_CHECKING

__all__ = [
    "publicsuffix",
    "privatesuffix",
    "is_public",
    "is_private",
    "privateparts",
    "subdomain",
    "host",
    "extract",
    "Extracted",
    "LIST_CHECKSUM",
    "Rules",
    "load_rules",
    "compiled_rules",
]


# Loaded lists, the host finder and extract live in vexlo._columns, which a
# program that only asks the compiled list never loads: these names import it
# on first use.
_RULES_NAMES = frozenset({"Rules", "load_rules", "compiled_rules"})
_COLUMNS_NAMES = frozenset({"host", "extract", "Extracted"})
# The submodules, imported on first use as attributes (vexlo.columns), as
# an import of them makes them.
_SUBMODULES = frozenset({"columns", "duckdb", "tldextract"})


def __dir__() -> list[str]:
    # The names loaded on first use are names of the package before that too.
    return sorted(globals().keys() | _RULES_NAMES | _COLUMNS_NAMES | _SUBMODULES)


def __getattr__(name: str) -> "Any":
    if name in _RULES_NAMES:
        from vexlo import rules

        return getattr(rules, name)
    if name in _COLUMNS_NAMES:
        from vexlo import _columns

        # Kept as an attribute, so that later calls find it as directly as
        # the six functions.
        value = getattr(_columns, name)
        globals()[name] = value
        return value
    if name in _SUBMODULES:
        import importlib

        # The import sets the attribute, so this runs once.
        return importlib.import_module(f"vexlo.{name}")
    raise AttributeError(f"module 'vexlo' has no attribute {name!r}")
