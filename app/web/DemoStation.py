"""The demo's race day with its headless station serving the web view, for the
web view's scripted tests (BrowserTest.py, StationAbuseTest.py)."""
import os
import signal
import socket
import subprocess
import time

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(what, done, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = done()
        if value:
            return value
        time.sleep(0.2)
    raise AssertionError(f"timed out waiting for {what}")


class DemoStation:
    """scripts/demo --headless --web PORT in a process group of its own, its
    output in LOG; stopped as Ctrl-C would stop it."""

    def __init__(self, build, port, seconds, log):
        self.log = open(log, "w")
        self.process = subprocess.Popen(
            # The demo takes its build folder from the top of the tree.
            [os.path.join(ROOT, "scripts", "demo"), os.path.relpath(os.path.abspath(build), ROOT),
             "--headless", "--speed", "20", "--seconds", str(int(seconds)), "--web", str(port)],
            cwd=ROOT, stdout=self.log, stderr=subprocess.STDOUT, start_new_session=True)

    def stop(self):
        os.killpg(self.process.pid, signal.SIGINT)
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
        self.log.close()
