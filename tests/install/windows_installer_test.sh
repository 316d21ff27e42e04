#!/usr/bin/env bash
# The Windows installer as a test station meets it, under Wine in a fresh
# prefix:
#  1. silent install into Program Files, holding the zip's tree; the
#     version in the file properties; a C program built with MinGW
#     against the installed header and import library alone, run on the
#     in-process simulated analyzer and on the installed vna-sim.exe over
#     TCP; a program for Microsoft's ABI (clang, lld-link) linked against the
#     installed ZOR_x64.lib alone; silent uninstall;
#  2. a machine with its own VISA and engine, and a folder given with /D=:
#     the stand-ins stay out;
#  3. installing again with /COMPONENTS=: the earlier install goes first,
#     and exactly the components named come in; a misspelt name aborts;
# and after each uninstall the prefix holds what it held before.
# Usage: windows_installer_test.sh <windows-build-dir> <source-dir>
# Needs: the installer in <build>/package/ (scripts/package-windows), Wine,
# MinGW-w64 gcc, clang and lld-link.
set -euo pipefail

build="$(cd "$1" && pwd)"
source="$(cd "$2" && pwd)"
work="$build/installer-test"
started=$SECONDS

shopt -s nullglob
installers=("$build"/package/ZOR_x64-*-win64.exe)
shopt -u nullglob
if [ "${#installers[@]}" -ne 1 ]; then
    echo "installer-test: expected one installer in $build/package, found ${#installers[@]} (run scripts/package-windows)" >&2
    exit 1
fi
installer="${installers[0]}"

fail() {
    echo "installer-test: $*" >&2
    exit 1
}

# --- A fresh Wine prefix of its own, no display, no debug chatter.
if [ -n "${ZOR_WINE:-}" ]; then
    wine="$ZOR_WINE"
elif [ -x /usr/lib/wine/wine64 ]; then
    wine=/usr/lib/wine/wine64
else
    wine="$(command -v wine64 || command -v wine)"
fi
server="${wine%64}server"
command -v "$server" >/dev/null 2>&1 || server=wineserver
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export ZOR_QUIET=1
unset DISPLAY WAYLAND_DISPLAY
sim_pid=""
finish() {
    [ -z "$sim_pid" ] || kill "$sim_pid" 2>/dev/null || true
    "$server" -k >/dev/null 2>&1 || true
}
trap finish EXIT
"$wine" wineboot -i </dev/null >/dev/null 2>&1 || true
"$server" -w
[ -f "$WINEPREFIX/system.reg" ] || fail "Wine did not set up $WINEPREFIX"
drive_c="$WINEPREFIX/drive_c"
echo "installer-test: fresh prefix in $(( SECONDS - started )) s"

# Wine now and then ends a program with exit 1 before it runs; such a run
# goes once more. Programs here fail with other statuses, or fail twice.
# (Their console lines end in CR LF.)
run() {
    local rc=0
    "$wine" "$@" </dev/null || rc=$?
    if [ "$rc" -eq 1 ]; then
        echo "installer-test: exit 1 from $1 under Wine; once more"
        rc=0
        "$wine" "$@" </dev/null || rc=$?
    fi
    return "$rc"
}

# Everything in drive_c but the temporary folders, and every registry line
# naming the driver once the server has written the registry out.
snapshot() {
    "$server" -w
    (cd "$drive_c" && find . -path ./windows/temp -prune -o -path './users/*/Temp' -prune -o -print | LC_ALL=C sort)
    grep -i -h 'zor_x64' "$WINEPREFIX"/*.reg || true
}

windows_path() { "$wine" winepath -w "$1" 2>/dev/null | tr -d '\r'; }

# install <expected exit status> <installer command-line text>: through a
# batch file, so the line reaches the installer as typed in a command
# prompt (Wine would quote an argument with a space, and /D= must not be).
install() {
    local want="$1" rc=0
    printf '@"%s" %s\r\n@exit /b %%errorlevel%%\r\n' "$(windows_path "$installer")" "$2" >"$work/install.bat"
    run cmd /c "$(windows_path "$work/install.bat")" || rc=$?
    [ "$rc" -eq "$want" ] || fail "installer $2 exited $rc, expected $want"
    "$server" -w
}

uninstall() {  # <Unix folder of the install>
    [ -f "$1/Uninstall.exe" ] || fail "no Uninstall.exe in $1"
    # It copies itself to the temporary folder and returns at once; the
    # server's wait covers the copy.
    run "$1/Uninstall.exe" /S || fail "Uninstall.exe /S failed"
    "$server" -w
}

have() { for f in "$@"; do [ -e "$f" ] || fail "missing after install: $f"; done; }
lack() { for f in "$@"; do [ ! -e "$f" ] || fail "present but not asked for: $f"; done; }

before="$(snapshot)"

# --- 1. Default install, and programs built against it.
install 0 /S
root="$drive_c/Program Files/ZOR_x64"
have "$root/bin/ZOR_x64.dll" "$root/include/ZOR.h" "$root/include/zor_visatype.h" \
    "$root/lib/mingw/ZOR_x64.dll.a" "$root/lib/msvc/ZOR_x64.lib" "$root/lib/cmake/ZOR/ZORConfig.cmake" \
    "$root/bin/zor_x64/visa64.dll" "$root/bin/zor_x64/ivi.dll" "$root/bin/vna-sim.exe" \
    "$root/examples/identity.c" "$root/doc/LICENSE" "$root/doc/README.md" "$root/python/zor/__init__.py"
# Where the Python package looks for the install.
location="$(run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZOR_x64' /v InstallLocation | tr -d '\r')"
grep -q 'InstallLocation.*C:\\Program Files\\ZOR_x64$' <<<"$location" || fail "install folder not recorded: $location"
# Every component was on: the zip must hold the same tree, bar the uninstaller.
zip_tree="$(python3 -c 'import sys, zipfile
for name in zipfile.ZipFile(sys.argv[1]).namelist():
    if not name.endswith("/"):
        print(name.split("/", 1)[1])' "${installer%.exe}.zip" | LC_ALL=C sort)"
installed_tree="$(cd "$root" && find . -type f ! -name Uninstall.exe | sed 's|^\./||' | LC_ALL=C sort)"
[ "$zip_tree" = "$installed_tree" ] || fail "the zip and the install differ: $(diff <(echo "$zip_tree") <(echo "$installed_tree") | head)"
# The version in the file properties of the installer and of the DLL.
version="$(basename "$installer" | sed -n 's/^ZOR_x64-\(.*\)-win64\.exe$/\1/p')"
for f in "$installer" "$root/bin/ZOR_x64.dll"; do
    resources="$(x86_64-w64-mingw32-windres -i "$f" -O rc)"
    grep -q "VALUE \"ProductVersion\", \"$version\"" <<<"$resources" || fail "$f: no version resource saying $version"
done
echo "installer-test: installed into C:\\Program Files\\ZOR_x64"

# MinGW, the installed header and import library, nothing of the build.
mingw_cc="${ZOR_MINGW_CC:-x86_64-w64-mingw32-gcc}"
"$mingw_cc" -std=c99 -Wall -Wextra -Werror -pedantic -I"$root/include" \
    "$source/tests/install/consumer/consumer.c" -L"$root/lib/mingw" -lZOR_x64 -o "$work/consumer.exe"
imports="$(x86_64-w64-mingw32-objdump -p "$work/consumer.exe")"
grep -q 'DLL Name: ZOR_x64.dll' <<<"$imports" || fail "consumer.exe does not import ZOR_x64.dll"
export WINEPATH='C:\Program Files\ZOR_x64\bin'
out="$(cd "$work" && run ./consumer.exe | tr -d '\r')" || fail "consumer.exe on the in-process analyzer failed: $out"
[ "$out" = "consumer ok 1500000000" ] || fail "consumer.exe said: $out"
echo "installer-test: MinGW consumer, in-process analyzer: $out"

(cd "$work" && exec "$wine" "$root/bin/vna-sim.exe" --port 0 </dev/null >"$work/vna-sim.out" 2>&1) &
sim_pid=$!
port=""
for _ in $(seq 150); do
    port="$(sed -n 's/^vna-sim listening on .*:\([0-9][0-9]*\).*/\1/p' "$work/vna-sim.out")"
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || fail "the installed vna-sim.exe did not start listening: $(cat "$work/vna-sim.out")"
out="$(cd "$work" && run ./consumer.exe "TCPIP::127.0.0.1::$port::SOCKET" | tr -d '\r')" \
    || fail "consumer.exe on vna-sim.exe failed: $out"
[ "$out" = "consumer ok 1500000000" ] || fail "consumer.exe on vna-sim.exe said: $out"
kill "$sim_pid" 2>/dev/null || true
wait "$sim_pid" 2>/dev/null || true
sim_pid=""
echo "installer-test: MinGW consumer, installed vna-sim.exe on port $port: $out"

# Microsoft's ABI and a link.exe-compatible linker, the installed .lib alone.
clang_cc="${ZOR_CLANG:-clang}"
lld_link="${ZOR_LLD_LINK:-lld-link}"
"$clang_cc" --target=x86_64-pc-windows-msvc -ffreestanding -O1 -Wall -Wextra -Werror -I"$root/include" \
    -c "$source/tests/install/consumer/consumer_msvc.c" -o "$work/consumer_msvc.obj"
"$lld_link" /nologo /entry:consumer_entry /subsystem:console /nodefaultlib \
    /out:"$work/consumer_msvc.exe" "$work/consumer_msvc.obj" "$root/lib/msvc/ZOR_x64.lib"
rc=0
(cd "$work" && run ./consumer_msvc.exe) || rc=$?
[ "$rc" -eq 0 ] || fail "consumer_msvc.exe (lld-link, ZOR_x64.lib) exited $rc"
echo "installer-test: Microsoft-ABI consumer linked by lld-link against ZOR_x64.lib: ok"
unset WINEPATH

uninstall "$root"
[ ! -e "$root" ] || fail "the install folder is still there: $(cd "$root" && find . | head)"
[ "$(snapshot)" = "$before" ] || fail "the prefix differs after uninstall: $(diff <(echo "$before") <(snapshot) | head -20)"
echo "installer-test: uninstalled; the prefix is as before"

# --- 2. A machine with its own VISA and engine; a folder of our choosing.
system32="$drive_c/windows/system32"
printf 'MZ' >"$system32/visa64.dll"
printf 'MZ' >"$system32/ivi.dll"
install 0 '/S /D=C:\ZOR Station'
station="$drive_c/ZOR Station"
have "$station/bin/ZOR_x64.dll" "$station/lib/msvc/ZOR_x64.lib" "$station/examples/identity.c"
lack "$station/bin/zor_x64" "$station/bin/vna-sim.exe" "$root"
echo "installer-test: with a system VISA and engine, the stand-ins stayed out"

# --- 3. Again, naming the components: the earlier install goes first.
install 2 '/S /COMPONENTS=driver,standin'
lack "$station/bin/zor_x64"
have "$station/examples/identity.c"
install 0 '/S /COMPONENTS=driver,standins'
have "$station/bin/ZOR_x64.dll" "$station/bin/zor_x64/visa64.dll" "$station/bin/vna-sim.exe"
lack "$station/examples" "$station/doc/README.md" "$station/python"
echo "installer-test: /COMPONENTS= installs exactly what it names, over the earlier install; a misspelt name aborts"
uninstall "$station"
rm "$system32/visa64.dll" "$system32/ivi.dll"
[ "$(snapshot)" = "$before" ] || fail "the prefix differs after uninstall: $(diff <(echo "$before") <(snapshot) | head -20)"
echo "installer-test: uninstalled; the prefix is as before"

"$server" -k >/dev/null 2>&1 || true
rm -rf "$work"
echo "installer-test: passed in $(( SECONDS - started )) s ($(basename "$installer"))"
