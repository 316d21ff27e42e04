"""Where the package looks for ZOR_x64.dll on Windows, played out on any
platform: a fake Windows tree in a temporary folder, the loader seeing
sys.platform "win32", a fake registry, and a ctypes.CDLL that loads only
files that exist (as Windows does for full paths)."""
import ctypes
import os
import sys
import types

import pytest

from zor import driver


class _FakeLibrary:
    def __init__(self, path):
        self.path = path

    def __getattr__(self, name):  # every export, as a settable function
        function = types.SimpleNamespace()
        setattr(self, name, function)
        return function


def _fake_cdll(path):
    # Windows loads a full path only where the file is; the bare name stands
    # for the system's search, which holds no driver here.
    if os.path.isabs(path) and os.path.isfile(path):
        return _FakeLibrary(path)
    raise OSError(f"cannot load {path}")


@pytest.fixture
def windows(monkeypatch, tmp_path):
    """A machine with no driver anywhere yet; returns a function that
    places the package and records an install."""
    monkeypatch.setattr(sys, "platform", "win32")
    monkeypatch.delenv("ZOR_LIBRARY", raising=False)
    monkeypatch.setenv("ProgramW6432", str(tmp_path / "Program Files"))
    monkeypatch.setattr(driver, "_library", None)
    monkeypatch.setattr(ctypes, "CDLL", _fake_cdll)
    registry = {}

    class _Key:
        def __enter__(self):
            return self

        def __exit__(self, *exc):
            return False

    def open_key(root, path):
        if path not in registry:
            raise FileNotFoundError(path)
        return _Key()

    fake_winreg = types.SimpleNamespace(
        HKEY_LOCAL_MACHINE=object(), OpenKey=open_key,
        QueryValueEx=lambda key, name: (registry[driver._INSTALL_KEY], 1))
    monkeypatch.setitem(sys.modules, "winreg", fake_winreg)

    def place(package_dir, installed=None):
        monkeypatch.setattr(driver, "__file__", str(package_dir / "driver.py"))
        if installed:
            registry[driver._INSTALL_KEY] = str(installed)

    return place


def _dll(folder):
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "ZOR_x64.dll").write_bytes(b"MZ")
    return str(folder / "ZOR_x64.dll")


def test_package_inside_an_install_tree_loads_its_bin(windows, tmp_path):
    root = tmp_path / "Stations" / "ZOR_x64"
    dll = _dll(root / "bin")
    windows(root / "python" / "zor")
    assert driver.library().path == dll


def test_a_dll_beside_the_package_comes_first(windows, tmp_path):
    root = tmp_path / "ZOR_x64"
    _dll(root / "bin")
    beside = _dll(root / "python" / "zor")
    windows(root / "python" / "zor")
    assert driver.library().path == beside


def test_package_elsewhere_finds_the_recorded_install(windows, tmp_path):
    installed = tmp_path / "D" / "Drivers" / "ZOR_x64"
    dll = _dll(installed / "bin")
    _dll(tmp_path / "Program Files" / "ZOR_x64" / "bin")  # an older default install
    windows(tmp_path / "site-packages" / "zor", installed=installed)
    assert driver.library().path == dll


def test_default_install_folder_without_a_record(windows, tmp_path):
    dll = _dll(tmp_path / "Program Files" / "ZOR_x64" / "bin")
    windows(tmp_path / "site-packages" / "zor")
    assert driver.library().path == dll


def test_nothing_found_names_every_place_tried(windows, tmp_path):
    installed = tmp_path / "Drivers" / "ZOR_x64"
    windows(tmp_path / "site-packages" / "zor", installed=installed)
    with pytest.raises(OSError) as error:
        driver.library()
    message = str(error.value)
    for folder in (tmp_path / "site-packages" / "zor", installed / "bin", tmp_path / "Program Files" / "ZOR_x64" / "bin"):
        assert str(folder / "ZOR_x64.dll") in message
    assert "ZOR_LIBRARY" in message


def test_zor_library_overrides_every_folder(windows, tmp_path, monkeypatch):
    root = tmp_path / "ZOR_x64"
    _dll(root / "bin")
    windows(root / "python" / "zor")
    chosen = _dll(tmp_path / "elsewhere")
    monkeypatch.setenv("ZOR_LIBRARY", chosen)
    assert driver.library().path == chosen
