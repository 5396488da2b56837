"""Collective search on NK fitness landscapes: batch runs, configurations and landscapes.

The compiled part is nkswarm._core; the tables (Result.frame() and the like) and sweep() are in
Python and need pandas only when a table is asked for.
"""
from nkswarm._core import (
    Config,
    ConfigError,
    ConfigWarning,
    GenomeError,
    Result,
    __version__,
    analyze,
    keywords,
    landscape,
    run,
)
from nkswarm._study import sweep

__all__ = ["Config", "ConfigError", "ConfigWarning", "GenomeError", "Result", "analyze", "keywords", "landscape",
           "run", "sweep"]

ConfigError.__doc__ = """A configuration or genome file the program's reader refuses; the message is the program's."""
GenomeError.__doc__ = """A genome population file that cannot be loaded (a ConfigError)."""
ConfigWarning.__doc__ = """A warning of the program's reader: raised once, when the configuration is read or edited."""

# Shown as the package's own, as before it had a compiled part.
for _cls in (Config, Result):
    _cls.__module__ = __name__
del _cls
