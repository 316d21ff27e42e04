#!/usr/bin/env python3
"""Both import libraries of the Windows driver name exactly the DLL's
exports, undecorated: the MinGW one (written by the linker from the export
definition) and the one for Microsoft's linker (short import members, each
importing by plain name from ZOR_x64.dll).
Usage: check_import_libraries.py <ZOR_x64.dll> <MinGW import library> <Microsoft import library>
Tools (override by environment): ZOR_OBJDUMP, ZOR_NM, ZOR_LLVM_READOBJ."""
import os
import re
import shutil
import subprocess
import sys

dll, mingw_library, msvc_library = sys.argv[1:4]


def tool(variable, *names):
    for name in (os.environ.get(variable), *names):
        if name and shutil.which(name):
            return name
    sys.exit(f"check_import_libraries: none of {names} found (set {variable})")


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout


def dll_exports():
    text = run(tool("ZOR_OBJDUMP", "x86_64-w64-mingw32-objdump"), "-p", dll)
    table = text.split("[Ordinal/Name Pointer] Table", 1)[1]
    names = []
    for line in table.splitlines()[1:]:
        m = re.match(r"\s*\[\s*\d+\]\s+(\S+)$", line)
        if not m:
            break
        names.append(m.group(1))
    return names


def mingw_imports():
    text = run(tool("ZOR_NM", "x86_64-w64-mingw32-nm"), mingw_library)
    return [m.group(1) for m in re.finditer(r"^[0-9a-f]* *I __imp_(\S+)$", text, re.M)]


def msvc_imports(failures):
    readobj = tool("ZOR_LLVM_READOBJ", "llvm-readobj", "llvm-readobj-16", "llvm-readobj-15", "llvm-readobj-14")
    names = []
    for member in run(readobj, msvc_library).split("\nFile: ")[1:]:
        if "Format: COFF-import-file" not in member:
            continue  # the import descriptor and its terminators
        fields = dict(re.findall(r"^([\w ]+): (.*)$", member, re.M))
        symbols = re.findall(r"^Symbol: (\S+)$", member, re.M)
        dll_name = member.splitlines()[0].strip()
        code = [s for s in symbols if not s.startswith("__imp_")]
        if dll_name != "ZOR_x64.dll" or fields.get("Name type") != "name" or fields.get("Type") != "code" \
                or len(code) != 1 or symbols != ["__imp_" + code[0], code[0]]:
            failures.append(f"Microsoft import member not a plain-name code import from ZOR_x64.dll: {member[:200]!r}")
            continue
        names.append(code[0])
    return names


failures = []
exports = dll_exports()
if not exports:
    failures.append(f"{dll} exports nothing")
for label, names in (("MinGW", mingw_imports()), ("Microsoft", msvc_imports(failures))):
    if len(names) != len(set(names)):
        failures.append(f"{label} import library names a function twice")
    missing, extra = sorted(set(exports) - set(names)), sorted(set(names) - set(exports))
    if missing or extra:
        failures.append(f"{label} import library: missing {missing[:10]}, not exported {extra[:10]}")
    print(f"{label} import library: {len(names)} names")
print(f"{os.path.basename(dll)}: {len(exports)} exports")
for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
