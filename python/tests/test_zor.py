import ctypes
import os
import subprocess
import sys

import numpy as np
import pytest

import zor


@pytest.mark.parametrize("name, selector, value", [
    ("FREQUENCY_START", "Channel1", 2.5e9),            # ViReal64
    ("SWEEP_NUMBER_OF_POINTS", "Channel2", 51),        # ViInt32
    ("AVERAGING_ENABLED", "Channel1", True),           # ViBoolean
    ("MEASUREMENT_PARAMETER", "Trace1", "S12"),        # ViString
    ("SWEEP_TYPE", "Channel1", zor.VAL_SWEEP_TYPE_LOGARITHMIC),  # keyword value
])
def test_attributes_round_trip_by_name(vna, name, selector, value):
    vna.attrs[selector].__setattr__(name, value)
    assert vna.attrs[selector].__getattr__(name) == value


def test_every_attribute_is_read_with_its_table_type(vna):
    # A wrong type in the table would give ZOR_ERROR_NOT_SUPPORTED; other
    # refusals (a setting the analyzer has not got at the moment) may happen.
    wrong = []
    for name in zor.ATTRIBUTES:
        try:
            vna.get(name)
        except zor.ZorError as error:
            if error.status in (zor.ERROR_NOT_SUPPORTED, zor.ERROR_ATTRIBUTE_NOT_REGISTERED):
                wrong.append(name)
    assert wrong == []


def test_failures_raise_with_the_drivers_text(vna):
    with pytest.raises(AttributeError):
        vna.attrs.NO_SUCH_ATTRIBUTE
    with pytest.raises(zor.ZorError) as failure:
        vna.attrs["Channel1"].SWEEP_TYPE = 99
    assert failure.value.status == zor.ERROR_NOT_SUPPORTED
    assert "not supported" in failure.value.message
    with pytest.raises(zor.ZorError) as failure:
        zor.Session("SIM::x::INSTR", options="Cache=1, Speed=9")
    assert "Speed=9" in str(failure.value)


def test_signatures_use_16_bit_booleans_and_32_bit_sessions():
    lib = zor.library()
    assert lib.ZOR_SetAttributeViBoolean.argtypes[0] is ctypes.c_uint32
    assert lib.ZOR_SetAttributeViBoolean.argtypes[3] is ctypes.c_uint16
    assert lib.ZOR_InitWithOptions.argtypes[4]._type_ is ctypes.c_uint32
    assert len(zor.FUNCTIONS) == 424


def test_trace_data_are_numpy_arrays(vna):
    vna.attrs["Channel1"].SWEEP_NUMBER_OF_POINTS = 21
    formatted, corrected = vna.formatted("Trace1"), vna.corrected("Trace1")
    assert formatted.shape == (21, 2) and formatted.dtype == np.float64
    assert corrected.shape == (21,) and np.iscomplexobj(corrected)
    f = vna.frequencies(1)
    assert f.size == 21 and f[0] == vna.attrs["Channel1"].FREQUENCY_START


def test_network_takes_all_four_from_one_sweep(vna):
    skrf = pytest.importorskip("skrf")
    vna.attrs["Channel1"].SWEEP_NUMBER_OF_POINTS = 11
    vna.attrs["Channel1"].SWEEP_TRIGGER_MODE = zor.VAL_SWEEP_TRIGGER_MODE_HOLD
    network = vna.network(channel=1)
    assert isinstance(network, skrf.Network) and network.s.shape == (11, 2, 2)
    np.testing.assert_allclose(network.f, vna.frequencies(1))
    assert vna.get("MEASUREMENT_PARAMETER", "Channel1:Trace1") == "S11"  # put back
    # The channel still holds the sweep network() took; noise differs from
    # sweep to sweep, so equal columns mean one sweep gave all four.
    for row, column in ((0, 0), (1, 0), (0, 1), (1, 1)):
        vna.set("MEASUREMENT_PARAMETER", f"S{row + 1}{column + 1}", "Channel1:Trace1")
        np.testing.assert_array_equal(vna.corrected("Channel1:Trace1"), network.s[:, row, column])


def test_simulated_session_answers_without_the_named_resource():
    with zor.Session("TCPIP::192.0.2.1::5025::SOCKET", options="Simulate=1") as vna:
        vna.attrs["Channel1"].FREQUENCY_STOP = 3e9
        assert vna.attrs["Channel1"].FREQUENCY_STOP == 3e9
        assert vna.corrected("Trace1").size == vna.attrs["Channel1"].SWEEP_NUMBER_OF_POINTS


def test_over_tcp_against_vna_sim(vna_sim_port):
    with zor.Session(f"TCPIP::127.0.0.1::{vna_sim_port}::SOCKET") as vna:
        assert vna.get("SYSTEM_SERIAL_NUMBER")
        vna.attrs["Channel1"].FREQUENCY_START = 1e9
        assert vna.attrs["Channel1"].FREQUENCY_START == 1e9
        assert vna.formatted("Trace1").shape[1] == 2


def test_example_measures_and_plots(tmp_path):
    example = os.path.join(os.path.dirname(__file__), "..", "examples", "measure_and_plot.py")
    out = tmp_path / "plot.png"
    printed = subprocess.run([sys.executable, example, "--points", "51", "--out", str(out)], check=True,
                             capture_output=True, text=True).stdout
    assert "51 points" in printed
    assert out.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
