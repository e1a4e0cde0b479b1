"""Public Suffix List lookups from a rule trie compiled into the module, and
the host names of URLs and e-mail addresses to ask them of."""

from vexlo._columns import host
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

__all__ = [
    "publicsuffix",
    "privatesuffix",
    "is_public",
    "is_private",
    "privateparts",
    "subdomain",
    "host",
    "LIST_CHECKSUM",
]
