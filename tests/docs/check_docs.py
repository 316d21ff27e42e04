#!/usr/bin/env python3
"""Runs the examples of the docs as a reader would, against the built driver
and the in-process simulated analyzer, and checks what they print.

Fenced blocks of a page:
  ```c         a whole program (it has main) is built and run; any other
               block is the body of a function given a session `vi` and a
               `ViStatus status`: it runs on a freshly reset analyzer, every
               `status = ...;` must succeed (unless the next line tests
               status), and the analyzer's error queue must be empty after it
  ```python    run with the driver of this build
  ```output    what the block just before prints: the same text, whole numbers
               exact, others within 2 % (or two units of the last digit shown); the driver's console lines ([INFO] ...)
               are left out on both sides
  c norun / python norun: compiled only.
  c fragment: lines quoted from a program that a test of its own runs; left alone.

  check_docs.py --bin DIR --cc CC -I DIR... [--quote PAGE=FILE]... PAGE...
--quote: the page holds FILE's whole text as one block."""
import argparse
import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path

FENCE = re.compile(r"^```(\w*)([^\n]*)\n(.*?)^```[ \t]*$", re.S | re.M)
NUMBER = re.compile(r"[-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?")
CONSOLE = re.compile(r"^\[(INFO|ERROR|Warning|WARNING|SUCCESS)\]")

failures = []


def blocks(page):
    """(language, options, text, expected output or None) of each example."""
    found = [(m.group(1), m.group(2).split(), m.group(3)) for m in FENCE.finditer(page.read_text())]
    out = []
    for k, (language, options, text) in enumerate(found):
        if language in ("c", "python") and "fragment" not in options:
            following = found[k + 1] if k + 1 < len(found) else None
            expected = following[2] if following and following[0] == "output" else None
            out.append((language, options, text, expected))
    return out


def last_digit(number):
    """The value of one unit in the last digit shown: 0.01 for "-7.29"."""
    mantissa, _, exponent = number.lower().partition("e")
    decimals = len(mantissa.partition(".")[2])
    return 10.0 ** (int(exponent or 0) - decimals)


def same_output(expected, actual):
    """Line by line: the words equal, the numbers near."""
    def lines(text):
        return [line.rstrip() for line in text.strip("\n").splitlines() if not CONSOLE.match(line)]
    want, got = lines(expected), lines(actual)
    if len(want) != len(got):
        return False
    for w, g in zip(want, got):
        if NUMBER.sub("#", w) != NUMBER.sub("#", g):
            return False
        for shown, printed in zip(NUMBER.findall(w), NUMBER.findall(g)):
            if re.fullmatch(r"[-+]?\d+", shown):  # counts, statuses: exact
                if shown != printed:
                    return False
            elif abs(float(shown) - float(printed)) > max(0.02 * abs(float(shown)), 2 * last_digit(shown)):
                return False
    return True


def checked_body(body):
    """Each `status = ...;` statement followed by a check of it."""
    out, lines = [], body.splitlines()
    statement = False
    for k, line in enumerate(lines):
        out.append(line)
        if line.strip().startswith("status = "):
            statement = True
        if statement and re.search(r";\s*(/\*.*\*/)?\s*$", line):
            statement = False
            following = next((x.strip() for x in lines[k + 1:] if x.strip()), "")
            if not following.startswith("if (status"):
                out.append(f"    if (status < 0) return example_failed_(vi, status, {k + 1});")
    return "\n".join(out) + "\n"


def run(command, what, expected=None, **kwargs):
    result = subprocess.run(command, capture_output=True, text=True, timeout=300, **kwargs)
    if result.returncode != 0:
        failures.append(f"{what}: exit {result.returncode}\n{result.stdout}{result.stderr}")
    elif expected is not None and not same_output(expected, result.stdout):
        failures.append(f"{what}: printed\n{result.stdout}\nwhere the page shows\n{expected}")
    return result


HARNESS = r"""#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <math.h>
#include "ZOR.h"
static __attribute__((unused)) int example_failed_(ViSession vi, ViStatus status, int line) {
    ViStatus code = 0;
    char text[1024] = "";
    ZOR_GetError(vi, &code, sizeof text, text);
    printf("line %d of the example: status 0x%08X: %s\n", line, (unsigned)status, text);
    return 1;
}
"""

MAIN = r"""int main(int argc, char** argv) {
    char resource[64], message[ZOR_MESSAGE_BUFFER_SIZE];
    ViSession vi = VI_NULL;
    ViInt32 code = 0;
    int n = atoi(argv[1]), result, errors = 0;
    snprintf(resource, sizeof resource, "SIM::docs%d::INSTR", n);
    if (ZOR_InitWithOptions(resource, VI_TRUE, VI_TRUE, "", &vi) < 0) return 2;
    result = examples[n](vi);
    while (result == 0 && ZOR_error_query(vi, &code, message) >= 0 && code != 0 && errors++ < 10)
        printf("the analyzer refused something: %d, %s\n", (int)code, message);
    ZOR_close(vi);
    (void)argc;
    return result != 0 || errors != 0;
}
"""


def check_c(page, examples, args, folder):
    bodies = [(k, text, expected) for k, (lang, opts, text, expected) in enumerate(examples)
              if lang == "c" and "int main(" not in text]
    flags = ["-std=c99", "-Wall", "-Wextra", "-Werror"] + [f"-I{d}" for d in args.include]
    link = [f"-L{args.bin}", "-lZOR_x64", "-lm", f"-Wl,-rpath,{args.bin}"]
    for k, (lang, opts, text, expected) in enumerate(examples):
        if lang != "c" or "int main(" not in text:
            continue
        source, program = folder / f"program{k}.c", folder / f"program{k}"
        source.write_text(text)
        what = f"{page}: program {k + 1}"
        if "norun" in opts:
            run([args.cc] + flags + ["-fsyntax-only", str(source)], what)
        elif run([args.cc] + flags + [str(source), "-o", str(program)] + link, what).returncode == 0:
            run([str(program)], what, expected, cwd=args.bin)
    if not bodies:
        return
    # VISA examples compile against the VISA header; they run elsewhere.
    for k, text, _ in bodies:
        if re.search(r"\bvi[A-Z]\w*\(", text):
            source = folder / f"visa{k}.c"
            source.write_text('#include "visa.h"\n#define DECLARE(name, result, parameters) result ZOR_VISA_CALL name parameters;\n'
                              "ZOR_VISA_FUNCTIONS(DECLARE)\nZOR_VISA_INSTRUMENT_FUNCTIONS(DECLARE)\n"
                              "ViStatus viPrintf(ViSession vi, ViConstString format, ...);\n"
                              f"void example(ViSession vi) {{\n{text}}}\n")
            run([args.cc] + flags + ["-fsyntax-only", str(source)], f"{page}: VISA example {k + 1}")
    runnable = [(k, text, expected) for k, text, expected in bodies if not re.search(r"\bvi[A-Z]\w*\(", text)]
    if not runnable:
        return
    source = HARNESS
    for k, text, _ in runnable:
        source += f"static int example{k}(ViSession vi) {{\n    ViStatus status = 0;\n{checked_body(text)}" \
                  f"    (void)status;\n    (void)vi;\n    return 0;\n}}\n"
    source += "static int (*examples[])(ViSession) = {" + ", ".join(f"example{k}" for k, _, _ in runnable) + "};\n"
    (folder / "bodies.c").write_text(source + MAIN)
    program = folder / "bodies"
    if run([args.cc] + flags + [str(folder / "bodies.c"), "-o", str(program)] + link, f"{page}: examples"
           ).returncode != 0:
        return
    for n, (k, text, expected) in enumerate(runnable):
        if "norun" not in examples[k][1]:
            run([str(program), str(n)], f"{page}: example {k + 1}\n{text}", expected, cwd=args.bin)


def check_python(page, examples, args, folder):
    env = dict(os.environ, PYTHONPATH=str(Path(args.source).resolve() / "python"),
               ZOR_LIBRARY=str(Path(args.bin).resolve() / "libZOR_x64.so.1"))
    for k, (lang, opts, text, expected) in enumerate(examples):
        if lang != "python":
            continue
        if "norun" in opts:
            try:
                compile(text, f"{page} block {k + 1}", "exec")
            except SyntaxError as error:
                failures.append(f"{page}: Python example {k + 1}: {error}")
            continue
        script = folder / f"example{k}.py"
        script.write_text(text)
        run([sys.executable, str(script)], f"{page}: Python example {k + 1}", expected, cwd=args.bin, env=env)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True)
    parser.add_argument("--bin", required=True)
    parser.add_argument("--cc", required=True)
    parser.add_argument("-I", dest="include", action="append", default=[])
    parser.add_argument("--quote", action="append", default=[])
    parser.add_argument("pages", nargs="+")
    args = parser.parse_args()
    args.bin = str(Path(args.bin).resolve())
    for quote in args.quote:
        page, file = quote.split("=", 1)
        text = (Path(args.source) / file).read_text()
        if text not in [m.group(3) for m in FENCE.finditer((Path(args.source) / page).read_text())]:
            failures.append(f"{page} does not quote {file} as it is")
    count = 0
    with tempfile.TemporaryDirectory() as scratch:
        for n, name in enumerate(args.pages):
            page = Path(args.source) / name
            examples = blocks(page)
            count += len(examples)
            folder = Path(scratch) / str(n)
            folder.mkdir()
            check_c(name, examples, args, folder)
            check_python(name, examples, args, folder)
    print(f"{count} examples in {len(args.pages)} pages")
    for failure in failures:
        print("FAIL:", failure)
    sys.exit(1 if failures or count == 0 else 0)


if __name__ == "__main__":
    main()
