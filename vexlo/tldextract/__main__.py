"""python -m vexlo.tldextract: tldextract's command line (see cli)."""

from vexlo.tldextract.cli import main

# Guarded, so that importing the module (as stubtest does) runs nothing.
if __name__ == "__main__":
    main()
