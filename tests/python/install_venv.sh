#!/bin/sh
# The install command of the docs, word for word, in a clean virtual
# environment, from a copy of the clone whose build/bin is this build's; then
# the package must find the driver with no environment variable.
# Usage: install_venv.sh <source-dir> <build bin dir> <work dir>
set -eu
source="$1"
bin="$2"
work="$3"
rm -rf "$work"
mkdir -p "$work/clone/build"
cp -r "$source/python" "$work/clone/python"
ln -s "$bin" "$work/clone/build/bin"
command="$(grep -m1 '^/usr/bin/python3 -m venv' "$source/python/README.md")"
echo "$command"
(cd "$work/clone" && sh -c "$command" >"$work/pip.log" 2>&1) || { cat "$work/pip.log"; exit 1; }
cd "$work"
env -u ZOR_LIBRARY -u PYTHONPATH ZOR_QUIET=1 "$work/clone/.venv/bin/python" -c '
import zor
with zor.Session("SIM::venv::INSTR", reset=True) as vna:
    print(zor.__file__, zor.library()._name, vna.get("MEASUREMENT_PARAMETER", "Trace2"))'
