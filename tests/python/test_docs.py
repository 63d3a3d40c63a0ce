"""Every code example of the README, the manual and the type stubs' docstrings runs as written:
each block on its own, or, on a page that says so, the page's blocks in order as one script."""

import ast
import pathlib
import re
import textwrap

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
PAGES = [ROOT / "README.md", *sorted((ROOT / "docs").glob("*.md"))]
STUBS = ROOT / "stubs" / "dallowgate-stubs" / "__init__.pyi"
ONE_SCRIPT = "% The examples of this page run in order, as one script"
FENCE = re.compile(r"^```python\n(.*?)^```$", re.M | re.S)
CODE_BLOCK = re.compile(r"^\.\. code-block:: python\n\n((?:    .*\n|\n)+)", re.M)


def examples():
    """(test id, source, file) of every example."""
    found = []
    for page in PAGES:
        text = page.read_text(encoding="utf-8")
        blocks = FENCE.findall(text)
        name = page.relative_to(ROOT).as_posix()
        if ONE_SCRIPT in text:
            found.append((f"{name}, as one script of {len(blocks)} blocks", "".join(blocks), page))
        else:
            found += [(f"{name}, block {i}", block, page) for i, block in enumerate(blocks, 1)]
    for node in ast.parse(STUBS.read_text(encoding="utf-8")).body:
        if isinstance(node, ast.FunctionDef):
            for i, block in enumerate(CODE_BLOCK.findall(ast.get_docstring(node) + "\n"), 1):
                found.append((f"stubs, {node.name}, block {i}", textwrap.dedent(block), STUBS))
    return found


EXAMPLES = examples()


def test_every_page_and_function_has_examples():
    names = {name for name, _, _ in EXAMPLES}
    assert all(any(page.relative_to(ROOT).as_posix() in name for name in names)
               for page in (ROOT / "README.md", ROOT / "docs" / "tutorial.md"))
    assert sum(name.startswith("stubs, ") for name in names) >= 11


@pytest.mark.parametrize("name,source,path", EXAMPLES, ids=[name for name, _, _ in EXAMPLES])
def test_example_runs(name, source, path):
    exec(compile(source, f"{path} ({name})", "exec"), {"__name__": "example"})
