"""python -m vexlo.tldextract: tldextract's command line (see cli)."""

from vexlo.tldextract.cli import main

main()
