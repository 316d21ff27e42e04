"""Sessions for the tests: the in-process simulated analyzer (through the
bundled VISA beside the driver) and vna-sim over TCP. The driver comes from
ZOR_LIBRARY; vna-sim from ZOR_VNA_SIM."""
import itertools
import os
import re
import subprocess

import pytest

import zor

_names = itertools.count()


@pytest.fixture
def vna():
    with zor.Session(f"SIM::pytest{next(_names)}::INSTR", reset=True) as session:
        yield session


@pytest.fixture(scope="module")
def vna_sim_port():
    program = os.environ.get("ZOR_VNA_SIM")
    if not program:
        pytest.skip("ZOR_VNA_SIM not set")
    server = subprocess.Popen([program, "--port", "0"], stdout=subprocess.PIPE, text=True)
    try:
        line = server.stdout.readline()
        port = re.search(r"listening on 127\.0\.0\.1:(\d+)", line)
        assert port, line
        yield int(port.group(1))
    finally:
        server.terminate()
        server.wait(timeout=10)
