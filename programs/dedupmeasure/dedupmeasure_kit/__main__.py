"""Runs the command from a source tree: python3 -m dedupmeasure_kit ...
The tools are then looked up on PATH unless --bin names their folder."""
import sys

from . import cli

sys.exit(cli.main())
