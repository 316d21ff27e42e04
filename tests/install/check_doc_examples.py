#!/usr/bin/env python3
"""Compiles every C example of the API overview against the readable header,
each as the body of a function with a session `vi` and a `status`.
Usage: check_doc_examples.py <docs/api.md> <generated include dir> <source include dir> <cc>"""
import re
import subprocess
import sys
import tempfile
from pathlib import Path

doc, generated, include, cc = sys.argv[1:5]
blocks = re.findall(r"```c\n(.*?)```", Path(doc).read_text(), re.S)
source = "#include <stdio.h>\n#include \"ZOR.h\"\n"
for n, body in enumerate(blocks):
    source += f"void example_{n}(ViSession vi) {{\n    ViStatus status = 0;\n{body}    (void)status;\n    (void)vi;\n}}\n"
with tempfile.TemporaryDirectory() as folder:
    path = Path(folder) / "examples.c"
    path.write_text(source)
    result = subprocess.run([cc, "-std=c99", "-Wall", "-Wextra", "-Werror", "-fsyntax-only", f"-I{generated}",
                             f"-I{include}", str(path)], capture_output=True, text=True)
print(f"{len(blocks)} examples")
if result.returncode != 0:
    print(result.stderr)
sys.exit(1 if result.returncode != 0 or not blocks else 0)
