#!/usr/bin/env python3
"""The declaration tables, the readable header, the driver's exports and the
Python package's table module must name the same things.
Usage: check_tables.py <source-dir> <generated ZOR.h> <libZOR_x64.so>"""
import re
import subprocess
import sys
from pathlib import Path

source, header, library = Path(sys.argv[1]), Path(sys.argv[2]), sys.argv[3]
sys.path.insert(0, str(source / "cmake"))
import zor_tables  # noqa: E402

failures = []


def same(label, a, b):
    if a != b:
        failures.append(f"{label}: only in the first: {sorted(a - b)[:10]}; only in the second: {sorted(b - a)[:10]}")


tables = set(zor_tables.export_names(source / "include"))
text = header.read_text()
declared = re.findall(r"^ZOR_API ViStatus ZOR_CALL (ZOR_\w+)\(", text, re.M)
nm = subprocess.run(["nm", "-D", "--defined-only", library], check=True, capture_output=True, text=True).stdout
exported = {line.split()[-1] for line in nm.splitlines() if len(line.split()) >= 3}

same("tables vs header", tables, set(declared))
same("header vs exports", set(declared), exported)
if len(declared) != len(set(declared)):
    failures.append("a prototype is declared twice")
if re.search(r'#include "zor_\w+\.(def|h)"', text.replace('#include "zor_visatype.h"', "")) or "ZOR_FUNCTION(" in text:
    failures.append("the readable header still includes or names a table")

# Every prototype carries a comment with each of its parameters and statuses.
for m in re.finditer(r"/\*\*(.*?)\*/\nZOR_API ViStatus ZOR_CALL (ZOR_\w+)\((.*?)\);", text, re.S):
    doc, name, params = m.groups()
    names = [re.findall(r"(\w+)(?:\[\])?$", p.strip())[0] for p in params.split(",") if p.strip()]
    documented = re.findall(r"@param (\w+)", doc)
    if documented != names:
        failures.append(f"{name}: parameters {names}, documented {documented}")
    if "@return" not in doc:
        failures.append(f"{name}: no statuses")
commented = len(re.findall(r"\*/\nZOR_API ViStatus ZOR_CALL", text))
if commented != len(declared):
    failures.append(f"{len(declared) - commented} prototypes without a comment")

# Status codes: the header's ZOR_ERROR_* constants are exactly the status
# table's rows, and the driver's and the engine's lists are not written out by
# hand beside it.
codes = zor_tables.status_codes(source / "include")
table = {f"ZOR_ERROR_{c['name']}": c["value"] for c in codes}
mismatched = [c["name"] for c in codes if c["cxx_name"] != c["name"].lower()]
if mismatched:
    failures.append(f"status names in capitals and in small letters differ: {mismatched}")
in_header = {name: int(value, 16) for name, value in
             re.findall(r"^#define (ZOR_ERROR_\w+) \(\(ViStatus\)0x([0-9A-F]{8})L\)", text, re.M)}
if in_header != table:
    failures.append(f"status constants: header {sorted(set(in_header.items()) ^ set(table.items()))[:5]} differ")
if len({c["value"] for c in codes}) != len(codes):
    failures.append("a status value is listed twice in zor_status.def")
for listing in ("src/support/status.h", "engine/status_text.cpp", "engine/engine_status.h"):
    body = (source / listing).read_text().upper()
    by_hand = [f"0x{c['value']:08X}" for c in codes if f"0X{c['value']:08X}" in body]
    if by_hand:
        failures.append(f"{listing} lists statuses by hand: {by_hand[:5]}")

# The Python package's table module is the tables' current expansion.
committed = (source / "python" / "zor" / "_tables.py").read_text()
if committed != zor_tables.make_python(source / "include"):
    failures.append("python/zor/_tables.py is stale: run cmake/zor_tables.py python include python/zor/_tables.py")

print(f"{len(tables)} exports in the tables, {len(declared)} prototypes, {len(exported)} exports, "
      f"{len(codes)} status codes")
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
