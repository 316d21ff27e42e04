#!/usr/bin/env python3
"""docs/errors.md shows what the driver says about the everyday mistakes.
Its text blocks must be what examples/common_mistakes.c prints today, under
the same headings, and the texts it quotes in "Other texts" must be the
driver's own.
Usage: check_error_page.py <page> <common_mistakes program> <driver library>"""
import re
import subprocess
import sys
from pathlib import Path

page, program, library = (Path(a).resolve() for a in sys.argv[1:4])
failures = []

run = subprocess.run([str(program)], cwd=program.parent, capture_output=True, text=True, timeout=60)
if run.returncode != 0:
    failures.append(f"{program.name} failed with {run.returncode}: {run.stderr}")
printed = {}
heading = None
for line in run.stdout.splitlines():
    if line.startswith("== "):
        heading = line[3:]
        printed[heading] = []
    elif heading and not re.match(r"^(\[|!|\x1b)", line):  # the driver's own console lines
        printed[heading].append(line)
printed.pop("done", None)

text = page.read_text()
shown = {}
for title, body in re.findall(r"^## (.+?)\n(.*?)(?=^## |\Z)", text, re.S | re.M):
    block = re.search(r"```text\n(.*?)```", body, re.S)
    if block:
        shown[title] = block.group(1).rstrip("\n").split("\n")
    if title == "Other texts":
        driver = library.read_bytes().decode("latin-1")
        for quoted in re.findall(r'"(.*?)"', " ".join(body.split())):
            if quoted not in driver:
                failures.append(f"Other texts: the driver no longer says \"{quoted[:60]}...\"")

for title in sorted(set(printed) | set(shown)):
    if title not in shown:
        failures.append(f"the program prints \"{title}\", the page does not show it")
    elif title not in printed:
        failures.append(f"the page shows \"{title}\", the program does not print it")
    elif shown[title] != printed[title]:
        failures.append(f"\"{title}\": the page shows {shown[title]}, the program prints {printed[title]}")

print(f"{len(shown)} texts on the page, {len(printed)} printed")
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures or not shown else 0)
