"""zor-measure from the outside: the files it writes against what the
analyzer holds, the same files in process and over TCP, the plot, and the
ways it fails. Run by ctest with ZOR_BIN set to the build's bin folder."""
import os
import re
import select
import socket
import struct
import subprocess
import tempfile
import unittest
import warnings
import xml.etree.ElementTree as ElementTree

import numpy as np

BIN = os.environ.get("ZOR_BIN", os.path.join(os.path.dirname(__file__), "..", "..", "build", "bin"))
PROGRAM = os.path.join(BIN, "zor-measure")
PLOT_BUILT = os.environ.get("ZOR_MEASURE_PLOT", "1") == "1"
S21_COLOR = (0x2C, 0xA0, 0x2C)  # the plot's S21 trace
ORDER = ["S11", "S21", "S12", "S22"]  # trace k + 1 measures ORDER[k] by default

try:
    import skrf
except ImportError:
    skrf = None

warnings.filterwarnings("ignore", category=ResourceWarning)  # scikit-rf leaves its files to the collector


def run(args, env=None):
    return subprocess.run([PROGRAM] + args, capture_output=True, text=True, timeout=120,
                          env=dict(os.environ, **(env or {})))


class VnaSim:
    """vna-sim on a free loopback port, and plain SCPI queries to it."""

    def __init__(self):
        self.process = subprocess.Popen([os.path.join(BIN, "vna-sim"), "--port", "0"], stdout=subprocess.PIPE,
                                        text=True)
        ready, _, _ = select.select([self.process.stdout], [], [], 10)
        line = self.process.stdout.readline() if ready else ""
        match = re.search(r"listening on 127\.0\.0\.1:(\d+)", line)
        if not match:
            self.stop()
            raise RuntimeError("vna-sim did not come up: " + line)
        self.port = int(match.group(1))
        self.resource = "TCPIP::127.0.0.1::%d::SOCKET" % self.port

    def query(self, command):
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as s:
            s.sendall(command.encode() + b"\n")
            reply = b""
            while not reply.endswith(b"\n"):
                chunk = s.recv(1 << 16)
                if not chunk:
                    break
                reply += chunk
        return reply.decode().strip()

    def send(self, command):
        """A command, done before this returns (*OPC? answers after it)."""
        self.query(command + ";*OPC?")

    def stop(self):
        self.process.terminate()
        self.process.wait(10)
        self.process.stdout.close()


def touchstone_columns(path):
    """A two-port Touchstone 1.1 file read plainly: frequencies (Hz) and each
    S-parameter's column, in the file's order S11 S21 S12 S22."""
    rows, unit = [], None
    for line in payload(path):
        if line.startswith("#"):
            unit = line.split()[3]
        elif line.strip():
            rows.append([float(v) for v in line.split()])
    table = np.array(rows)
    columns = {}
    for k, parameter in enumerate(ORDER):
        a, b = table[:, 1 + 2 * k], table[:, 2 + 2 * k]
        columns[parameter] = (a + 1j * b if unit == "RI" else 10 ** (a / 20) * np.exp(1j * np.radians(b)))
    return table[:, 0], columns


def analyzer_answers(sim):
    """What the analyzer holds now: the stimulus and, per S-parameter, the
    corrected data of the trace that measures it (trace k + 1: ORDER[k])."""
    start = float(sim.query(":SENSe1:FREQuency:STARt?"))
    stop = float(sim.query(":SENSe1:FREQuency:STOP?"))
    answers = {"f": np.linspace(start, stop, int(sim.query(":SENSe1:SWEep:POINts?")))}
    for k, parameter in enumerate(ORDER):
        assert sim.query(":CALCulate1:PARameter%d:DEFine?" % (k + 1)) == parameter
        values = np.array([float(v) for v in sim.query(":CALCulate1:TRACe%d:DATA:SDATa?" % (k + 1)).split(",")])
        answers[parameter] = values[0::2] + 1j * values[1::2]
    return answers


def payload(path):
    """A file's lines without its comments (which name the resource)."""
    with open(path) as f:
        return [line for line in f if not line.startswith("!")]


class MeasuredFiles(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.sim = VnaSim()
        cls.runs = {}
        for name, args in [("local", []), ("tcp", ["-r", cls.sim.resource]),
                           ("tcp_db", ["-r", cls.sim.resource, "--format", "db"])]:
            out = os.path.join(cls.folder.name, name)
            cls.runs[name] = (out, run(args + ["-o", out]))

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()
        cls.folder.cleanup()

    def file(self, run_name, extension):
        return os.path.join(self.runs[run_name][0], "measurement." + extension)

    def test_runs_and_reports(self):
        for name, (_, result) in self.runs.items():
            with self.subTest(run=name):
                self.assertEqual(result.returncode, 0, result.stderr)
                out = result.stdout
                self.assertRegex(out, r"S21 peak: [\d.]+ [kMG]?Hz, -?[\d.]+ dB")
                self.assertRegex(out, r"S21 band \(-3 dB\): centre [\d.]+ [kMG]?Hz, bandwidth [\d.]+ [kMG]?Hz, Q [\d.]+")
                self.assertIn("S21 limit test: PASS", out)
                # Not a terminal: plain progress lines, no bar redrawn in place.
                self.assertIn("Sweep 1 of 1 done", out)
                self.assertNotIn("\r", out)

    def test_in_process_and_over_tcp_give_the_same_files(self):
        for extension in ["s2p", "csv"]:
            with self.subTest(file=extension):
                local, tcp = payload(self.file("local", extension)), payload(self.file("tcp", extension))
                self.assertGreater(len(local), 200)
                self.assertEqual(local, tcp)

    def test_touchstone_holds_what_the_analyzer_measured(self):
        measured = analyzer_answers(self.sim)
        for name, option_line, tolerance in [("tcp", "# Hz S RI R 50", 0), ("tcp_db", "# Hz S DB R 50", 1e-9)]:
            with self.subTest(file=name):
                self.assertIn(option_line + "\n", payload(self.file(name, "s2p")))
                f, columns = touchstone_columns(self.file(name, "s2p"))
                np.testing.assert_allclose(f, measured["f"], rtol=1e-12)
                for parameter in ORDER:
                    np.testing.assert_allclose(columns[parameter], measured[parameter], rtol=tolerance, atol=1e-12,
                                               err_msg=parameter)

    def test_plot(self):
        if not PLOT_BUILT:
            self.skipTest("zor-measure was built without cairo: no plot")
        with open(self.file("local", "png"), "rb") as f:
            png = f.read()
        self.assertEqual(png[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual(struct.unpack(">II", png[16:24]), (1200, 860))
        root = ElementTree.parse(self.file("local", "svg")).getroot()
        self.assertTrue(root.tag.endswith("svg"))
        self.assertEqual((root.get("width"), root.get("height")), ("1200px", "860px"), "sized as the PNG")
        self.assertGreater(len(list(root.iter("{http://www.w3.org/2000/svg}path"))), 10)
        texts = [t.text for t in root.iter("{http://www.w3.org/2000/svg}text")]
        self.assertIn("S21 limit test: PASS", texts, "texts are text, not outlines")
        try:
            from PIL import Image
        except ImportError:
            self.skipTest("Pillow is not installed: pixels not checked")
        image = Image.open(self.file("local", "png")).convert("RGB")
        colors = image.getcolors(1 << 20)
        self.assertGreater(len(colors), 20, "the picture is nearly blank")
        self.assertGreater(sum(n for n, c in colors if c == S21_COLOR), 200, "no S21 trace drawn")


class Calibrated(unittest.TestCase):
    """--calibrate on vna-sim over TCP: the corrected file holds the device's
    own S-parameters, which the raw data (through the test set's errors) do not."""

    def test_calibrated_file_is_the_device(self):
        sim = VnaSim()
        try:
            with tempfile.TemporaryDirectory() as folder:
                def network(name, args):
                    result = run(["-r", sim.resource, "--no-plot", "-o", os.path.join(folder, name)] + args)
                    self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
                    return result.stdout, skrf.Network(os.path.join(folder, name, "measurement.s2p")).s
                # The device's own: raw data without the test set's errors (noise stays on).
                sim.send(":SYSTem:SIMulation:ERRors OFF")
                self.assertEqual(sim.query(":SYSTem:SIMulation:ERRors?"), "0")
                _, true_s = network("true", [])
                sim.send(":SYSTem:SIMulation:ERRors ON")
                _, raw = network("raw", [])
                out, corrected = network("calibrated", ["--calibrate"])
        finally:
            sim.stop()
        self.assertIn("Measured the thru between ports 1 and 2", out)
        tolerance = 0.01
        self.assertGreater(np.abs(raw - true_s).max(), 10 * tolerance, "raw data already the device's")
        np.testing.assert_allclose(corrected, true_s, rtol=0, atol=tolerance)


class Demo(unittest.TestCase):
    """scripts/demo as a newcomer runs it (here against vna-sim, so that the
    analyzer can be asked afterwards): calibrated, so the file is the
    device's own, a passive and reciprocal filter."""

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.sim = VnaSim()
        demo = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "demo")
        cls.result = subprocess.run([demo, "-r", cls.sim.resource, "--no-plot"], capture_output=True, text=True,
                                    timeout=300, env=dict(os.environ, ZOR_BIN=BIN, ZOR_DEMO_OUT=cls.folder.name))
        cls.s2p = os.path.join(cls.folder.name, "measurement.s2p")

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()
        cls.folder.cleanup()

    def test_calibrates_and_reports_the_devices_loss(self):
        self.assertEqual(self.result.returncode, 0, self.result.stdout + self.result.stderr)
        self.assertIn("Measured the thru between ports 1 and 2", self.result.stdout)
        loss = float(re.search(r"S21 band \(-3 dB\): .* loss ([\d.]+) dB", self.result.stdout).group(1))
        self.assertLess(abs(loss - 2.5), 0.2, "the filter loses 2.5 dB at its centre")

    def test_touchstone_columns_are_what_the_analyzer_answers(self):
        f, columns = touchstone_columns(self.s2p)
        measured = analyzer_answers(self.sim)
        np.testing.assert_allclose(f, measured["f"], rtol=1e-12)
        for parameter in ORDER:
            np.testing.assert_allclose(columns[parameter], measured[parameter], rtol=0, atol=1e-12,
                                       err_msg=parameter)

    def test_touchstone_is_reciprocal_and_passive(self):
        if skrf is None:
            self.skipTest("scikit-rf is not installed (Debian: python3-scikit-rf)")
        network = skrf.Network(self.s2p)
        # Raw data differ between S21 and S12 by up to 0.7: the test set's errors.
        self.assertTrue(network.is_reciprocal(tol=2e-3), np.abs(network.s[:, 1, 0] - network.s[:, 0, 1]).max())
        self.assertTrue(network.is_passive(tol=1e-3))


class Failures(unittest.TestCase):
    """Each failure: a clear message, its exit status, no files, and every
    session the driver opened closed again."""

    def test_failures(self):
        sim = VnaSim()
        try:
            cases = [
                ("unreachable analyzer", ["-r", "TCPIP::127.0.0.1::1::SOCKET"], 1,
                 r"cannot open TCPIP::127\.0\.0\.1::1::SOCKET: connection refused on 127\.0\.0\.1:1: "
                 r"is the analyzer or vna-sim running\? \(status 0xBFFF0011\)\n"),
                ("unknown option", ["--bogus"], 1, r"--bogus"),
                ("bad limit", ["--limit", "sideways,1G,2G,0"], 1, r"upper or lower"),
                ("refused in process", ["--start", "20G"], 1, r'-222,"Data out of range"'),
                ("refused over TCP", ["-r", sim.resource, "--points", "500000"], 1, r'-222,"Data out of range"'),
                ("unknown kit", ["--calibrate", "--cal-kit", "No Such Kit"], 1, r"No Such Kit"),
            ]
            for name, args, status, message in cases:
                with self.subTest(case=name), tempfile.TemporaryDirectory() as folder:
                    out = os.path.join(folder, "out")
                    result = run(args + ["-o", out], {"ZOR_LOG": "1"})
                    self.assertEqual(result.returncode, status, result.stdout + result.stderr)
                    self.assertRegex(result.stderr, message)
                    self.assertNotIn("visa_resource_t::close()", result.stdout)  # no close of what never opened
                    self.assertFalse(os.path.exists(out) and os.listdir(out), "files written")
                    # Every session opened is closed: by the program, or by the driver when the open failed.
                    self.assertEqual(result.stdout.count("new ivi session"),
                                     result.stdout.count("ZOR_close(") + result.stdout.count("disposed: the open failed"))
        finally:
            sim.stop()

    def test_failed_limit_test(self):
        with tempfile.TemporaryDirectory() as folder:
            result = run(["--limit", "lower,3.5G,5.5G,-0.1", "-o", folder])
            self.assertEqual(result.returncode, 2, result.stderr)
            failed = re.search(r"S21 limit test: FAIL, (\d+) points failed: ([\d.]+ GHz)", result.stdout)
            self.assertIsNotNone(failed, result.stdout)
            self.assertGreater(int(failed.group(1)), 0)
            self.assertTrue(os.path.exists(os.path.join(folder, "measurement.csv")))


if __name__ == "__main__":
    unittest.main(verbosity=2)
