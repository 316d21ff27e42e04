"""The time-domain trace vna-sim answers over SCPI equals numpy's band-pass
transform of the trace's own frequency data at the instants XAXis? names,
and the electrical delay distance is c0 * velocity factor * time, halved for
a reflection.
Usage: time_domain_trace_numpy_test.py <vna-sim>"""
import sys

import numpy as np

from vna_sim_client import Analyzer

C0 = 299792458.0


def main():
    sim = Analyzer(sys.argv[1])
    try:
        sim.write(":SYST:SIM:ERR OFF;:SENS1:SWE:POIN 201;:SENS1:FREQ:STAR 2E9;:SENS1:FREQ:STOP 7E9")
        sim.write(":CALC1:PAR1:DEF S21")
        f = np.array([float(v) for v in sim.query(":SENS1:FREQ:DATA?").split(",")])
        x = sim.numbers(":CALC1:TRAC1:DATA:SDAT?")
        beta = 6.0
        sim.write(f":CALC1:TRAC1:TRAN:TIME BPAS;:CALC1:TRAC1:TRAN:TIME:KBES {beta}")
        sim.write(":CALC1:TRAC1:TRAN:TIME:STAR -2E-9;:CALC1:TRAC1:TRAN:TIME:STOP 20E-9;:CALC1:TRAC1:TRAN:TIME:STAT ON")
        t = np.array([float(v) for v in sim.query(":CALC1:TRAC1:DATA:XAX?").split(",")])
        sim.write(":CALC1:TRAC1:FORM REAL")
        real = sim.numbers(":CALC1:TRAC1:DATA:FDAT?").real
        sim.write(":CALC1:TRAC1:FORM IMAG")
        imag = sim.numbers(":CALC1:TRAC1:DATA:FDAT?").real
        got = real + 1j * imag

        want_t = np.linspace(-2e-9, 20e-9, 201)
        axis_error = np.max(np.abs(t - want_t))
        w = np.kaiser(len(f), beta)
        centre = (f[0] + f[-1]) / 2
        want = (w * x) @ np.exp(2j * np.pi * np.outer(f - centre, t)) / w.sum()
        error = np.max(np.abs(got - want))
        print(f"axis off by {axis_error:.3g} s; transform off by {error:.3g} (peak {np.max(np.abs(want)):.3g})")

        sim.write(":SENS1:CORR:EXT:PORT1:VELF 0.66;:CALC1:PAR1:DEF S11;:CALC1:TRAC1:CORR:EDEL:TIME 1E-9")
        distance = float(sim.query(":CALC1:TRAC1:CORR:EDEL:DIST?"))
        distance_error = abs(distance - C0 * 0.66 * 1e-9 / 2)
        print(f"electrical delay distance {distance!r} m, off by {distance_error:.3g}")
        errors = sim.query(":SYST:ERR?")
        if not errors.startswith("0,"):
            print("instrument error:", errors)
            return 1
        return 0 if axis_error < 1e-21 and error < 1e-9 and distance_error < 1e-12 else 1
    finally:
        sim.close()


if __name__ == "__main__":
    sys.exit(main())
