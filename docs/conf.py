"""Sphinx configuration of the nkswarm user guide (Markdown pages read by MyST).

Build: sphinx-build -W -b html docs build/docs-html, with the built Python module on
PYTHONPATH (the API page is generated from its docstrings).
"""

import os
import re
import sys

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))

# The API page imports the compiled module: the package folder of a build (scripts/docs.py site
# names it), else build/python, else an installed one.
for candidate in (os.environ.get("NKSWARM_PYTHON_DIR"), os.path.join(ROOT, "build", "python")):
    if candidate and os.path.isdir(os.path.join(candidate, "nkswarm")):
        sys.path.insert(0, candidate)
        break

with open(os.path.join(ROOT, "CMakeLists.txt")) as f:
    release = re.search(r"project\(\s*nkswarm\s+VERSION\s+([0-9.]+)", f.read()).group(1)
version = release

project = "nkswarm"
author = "the nkswarm developers"
copyright = "the nkswarm developers"

extensions = ["myst_parser", "sphinx.ext.autodoc"]
source_suffix = {".md": "markdown"}
exclude_patterns = ["_build"]
# Links to a heading of another page (page.md#heading) resolve like links to a page.
myst_heading_anchors = 3
myst_enable_extensions = ["colon_fence"]
# Options such as --agents stay as typed, not turned into dashes.
smartquotes = False

autodoc_member_order = "bysource"
autodoc_default_options = {"members": True, "undoc-members": False}

html_theme = "alabaster"
html_title = "nkswarm %s" % release
html_theme_options = {"description": "collective search on NK fitness landscapes", "fixed_sidebar": True}
html_sidebars = {"**": ["about.html", "navigation.html", "searchbox.html"]}
