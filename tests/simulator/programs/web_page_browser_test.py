#!/usr/bin/python3
"""The web page of vna-sim in a real browser (headless Chromium).

Loads the page from `vna-sim --http 0` with one window shown, changes the
layout over SCPI (a second window with trace 3 appears), and checks on a
screenshot taken after that the new window shows, and that the page logged
no console errors. How long the page took to follow is printed, not
asserted: a loaded machine must not fail a test on time.

The browser is driven through the DevTools protocol over a pipe
(--remote-debugging-pipe): no client library needed.

Usage: web_page_browser_test.py VNA_SIM [--save-page PNG]
Exits 77 (skipped) when Chromium is missing or cannot start here.
"""
import io
import json
import os
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
TRACE1 = (0xF5, 0xC5, 0x42)  # the display's colours of traces 1 and 3
TRACE3 = (0xF0, 0x62, 0x92)


def skip(why):
    print("SKIPPED: " + why)
    sys.exit(SKIP)


def fail(why):
    print("FAILED: " + why)
    sys.exit(1)


class Browser:
    """Chromium with the DevTools protocol on file descriptors 3 and 4."""

    def __init__(self, executable, profile):
        to_child_r, self.to_child = os.pipe()
        self.from_child, from_child_w = os.pipe()

        def wire_pipes():
            os.dup2(to_child_r, 3)
            os.dup2(from_child_w, 4)

        self.proc = subprocess.Popen(
            [executable, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--disable-extensions", "--mute-audio", "--user-data-dir=" + profile, "--remote-debugging-pipe",
             "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
            preexec_fn=wire_pipes, close_fds=False)
        os.close(to_child_r)
        os.close(from_child_w)
        self.buffer = b""
        self.next_id = 0
        self.events = []
        self.session = None

    def send(self, method, params=None, session=True, timeout=20):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session and self.session:
            message["sessionId"] = self.session
        os.write(self.to_child, json.dumps(message).encode() + b"\0")
        deadline = time.monotonic() + timeout
        while True:
            for reply in self.read(deadline):
                if reply.get("id") == self.next_id:
                    if "error" in reply:
                        raise RuntimeError("%s: %s" % (method, reply["error"]))
                    return reply.get("result", {})
                self.events.append(reply)

    def read(self, deadline):
        while b"\0" not in self.buffer:
            left = deadline - time.monotonic()
            if left <= 0:
                raise TimeoutError("no answer from the browser")
            ready, _, _ = select.select([self.from_child], [], [], left)
            if ready:
                chunk = os.read(self.from_child, 1 << 20)
                if not chunk:
                    raise ConnectionError("the browser closed its pipe")
                self.buffer += chunk
        out = []
        while b"\0" in self.buffer:
            raw, self.buffer = self.buffer.split(b"\0", 1)
            out.append(json.loads(raw))
        return out

    def evaluate(self, expression):
        result = self.send("Runtime.evaluate", {"expression": expression, "returnByValue": True})
        return result.get("result", {}).get("value")

    def wait_for(self, expression, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.evaluate(expression):
                return True
            time.sleep(0.02)
        return False

    def screenshot(self, clip=None):
        params = {"format": "png"}
        if clip:
            params["clip"] = dict(clip, scale=1)
        import base64
        return base64.b64decode(self.send("Page.captureScreenshot", params)["data"])

    def close(self):
        try:
            self.send("Browser.close", session=False, timeout=5)
        except Exception:
            pass
        try:
            self.proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            self.proc.wait()


def scpi(port, *messages):
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        for m in messages:
            s.sendall(m.encode() + b"\n")
        s.sendall(b"*OPC?\n")
        reply = b""
        while not reply.endswith(b"\n"):
            chunk = s.recv(4096)
            if not chunk:
                break
            reply += chunk
        return reply.decode().strip()


def colour_count(png, colour, box, tolerance=24):
    from PIL import Image
    image = Image.open(io.BytesIO(png)).convert("RGB").crop(box)
    return sum(1 for p in image.getdata() if all(abs(a - b) <= tolerance for a, b in zip(p, colour)))


def main():
    if len(sys.argv) < 2:
        fail("usage: web_page_browser_test.py VNA_SIM [--save-page PNG]")
    vna_sim = sys.argv[1]
    save_page = sys.argv[sys.argv.index("--save-page") + 1] if "--save-page" in sys.argv else None
    chromium = os.environ.get("CHROMIUM") or shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium:
        skip("Chromium is not installed (Debian package chromium)")
    try:
        import PIL  # noqa: F401
    except ImportError:
        skip("python3-pil is not installed")

    sim = subprocess.Popen([vna_sim, "--port", "0", "--http", "0"], stdout=subprocess.PIPE, text=True)
    browser = None
    profile = tempfile.mkdtemp(prefix="zor-browser-")
    try:
        scpi_port = int(sim.stdout.readline().strip().rsplit(":", 1)[1])
        url = sim.stdout.readline().strip().split(" on ", 1)[1]
        # One window to begin with, and sweeps held, so that the only change
        # the page sees is the one this test makes.
        if scpi(scpi_port, ":SENSe1:SWEep:MODE HOLD;:SENSe2:SWEep:MODE HOLD", ":DISPlay:WINDow2:STATe 0") != "1":
            fail("the simulated analyzer did not answer")

        try:
            browser = Browser(chromium, profile)
            target = browser.send("Target.createTarget", {"url": "about:blank"}, session=False)["targetId"]
            browser.session = browser.send("Target.attachToTarget", {"targetId": target, "flatten": True},
                                           session=False)["sessionId"]
        except (OSError, RuntimeError, TimeoutError, ConnectionError) as e:
            stderr = ""
            if browser:
                browser.proc.kill()
                stderr = browser.proc.stderr.read().decode(errors="replace")[-2000:]
            skip("Chromium cannot run here: %s\n%s" % (e, stderr))

        for domain in ("Runtime", "Log", "Page"):
            browser.send(domain + ".enable")
        browser.send("Emulation.setDeviceMetricsOverride",
                     {"width": 1460, "height": 880, "deviceScaleFactor": 1, "mobile": False})
        browser.send("Page.navigate", {"url": url})
        if not browser.wait_for("document.readyState === 'complete' && "
                                "document.getElementById('screen').naturalWidth > 0", 10):
            fail("the page or its display image did not load")
        # The event stream is open once the page shows it is live.
        time.sleep(0.5)
        frame = browser.evaluate("Number(document.getElementById('screen').dataset.frame)")
        box = browser.evaluate("(function(){var r=document.getElementById('screen').getBoundingClientRect();"
                               "return {x:r.x,y:r.y,width:r.width,height:r.height};})()")
        before = browser.screenshot(box)

        changed = time.monotonic()
        scpi(scpi_port, ":DISPlay:WINDow2:TRACe3 1")
        if not browser.wait_for("Number(document.getElementById('screen').dataset.frame) > %d" % frame, 5):
            fail("the page did not follow the change")
        took = time.monotonic() - changed
        time.sleep(0.2)  # the new image is painted
        after = browser.screenshot(box)
        if save_page:
            with open(save_page, "wb") as f:
                f.write(browser.screenshot())

        w, h = int(box["width"]), int(box["height"])
        upper, lower = (0, 0, w, h // 2), (0, h // 2, w, h)
        counts = {
            "trace 3 before": colour_count(before, TRACE3, (0, 0, w, h)),
            "trace 3 after, lower half": colour_count(after, TRACE3, lower),
            "trace 3 after, upper half": colour_count(after, TRACE3, upper),
            "trace 1 after, upper half": colour_count(after, TRACE1, upper),
            "trace 1 after, lower half": colour_count(after, TRACE1, lower),
        }
        print("display image %dx%d, frame %d -> %s, followed in %.3f s" %
              (w, h, frame, browser.evaluate("document.getElementById('screen').dataset.frame"), took))
        print("pixels: " + ", ".join("%s %d" % kv for kv in counts.items()))
        errors = []
        for e in browser.events:
            m, p = e.get("method"), e.get("params", {})
            if m == "Runtime.exceptionThrown":
                errors.append(p["exceptionDetails"].get("text", "exception"))
            elif m == "Runtime.consoleAPICalled" and p.get("type") in ("error", "assert"):
                errors.append("console.%s: %s" % (p["type"], p.get("args")))
            elif m == "Log.entryAdded" and p["entry"].get("level") == "error":
                errors.append("log: " + p["entry"].get("text", ""))
        problems = []
        if counts["trace 3 before"] != 0:
            problems.append("trace 3 shown before it existed")
        if counts["trace 3 after, lower half"] < 200:
            problems.append("the second window with trace 3 does not show in the lower half")
        if counts["trace 3 after, upper half"] != 0:
            problems.append("trace 3 drawn in the first window")
        if counts["trace 1 after, upper half"] < 200 or counts["trace 1 after, lower half"] != 0:
            problems.append("trace 1 is not in the first (upper) window alone")
        if errors:
            problems.append("console errors: " + "; ".join(errors))
        if problems:
            fail("; ".join(problems))
        print("PASSED")
    finally:
        if browser:
            browser.close()
        sim.send_signal(signal.SIGTERM)
        try:
            sim.wait(timeout=10)
        except subprocess.TimeoutExpired:
            sim.kill()
            sim.wait()
        shutil.rmtree(profile, ignore_errors=True)


if __name__ == "__main__":
    main()
