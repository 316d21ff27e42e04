"""A first measurement: S21 of the simulated analyzer's band-pass filter."""
import ctypes

import numpy as np

import zor

# Identity check and reset: after the reset Trace2 (channel 1) measures S21.
with zor.Session("SIM::first::INSTR", reset=True) as vna:
    channel = vna.attrs["Channel1"]
    channel.FREQUENCY_START = 3.5e9
    channel.FREQUENCY_STOP = 5.5e9
    channel.SWEEP_NUMBER_OF_POINTS = 201

    # A limit test: S21 must stay below 0 dB from 3.5 to 5.5 GHz.
    upper = (ctypes.c_int32 * 1)(zor.LIMIT_SEGMENT_UPPER)
    start, stop, limit_db = ((ctypes.c_double * 1)(x) for x in (3.5e9, 5.5e9, 0.0))
    vna.call("ZOR_MeasurementLimitSetData", b"Trace2", 1, upper, start, stop, limit_db, limit_db)
    vna.attrs["Trace2"].MEASUREMENT_LIMIT_ENABLED = True

    vna.sweep(channel=1)  # one sweep; returns when it is done
    f = vna.frequencies(channel=1)
    s21_db = 20 * np.log10(np.abs(vna.corrected("Trace2")))
    for i in range(0, 201, 50):
        print(f"{f[i] / 1e9:.2f} GHz  S21 {s21_db[i]:7.2f} dB")

    # Marker 1 on the maximum of the trace (log magnitude: dB).
    vna.call("ZOR_MeasurementMarkerSetEnabled", b"Trace2", True, 1)
    vna.call("ZOR_MeasurementMarkerSearchExecute", b"Trace2:Marker1", zor.VAL_MARKER_SEARCH_MAXIMUM)
    peak_hz, peak_db, unused = ctypes.c_double(), ctypes.c_double(), ctypes.c_double()
    vna.call("ZOR_GetMeasurementMarkerXPosition", b"Trace2:Marker1", ctypes.byref(peak_hz))
    vna.call("ZOR_MeasurementMarkerGetYPosition", b"Trace2:Marker1", ctypes.byref(peak_db), ctypes.byref(unused))
    print(f"Maximum: {peak_hz.value / 1e9:.3f} GHz, {peak_db.value:.2f} dB")

    # The analyzer's FAIL flag: True means the trace failed.
    failed = ctypes.c_uint16()
    vna.call("ZOR_MeasurementLimitIsPassing", b"Trace2", ctypes.byref(failed))
    print("Limit test:", "FAIL" if failed.value else "PASS")
