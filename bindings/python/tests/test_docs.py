"""The example of docs/python.md runs as printed: it hosts a game and lists it."""
import os
import re
import subprocess
import sys

from conftest import ROOT


def test_documented_example_runs(private_network):
    page = (ROOT / "docs" / "python.md").read_text(encoding="utf-8")
    example = re.search(r"```python\n(.*?)```", page, re.S).group(1)
    env = dict(os.environ, PYTHONPATH=str(ROOT / "bindings" / "python"))
    run = subprocess.run([sys.executable, "-c", example], cwd=ROOT, env=env, capture_output=True, text=True,
                         timeout=60)
    assert run.returncode == 0, run.stderr
    assert "127.0.0.1:22000" in run.stdout and "Python Example" in run.stdout, run.stdout
