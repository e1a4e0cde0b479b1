"""python -m vexlo: the command line (see vexlo.cli)."""

import sys

from vexlo.cli import main

sys.exit(main())
