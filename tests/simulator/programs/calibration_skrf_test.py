"""The error terms the simulated analyzer solves from its standards equal
those scikit-rf's twelve-term calibration finds from the same raw data.
Usage: calibration_skrf_test.py <vna-sim>"""
import sys

import numpy as np

from vna_sim_client import Analyzer

try:
    import skrf
    from skrf.calibration import TwelveTerm
except ImportError:
    print("SKIPPED: scikit-rf (Debian python3-scikit-rf) is not installed")
    sys.exit(77)


def main():
    sim = Analyzer(sys.argv[1])
    try:
        points = 31
        sim.write(f":SENS1:SWE:POIN {points};:SENS1:CORR:STAT OFF;:SENS:CORR:COLL:CKIT 1")  # an ideal kit
        freq = np.array([float(v) for v in sim.query(":SENS1:FREQ:DATA?").split(",")])
        frequency = skrf.Frequency.from_f(freq, unit="hz")

        def raw_network(dut):
            sim.write(f':SYST:SIM:DUT "{dut}"')
            s = np.zeros((points, 2, 2), complex)
            for trace, (i, j) in zip((1, 2, 3, 4), ((0, 0), (1, 0), (0, 1), (1, 1))):
                s[:, i, j] = sim.numbers(f":CALC1:TRAC{trace}:DATA:SDAT?")
            return skrf.Network(frequency=frequency, s=s)

        def ideal(gamma):
            s = np.zeros((points, 2, 2), complex)
            s[:, 0, 0] = s[:, 1, 1] = gamma
            return skrf.Network(frequency=frequency, s=s)

        thru = np.zeros((points, 2, 2), complex)
        thru[:, 0, 1] = thru[:, 1, 0] = 1
        ideals = [ideal(1), ideal(-1), ideal(0), skrf.Network(frequency=frequency, s=thru)]
        measured = [raw_network(d) for d in ("open", "short", "match", "thru")]
        cal = TwelveTerm(measured=measured, ideals=ideals, n_thrus=1)
        cal.run()

        # The simulator's own calibration from the same standards.
        sim.write(":SENS1:CORR:COLL:METH SOLT")
        for command in ("OPEN 1", "SHOR 1", "LOAD 1", "OPEN 2", "SHOR 2", "LOAD 2", "THRU 1,2"):
            sim.write(":SENS1:CORR:COLL:" + command)
        sim.write(":SENS1:CORR:COLL:SAVE")
        error = sim.query(":SYST:ERR?")
        if not error.startswith("0,"):
            print("SAVE failed:", error)
            return 1
        pairs = {
            "ED1": "forward directivity", "ES1": "forward source match", "ER1": "forward reflection tracking",
            "EL2": "forward load match", "ET2": "forward transmission tracking",
            "ED2": "reverse directivity", "ES2": "reverse source match", "ER2": "reverse reflection tracking",
            "EL1": "reverse load match", "ET1": "reverse transmission tracking",
        }
        worst = 0.0
        for ours, theirs in pairs.items():
            difference = np.max(np.abs(sim.numbers(f":SENS1:CORR:COEF:{ours}?") - cal.coefs[theirs]))
            print(f"{ours} vs {theirs}: {difference:.3g}")
            worst = max(worst, difference)
        return 0 if worst < 1e-9 else 1
    finally:
        sim.close()


if __name__ == "__main__":
    sys.exit(main())
