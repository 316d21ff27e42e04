#!/usr/bin/env python3
"""Measures a two-port and plots its four S-parameters in dB.

    python3 measure_and_plot.py [resource] [--out plot.png]

Without a resource the driver's in-process simulated analyzer is used; give
e.g. TCPIP::127.0.0.1::5025::SOCKET for vna-sim or an analyzer."""
import argparse

import matplotlib

matplotlib.use("Agg")  # a file, no window needed
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

import zor  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("resource", nargs="?", default="SIM::example::INSTR")
    parser.add_argument("--start", type=float, default=1e9, help="start frequency, Hz")
    parser.add_argument("--stop", type=float, default=8e9, help="stop frequency, Hz")
    parser.add_argument("--points", type=int, default=401)
    parser.add_argument("--out", default="s-parameters.png")
    args = parser.parse_args()

    with zor.Session(args.resource, reset=True) as vna:
        channel = vna.attrs["Channel1"]
        channel.FREQUENCY_START = args.start
        channel.FREQUENCY_STOP = args.stop
        channel.SWEEP_NUMBER_OF_POINTS = args.points
        network = vna.network(channel=1)  # all four from one sweep (needs scikit-rf)
    f = network.f
    s = {f"S{row + 1}{column + 1}": network.s[:, row, column] for row in (0, 1) for column in (0, 1)}

    figure, axes = plt.subplots(figsize=(8, 4.5))
    for name, values in s.items():
        axes.plot(f / 1e9, 20 * np.log10(np.maximum(np.abs(values), 1e-12)), label=name)
    axes.set_xlabel("frequency (GHz)")
    axes.set_ylabel("magnitude (dB)")
    axes.set_title(args.resource)
    axes.grid(True)
    axes.legend()
    figure.savefig(args.out, dpi=100)
    print(f"{args.out}: {len(f)} points, {f[0] / 1e9:g} to {f[-1] / 1e9:g} GHz")


if __name__ == "__main__":
    main()
