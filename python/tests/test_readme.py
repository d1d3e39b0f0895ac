"""The README's Python example runs as shown and prints what a user would see."""

from __future__ import annotations

import os
import subprocess
import sys

from conftest import SOURCE_DIR


def readme_example() -> str:
    readme = (SOURCE_DIR / "README.md").read_text()
    start = readme.index("```python\n") + len("```python\n")
    return readme[start:readme.index("\n```", start)]


def test_the_python_example_of_the_readme_runs(sim) -> None:
    example = readme_example()
    assert len(example.splitlines()) <= 12
    run = subprocess.run([sys.executable, "-c", example], env=dict(os.environ), capture_output=True, text=True,
                         timeout=120)
    assert run.returncode == 0, run.stderr
    assert run.stdout == ("VX-12M 1024 Mono8\n"
                          "['Width', 'Height', 'OffsetX', 'OffsetY', 'PixelFormat', 'ReverseX']\n"
                          "ERR_INVALID_ARGUMENT Invalid enum value\n")
