"""tldextract's command line, answered by vexlo: the same options, and the
same output, plain or --json."""

import sys

from vexlo._version import __version__
from vexlo.tldextract.suffix_list import as_url
from vexlo.tldextract.tldextract import TLDExtract

PROPERTIES = (
    "fqdn",
    "ipv4",
    "ipv6",
    "registered_domain",
    "reverse_domain_name",
    "top_domain_under_public_suffix",
    "top_domain_under_registry_suffix",
)


def main() -> None:
    """Splits each fqdn or URL given into subdomain, domain and suffix."""
    # Imported here: the package imports this module, and only the command
    # line needs them.
    import argparse
    import dataclasses
    import json

    parser = argparse.ArgumentParser(
        prog="python -m vexlo.tldextract", description="Parse hostname from a url or fqdn"
    )
    parser.add_argument("--version", action="version", version="%(prog)s " + __version__)
    parser.add_argument(
        "-j", "--json", default=False, action="store_true", help="output in json format"
    )
    parser.add_argument("input", metavar="fqdn|url", type=str, nargs="*", help="fqdn or url")
    parser.add_argument(
        "-u",
        "--update",
        default=False,
        action="store_true",
        help="force fetch the latest TLD definitions",
    )
    parser.add_argument(
        "--suffix_list_url",
        action="append",
        required=False,
        help="use an alternate URL or local file for TLD definitions",
    )
    parser.add_argument("-c", "--cache_dir", help="use an alternate TLD definition caching folder")
    parser.add_argument(
        "-p",
        "--include_psl_private_domains",
        "--private_domains",
        default=False,
        action="store_true",
        help="Include private domains",
    )
    parser.add_argument(
        "--no_fallback_to_snapshot",
        default=True,
        action="store_false",
        dest="fallback_to_snapshot",
        help="Don't fall back to the list compiled into vexlo",
    )
    args = parser.parse_args()

    options = {
        "include_psl_private_domains": args.include_psl_private_domains,
        "fallback_to_snapshot": args.fallback_to_snapshot,
    }
    if args.cache_dir:
        options["cache_dir"] = args.cache_dir
    if args.suffix_list_url is not None:
        options["suffix_list_urls"] = [as_url(source) for source in args.suffix_list_url]
    extractor = TLDExtract(**options)

    if args.update:
        extractor.update(True)
    elif not args.input:
        parser.print_usage()
        sys.exit(1)

    for text in args.input:
        ext = extractor(text)
        if args.json:
            fields = dataclasses.asdict(ext)
            print(json.dumps({**fields, **{name: getattr(ext, name) for name in PROPERTIES}}))
        else:
            print(f"{ext.subdomain} {ext.domain} {ext.suffix}")
