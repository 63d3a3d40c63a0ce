"""The README's Python examples run as written, in order, as one script."""

import pathlib
import re

README = pathlib.Path(__file__).resolve().parents[2] / "README.md"


def test_the_readme_examples_run_in_order_as_one_script(capsys):
    blocks = re.findall(r"^```python\n(.*?)^```$", README.read_text(encoding="utf-8"), re.M | re.S)
    assert len(blocks) >= 9
    exec(compile("".join(blocks), str(README), "exec"), {"__name__": "readme"})
