"""tldextract 5.4.0's interface, answered by vexlo: `from vexlo import
tldextract` in place of `import tldextract`, and the same answers for every
str, from the list compiled into vexlo unless another is asked for.

The differences are deliberate: nothing is fetched unless asked
(suffix_list_urls=, TLDEXTRACT_PUBLIC_SUFFIX_LIST_URLS or
update(fetch_now=True)); a fetched list is taken only when vexlo.load_rules
takes it; extractors are thread-safe and pickle with their list. See the
README's "Coming from tldextract"."""

from vexlo._version import __version__ as __version__
from vexlo.tldextract.cli import main
from vexlo.tldextract.suffix_list import SuffixListNotFound
from vexlo.tldextract.tldextract import (
    PUBLIC_SUFFIX_LIST_URLS,
    ExtractResult,
    TLDExtract,
    extract,
    update,
)

__all__ = [
    "__version__",
    "extract",
    "ExtractResult",
    "TLDExtract",
    "update",
    "PUBLIC_SUFFIX_LIST_URLS",
    "SuffixListNotFound",
    "main",
]
