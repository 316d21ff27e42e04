#!/usr/bin/env bash
# A peer's VXI-11 client drives vna-sim's VXI-11 server: PyVISA's pure-Python
# backend, or lxi-tools. Both look the portmapper up on port 111, so vna-sim
# must be able to serve it there (free, and root): elsewhere the test says
# so and is skipped (exit 77).
# Usage: vxi11_peer_test.sh <vna-sim> pyvisa|lxi
set -u
sim="$1"
peer="$2"
skip() {
    echo "SKIPPED: $*"
    exit 77
}
fail() {
    echo "FAILED: $*"
    exit 1
}

case "$peer" in
pyvisa) /usr/bin/python3 -c "import pyvisa, pyvisa_py" 2>/dev/null || skip "Debian's python3-pyvisa-py is not installed" ;;
lxi) command -v lxi >/dev/null || skip "lxi-tools is not installed" ;;
*) fail "unknown peer $peer" ;;
esac

dir="$(mktemp -d)"
pid=""
cleanup() {
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    fi
    rm -rf "$dir"
}
trap cleanup EXIT
"$sim" --port 0 --vxi11 --verbose >"$dir/out" 2>"$dir/err" &
pid=$!
for _ in $(seq 200); do
    grep -q "listening on" "$dir/out" && break
    sleep 0.05
done
grep -q "listening on" "$dir/out" || fail "vna-sim did not start: $(cat "$dir/err")"
grep -q "vxi11 portmapper on 127.0.0.1:111$" "$dir/out" ||
    skip "port 111 is taken or not bindable here (needs root and no portmapper running): $(head -1 "$dir/err")"

identity="Quorvex Technologies,ZOR4220,SIM00001,1.0.0"
if [ "$peer" = pyvisa ]; then
    out="$(timeout 60 /usr/bin/python3 - <<'PY' 2>&1
import pyvisa
rm = pyvisa.ResourceManager("@py")
inst = rm.open_resource("TCPIP0::127.0.0.1::inst0::INSTR")
inst.timeout = 5000
print(inst.query("*IDN?").strip())
inst.write(":SENSe1:FREQuency:STARt 2.5E6")
print(float(inst.query(":SENSe1:FREQuency:STARt?")))
inst.write("*CLS;*ESE 32;*SRE 32;:NO:SUCH:COMMand")
print(inst.query("*OPC?").strip(), inst.read_stb() & 0x60)
inst.write("*IDN?")
inst.clear()
inst.lock_excl()
print(inst.query(":SYSTem:ERRor?").strip())
inst.unlock()
inst.close()
PY
)" || fail "pyvisa: $out"
    expected="$identity
2500000.0
1 96
-113,\"Undefined header\""
    [ "$out" = "$expected" ] || fail "pyvisa answered:
$out
expected:
$expected"
else
    out="$(timeout 60 lxi scpi -a 127.0.0.1 "*IDN?" 2>&1)" || fail "lxi: $out"
    [ "$out" = "$identity" ] || fail "lxi *IDN? answered '$out'"
    timeout 60 lxi scpi -a 127.0.0.1 ":SENSe2:SWEep:POINts 55" >/dev/null 2>&1 || fail "lxi could not write"
    out="$(timeout 60 lxi scpi -a 127.0.0.1 ":SENSe2:SWEep:POINts?" 2>&1)" || fail "lxi: $out"
    [ "$out" = "55" ] || fail "lxi :SENSe2:SWEep:POINts? answered '$out'"
fi
grep -q '^\[vxi11-[0-9]*\] > \*IDN?$' "$dir/err" || fail "vna-sim logged no *IDN? over VXI-11"
echo "$peer drove vna-sim over VXI-11"
