"""PyVISA's pure-Python backend doing the ratio bench's work against the
same vna-sim, for the peer column of scripts/bench.

    pyvisa_peer.py <port> <points>

Prints one line per task, "name best_seconds_per_call", or nothing when
PyVISA or its pure-Python backend is not installed (the bench then leaves
the column out).
"""
import sys
import time


def best_of(repeats, calls, task):
    best = None
    for _ in range(repeats):
        start = time.perf_counter()
        for _ in range(calls):
            task()
        elapsed = (time.perf_counter() - start) / calls
        best = elapsed if best is None else min(best, elapsed)
    return best


def main():
    port, points = int(sys.argv[1]), int(sys.argv[2])
    try:
        import pyvisa
        rm = pyvisa.ResourceManager("@py")
    except Exception:  # no PyVISA, or no pure-Python backend: no column
        return 0
    inst = rm.open_resource(f"TCPIP::127.0.0.1::{port}::SOCKET", read_termination="\n", write_termination="\n",
                            timeout=20000)
    results = {}
    results["get"] = best_of(3, 200, lambda: float(inst.query(":SENSe1:FREQuency:STARt?")))

    def set_get():
        inst.write(":SENSe1:FREQuency:STARt 1.000000000000e+06")
        float(inst.query(":SENSe1:FREQuency:STARt?"))

    results["set_get"] = best_of(3, 200, set_get)
    inst.write(f":SENSe1:SWEep:POINts {points}")
    inst.query("*OPC?")
    command = ":CALCulate1:TRACe1:DATA:SDATa?"

    def ascii_fetch():
        if len(inst.query_ascii_values(command)) != 2 * points:
            raise RuntimeError("wrong value count")

    results["trace_ascii"] = best_of(3, 1, ascii_fetch)
    inst.write(":FORMat:DATA REAL,64")
    inst.write(":FORMat:BORDer SWAPped")

    def binary_fetch():
        values = inst.query_binary_values(command, datatype="d", is_big_endian=False)
        if len(values) != 2 * points:
            raise RuntimeError("wrong value count")

    try:
        results["trace_real64"] = best_of(3, 1, binary_fetch)
    finally:
        inst.write(":FORMat:DATA ASCii")
        inst.write(":FORMat:BORDer NORMal")
    inst.close()
    rm.close()
    for name, seconds in results.items():
        print(name, repr(seconds))
    return 0


if __name__ == "__main__":
    sys.exit(main())
