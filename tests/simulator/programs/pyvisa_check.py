"""PyVISA's pure-Python backend reads a trace from vna-sim as ASCII and as
REAL,64 blocks in both byte orders, and the numbers agree.

usage: pyvisa_check.py PATH_TO_VNA_SIM   (exit 77: skipped, pyvisa missing)
"""
import subprocess
import sys

try:
    import pyvisa
except ImportError:
    print("skipped: pyvisa is not installed for", sys.executable)
    sys.exit(77)

sim = subprocess.Popen([sys.argv[1], "--port", "0", "--instant"], stdout=subprocess.PIPE, text=True)
try:
    line = sim.stdout.readline()
    port = int(line.rsplit(":", 1)[1])
    rm = pyvisa.ResourceManager("@py")
    inst = rm.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET", read_termination="\n", write_termination="\n",
                            timeout=10000)
    inst.write(":SENS1:SWE:POIN 1001;:SENS1:SWE:MODE HOLD")
    text = inst.query_ascii_values(":CALC1:TRAC2:DATA:SDAT?")
    assert len(text) == 2002, len(text)
    for order, big in (("NORM", True), ("SWAP", False)):
        inst.write(f":FORM REAL,64;:FORM:BORD {order}")
        block = inst.query_binary_values(":CALC1:TRAC2:DATA:SDAT?", datatype="d", is_big_endian=big)
        assert len(block) == len(text), (order, len(block))
        worst = max(abs(a - b) / (abs(b) + 1e-300) for a, b in zip(block, text))
        assert worst < 1e-12, (order, worst)
        x = inst.query_binary_values(":CALC1:TRAC2:DATA:XAX?", datatype="d", is_big_endian=big)
        assert len(x) == 1001 and x[0] == 3e5 and x[-1] == 9e9, (order, x[0], x[-1])
    inst.write(":FORM ASC")
    assert inst.query("*OPC?").strip() == "1"
    inst.close()
    print("ASCII and REAL,64 agree on", len(text), "values")
finally:
    sim.terminate()
    sim.wait(timeout=10)
