"""Python access to the ZOR_x64 analyzer driver (ctypes, no compiler needed).

    with zor.Session("SIM::bench::INSTR") as vna:
        vna.attrs.FREQUENCY_START = 1e9
        data = vna.corrected("Trace1")
"""
from ._tables import ATTRIBUTES, CONSTANTS, FUNCTIONS, VALUES
from .driver import Session, ZorError, library

__all__ = ["ATTRIBUTES", "CONSTANTS", "FUNCTIONS", "VALUES", "Session", "ZorError", "library"]
__version__ = "1.0.0"

# ZOR_VAL_*, ZOR_ERROR_*, ZOR_DATA_TYPE_* ... as module constants.
globals().update({f"VAL_{name}": value for name, value in VALUES.items()})
globals().update({name[len("ZOR_"):]: value for name, value in CONSTANTS.items()})
