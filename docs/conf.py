"""The manual's Sphinx configuration: `make docs` and Read the Docs build it the same way."""

import glob
import pathlib
import re
import sys
import types

ROOT = pathlib.Path(__file__).resolve().parents[1]

project = "dallowgate"
author = "The dallowgate developers"
copyright = "2026, The dallowgate developers"
release = version = re.search(r'^version = "([^"]+)"', (ROOT / "pyproject.toml").read_text(),
                              re.M).group(1)

extensions = ["myst_parser", "sphinx.ext.autodoc", "sphinx.ext.intersphinx"]
source_suffix = {".md": "markdown"}
exclude_patterns = ["_build"]
myst_heading_anchors = 3
nitpicky = True

# Each function's text is written once, in the type stubs' docstrings: the stubs are loaded here
# as the module `dallowgate` (they are valid Python), and the reference renders them.
STUBS = ROOT / "stubs" / "dallowgate-stubs" / "__init__.pyi"
stubs = types.ModuleType("dallowgate", "The type stubs, rendered by the reference.")
exec(compile(STUBS.read_text(), str(STUBS), "exec"), stubs.__dict__)
for function in stubs.__all__:
    getattr(stubs, function).__module__ = "dallowgate"
sys.modules["dallowgate"] = stubs
autodoc_typehints = "signature"
add_module_names = False

# Python's own objects link to its documentation: from the inventory that Debian's python3-doc
# installs where there is one (so that the build needs no network), else from docs.python.org.
inventories = sorted(glob.glob("/usr/share/doc/python3*/html/objects.inv"))
intersphinx_mapping = {"python": ("https://docs.python.org/3", inventories[-1] if inventories else None)}

html_theme = "furo"
html_title = f"dallowgate {release}"
html_static_path = []
