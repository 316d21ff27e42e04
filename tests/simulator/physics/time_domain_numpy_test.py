"""The band-pass impulse of the simulator's time-domain physics equals
numpy's inverse FFT of the same Kaiser-windowed data (numpy's own window).
Usage: time_domain_numpy_test.py <time_domain_tool>"""
import subprocess
import sys

import numpy as np


def main():
    tool = sys.argv[1]
    rng = np.random.default_rng(3)
    for n, beta in ((201, 6.0), (64, 0.0), (401, 13.0)):
        f = np.linspace(1e9, 3e9, n)
        x = rng.normal(size=n) + 1j * rng.normal(size=n)
        df = f[1] - f[0]
        t = np.arange(n) / (n * df)  # the inverse FFT's own instants
        lines = [f"{beta} {t[0]!r} {t[-1]!r} {n}"] + [f"{fk!r} {v.real!r} {v.imag!r}" for fk, v in zip(f, x)]
        out = subprocess.run([tool], input="\n".join(lines) + "\n", capture_output=True, text=True, check=True).stdout
        got = np.array([complex(float(a), float(b)) for a, b in (row.split() for row in out.splitlines())])
        w = np.kaiser(n, beta)
        # The transform is referred to the centre frequency and scaled so a
        # flat response peaks at one.
        centre = (f[0] + f[-1]) / 2
        want = n * np.fft.ifft(w * x) * np.exp(2j * np.pi * (f[0] - centre) * t) / w.sum()
        error = np.max(np.abs(got - want))
        print(f"n={n} beta={beta}: largest difference {error:.3g}")
        if not error < 1e-9:
            sys.exit(1)


if __name__ == "__main__":
    main()
