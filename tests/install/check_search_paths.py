#!/usr/bin/env python3
"""Every executable and shared library built here names only absolute or
$ORIGIN-relative folders in its library search path (RPATH/RUNPATH): an
empty or relative entry makes the loader look in the current folder, where
a library of the same name would run in the driver's place.
Usage: check_search_paths.py <build-dir>"""
import re
import subprocess
import sys
from pathlib import Path

build = Path(sys.argv[1])
# CMake's own probes, and install trees other tests make while this runs.
skipped = {"CMakeFiles", "consumer-tree", "consumer-deb", "test-locales", "Testing"}
ET_EXEC, ET_DYN = 2, 3


def built_binaries():
    stack = [build]
    while stack:
        for entry in stack.pop().iterdir():
            if entry.is_symlink():
                continue
            if entry.is_dir():
                if entry.name not in skipped:
                    stack.append(entry)
                continue
            with open(entry, "rb") as f:
                head = f.read(18)
            # e_type, little-endian, after the 16-byte identification.
            if head[:4] == b"\x7fELF" and len(head) == 18 and int.from_bytes(head[16:18], "little") in (ET_EXEC, ET_DYN):
                yield entry


checked, failures = 0, []
for binary in built_binaries():
    checked += 1
    dynamic = subprocess.run(["readelf", "-d", str(binary)], capture_output=True, text=True).stdout
    for kind, path in re.findall(r"\((RPATH|RUNPATH)\)\s+Library r(?:un)?path: \[(.*)\]", dynamic):
        bad = [e for e in path.split(":") if not (e.startswith("/") or e.startswith("$ORIGIN"))]
        if bad:
            failures.append(f"{binary.relative_to(build)}: {kind} [{path}] has {len(bad)} empty or relative entries")

print(f"{checked} binaries checked")
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures or checked == 0 else 0)
