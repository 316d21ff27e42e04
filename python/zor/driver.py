"""The driver library, its exports with their C types, and the session class."""
import ctypes
import ctypes.util
import os
import sys
from pathlib import Path

import numpy as np

from ._tables import ATTRIBUTES, CONSTANTS, FUNCTIONS, VALUES

# The C types of the header; ViBoolean is 16 bits and ViSession 32 bits on
# every platform.
C_TYPES = {
    "ViSession": ctypes.c_uint32, "ViStatus": ctypes.c_int32, "ViAttr": ctypes.c_uint32,
    "ViInt32": ctypes.c_int32, "ViUInt32": ctypes.c_uint32, "ViInt16": ctypes.c_int16,
    "ViUInt64": ctypes.c_uint64, "ViReal64": ctypes.c_double, "ViBoolean": ctypes.c_uint16,
    "ViRsrc": ctypes.c_char_p, "ViConstString": ctypes.c_char_p, "ViConstBuf": ctypes.c_char_p,
    "ViChar[]": ctypes.c_char_p, "ViByte[]": ctypes.c_char_p,
}
MESSAGE_SIZE = CONSTANTS["ZOR_MESSAGE_BUFFER_SIZE"]


def _c_type(name):
    if name in C_TYPES:
        return C_TYPES[name]
    base = name.rstrip("*[]")
    return ctypes.POINTER(C_TYPES[base])


# Where the Windows installer records its folder.
_INSTALL_KEY = r"SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\ZOR_x64"


def _installed_folder():
    """The folder the Windows installer recorded, or None."""
    try:
        import winreg

        with winreg.OpenKey(winreg.HKEY_LOCAL_MACHINE, _INSTALL_KEY) as key:
            return winreg.QueryValueEx(key, "InstallLocation")[0] or None
    except (ImportError, OSError):
        return None


def _windows_folders():
    """Folders that may hold ZOR_x64.dll, nearest first: beside this package
    (a copy, or a wheel with the DLL), the install or zip tree around it
    (<root>\\python\\zor), the recorded install, the default install folder."""
    here = Path(__file__).resolve().parent
    yield here
    yield here.parent.parent / "bin"
    installed = _installed_folder()
    if installed:
        yield Path(installed) / "bin"
    program_files = os.environ.get("ProgramW6432") or os.environ.get("ProgramFiles")
    if program_files:
        yield Path(program_files) / "ZOR_x64" / "bin"


def _candidates():
    if os.environ.get("ZOR_LIBRARY"):
        yield os.environ["ZOR_LIBRARY"]
        return
    # Used from a clone (PYTHONPATH=python, or pip install -e ./python): the
    # clone's own build, where scripts/demo and scripts/test put the driver.
    built = Path(__file__).resolve().parents[2] / "build" / "bin"
    for name in ("libZOR_x64.so.1", "ZOR_x64.dll"):
        if (built / name).is_file():
            yield str(built / name)
    if sys.platform == "win32":
        # Python looks for a bare DLL name only in its own and the system's
        # folders (not PATH), so full paths first.
        seen = set()
        for folder in _windows_folders():
            path = str(folder / "ZOR_x64.dll")
            if path not in seen:
                seen.add(path)
                yield path
        yield "ZOR_x64.dll"
        return
    yield "libZOR_x64.so.1"  # the loader's own search: LD_LIBRARY_PATH, ld.so.cache
    found = ctypes.util.find_library("ZOR_x64")
    if found:
        yield found
    for folder in ("/usr/local/lib", "/usr/local/lib64", "/usr/lib/x86_64-linux-gnu", "/usr/lib64", "/usr/lib"):
        yield str(Path(folder) / "libZOR_x64.so.1")


_library = None


def library():
    """The driver, loaded once, with every export's argument types set."""
    global _library
    if _library is not None:
        return _library
    tried = []
    for candidate in _candidates():
        tried.append(candidate)
        try:
            lib = ctypes.CDLL(candidate)
        except OSError:
            continue
        for name, params in FUNCTIONS.items():
            function = getattr(lib, name)
            function.argtypes = [_c_type(p) for p in params]
            function.restype = ctypes.c_int32
        _library = lib
        return lib
    raise OSError("ZOR_x64 driver not found; tried: " + ", ".join(tried) +
                  " (build it with scripts/demo or scripts/test, or set ZOR_LIBRARY to its path)")


class ZorError(Exception):
    """A negative status from the driver, with the driver's text for it."""

    def __init__(self, status, message, function=""):
        self.status = status
        self.message = message
        self.function = function
        super().__init__(f"{function}: 0x{status & 0xFFFFFFFF:08X} {message}".strip(": "))


def _text(status, vi=0):
    lib = library()
    buffer = ctypes.create_string_buffer(MESSAGE_SIZE)
    lib.ZOR_error_message(vi, status, buffer)
    message = buffer.value.decode(errors="replace")
    # The error record says more (which file, which option item) when set.
    code = ctypes.c_int32()
    detail = ctypes.create_string_buffer(1024)
    if lib.ZOR_GetError(vi, ctypes.byref(code), len(detail), detail) >= 0 and code.value == status:
        for line in detail.value.decode(errors="replace").splitlines():
            if line.startswith("Elaboration: "):
                message += " (" + line[len("Elaboration: "):] + ")"
    return message


def _check(status, function, vi=0):
    if status < 0:
        raise ZorError(status, _text(status, vi), function)
    return status


_GETTERS = {"ViInt32": ctypes.c_int32, "ViReal64": ctypes.c_double, "ViBoolean": ctypes.c_uint16,
            "ViSession": ctypes.c_uint32}


class _Attributes:
    """session.attrs.NAME, or session.attrs["Channel2"].NAME for a selector;
    names are the ZOR_ATTR_* constants without the prefix."""

    def __init__(self, session, selector=None):
        object.__setattr__(self, "_session", session)
        object.__setattr__(self, "_selector", selector)

    def __getitem__(self, selector):
        return _Attributes(self._session, selector)

    def __getattr__(self, name):
        if name not in ATTRIBUTES:
            raise AttributeError(f"no attribute {name}")
        return self._session.get(name, self._selector)

    def __setattr__(self, name, value):
        if name not in ATTRIBUTES:
            raise AttributeError(f"no attribute {name}")
        self._session.set(name, value, self._selector)

    def __dir__(self):
        return list(ATTRIBUTES)


class Session:
    """One session on an analyzer; closes on leaving a with block."""

    def __init__(self, resource, id_query=True, reset=False, options=""):
        self._lib = library()
        vi = ctypes.c_uint32(0)
        status = self._lib.ZOR_InitWithOptions(resource.encode(), id_query, reset, options.encode(),
                                               ctypes.byref(vi))
        _check(status, "ZOR_InitWithOptions")
        self.vi = vi.value
        self.resource = resource
        self.attrs = _Attributes(self)

    def close(self):
        if self.vi:
            vi, self.vi = self.vi, 0
            _check(self._lib.ZOR_close(vi), "ZOR_close")

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            self.close()
        except Exception:
            pass

    def call(self, name, *args):
        """Any export by name, the session handle first; raises ZorError on a
        negative status and returns the status otherwise."""
        return _check(getattr(self._lib, name)(self.vi, *args), name, self.vi)

    # ------------------------------------------------------------ attributes
    def get(self, name, selector=None):
        attribute_id, vtype, _, _ = ATTRIBUTES[name]
        sel = selector.encode() if selector else None
        if vtype == "ViString":
            buffer = ctypes.create_string_buffer(4096)
            self.call("ZOR_GetAttributeViString", sel, attribute_id, len(buffer), buffer)
            return buffer.value.decode(errors="replace")
        value = _GETTERS[vtype]()
        self.call(f"ZOR_GetAttribute{vtype}", sel, attribute_id, ctypes.byref(value))
        return bool(value.value) if vtype == "ViBoolean" else value.value

    def set(self, name, value, selector=None):
        attribute_id, vtype, _, _ = ATTRIBUTES[name]
        sel = selector.encode() if selector else None
        if vtype == "ViString":
            value = str(value).encode()
        elif vtype == "ViBoolean":
            value = 1 if value else 0
        self.call(f"ZOR_SetAttribute{vtype}", sel, attribute_id, value)

    # ------------------------------------------------------------ trace data
    # The longest trace the analyzers sweep: 100,001 points, two values each.
    # One buffer that size takes any trace in one read (numpy leaves it
    # untouched beyond what the driver writes).
    _MOST_VALUES = 2 * 100001

    def _data(self, trace, data_type):
        count = ctypes.c_int32(0)
        values = np.empty(self._MOST_VALUES, dtype=np.float64)
        self.call("ZOR_MeasurementQueryData", trace.encode(), data_type, values.size,
                  values.ctypes.data_as(ctypes.POINTER(ctypes.c_double)), ctypes.byref(count))
        if count.value > values.size:  # a longer trace than any known: once more, to size
            values = np.empty(count.value, dtype=np.float64)
            self.call("ZOR_MeasurementQueryData", trace.encode(), data_type, values.size,
                      values.ctypes.data_as(ctypes.POINTER(ctypes.c_double)), ctypes.byref(count))
        return values[:count.value].reshape(-1, 2).copy()

    def formatted(self, trace="Trace1"):
        """The formatted data of a trace, as displayed: an (N, 2) array (the
        second column is used by the two-number formats, Smith and polar)."""
        return self._data(trace, CONSTANTS["ZOR_DATA_TYPE_FORMATTED"])

    def corrected(self, trace="Trace1"):
        """The corrected data of a trace as a complex array of N points.
        After a reset Trace1 measures S11 and Trace2 S21 (channel 1)."""
        pairs = self._data(trace, CONSTANTS["ZOR_DATA_TYPE_CORRECTED"])
        return pairs[:, 0] + 1j * pairs[:, 1]

    def frequencies(self, channel=1):
        """The stimulus frequencies of a channel's linear or logarithmic sweep, Hz."""
        sel = f"Channel{channel}"
        n = self.get("SWEEP_NUMBER_OF_POINTS", sel)
        start, stop = self.get("FREQUENCY_START", sel), self.get("FREQUENCY_STOP", sel)
        if self.get("SWEEP_TYPE", sel) == VALUES["SWEEP_TYPE_LOGARITHMIC"]:
            return np.geomspace(start, stop, n)
        return np.linspace(start, stop, n)

    def sweep(self, channel=1, timeout_ms=60000):
        """Takes one sweep of the channel and returns when it is done; the
        channel then holds, so its data stay those of this sweep."""
        sel = f"Channel{channel}"
        self.set("SWEEP_TRIGGER_MODE", VALUES["SWEEP_TRIGGER_MODE_HOLD"], sel)
        self.set("SWEEP_TRIGGER_MODE", VALUES["SWEEP_TRIGGER_MODE_SINGLE"], sel)
        self.call("ZOR_SystemWaitForOperationComplete", timeout_ms)

    def network(self, channel=1, trace=None, name=None, timeout_ms=60000):
        """The channel's two-port S-parameters as an skrf.Network (needs
        scikit-rf), all four from one sweep: the channel holds, sweeps once,
        and one of its traces is pointed at S11, S21, S12 and S22 in turn.
        The session is locked meanwhile; the trace's parameter and the
        channel's trigger mode are put back afterwards."""
        try:
            import skrf
        except ImportError as missing:
            raise ImportError("Session.network needs scikit-rf (Debian: python3-scikit-rf)") from missing
        sel = f"Channel{channel}"
        # The channel's first trace in the default layout.
        trace = f"{sel}:{trace or f'Trace{2 * channel - 1}'}"
        had_lock = ctypes.c_uint16(0)
        self.call("ZOR_LockSession", ctypes.byref(had_lock))
        try:
            mode = self.get("SWEEP_TRIGGER_MODE", sel)
            before = self.get("MEASUREMENT_PARAMETER", trace)
            f = self.frequencies(channel)
            s = np.zeros((f.size, 2, 2), dtype=complex)
            try:
                self.sweep(channel, timeout_ms)
                for (row, column) in ((0, 0), (1, 0), (0, 1), (1, 1)):
                    self.set("MEASUREMENT_PARAMETER", f"S{row + 1}{column + 1}", trace)
                    s[:, row, column] = self.corrected(trace)[: f.size]
            finally:
                self.set("MEASUREMENT_PARAMETER", before, trace)
                if mode == VALUES["SWEEP_TRIGGER_MODE_CONTINUOUS"]:
                    self.set("SWEEP_TRIGGER_MODE", mode, sel)
        finally:
            self.call("ZOR_UnlockSession", ctypes.byref(had_lock))
        return skrf.Network(frequency=skrf.Frequency.from_f(f, unit="hz"), s=s, name=name or self.resource)
