#!/usr/bin/python3
"""The web view under abuse while the station transmits: the headless station
of the demo's race day serves it, and this throws at it what a track's network
may send (other methods, path traversal, HTTP/1.0, pipelining, garbage, a 1 MB
header, 1,000 half-open connections and more past the cap, a client that never
reads). After each stage the station must still answer, must have sent more
packets with no new faults, and its memory must stay within bounds.

  StationAbuseTest.py BUILD_DIR
  StationAbuseTest.py --port PORT --pid PID [--wine]

The second form abuses a station already serving on 127.0.0.1:PORT during its
race day (the Windows station under Wine, scripts/windows-race-day --abuse),
PID being its process. Wine completes sends to a peer that never reads (it
buffers them without bound), so with --wine that stage is left out."""
import argparse
import json
import os
import random
import resource
import socket
import sys
import time

from DemoStation import DemoStation, free_port, wait_until

HALF_OPEN = 1000
PAST_THE_CAP = 100  # beyond the station's 1,024 connections
# The station's resident memory may grow this much over its first figure, at
# its peak and once the abuse is over.
PEAK_GROWTH_MB = 100
LASTING_GROWTH_MB = 30


class Station:
    def __init__(self, port):
        self.port = port
        self.pid = None

    def connect(self, receive_buffer=0):
        s = socket.socket()
        if receive_buffer:
            s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
        s.settimeout(5)
        s.connect(("127.0.0.1", self.port))
        return s

    def ask(self, request, timeout=5):
        """Sends raw bytes and reads until the station closes (or timeout)."""
        with self.connect() as s:
            s.settimeout(timeout)
            try:
                s.sendall(request)
            except OSError:
                pass  # closed on us mid-send: what came back still counts
            reply = b""
            try:
                while True:
                    chunk = s.recv(65536)
                    if not chunk:
                        return reply, True
                    reply += chunk
            except socket.timeout:
                return reply, False
            except ConnectionResetError:
                return reply, True

    def status(self):
        reply, _ = self.ask(b"GET /status.json HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        head, _, body = reply.partition(b"\r\n\r\n")
        assert head.startswith(b"HTTP/1.1 200 OK"), reply[:200]
        return json.loads(body)

    def resident_mb(self, field="VmRSS"):
        with open(f"/proc/{self.pid}/status") as f:
            for line in f:
                if line.startswith(field + ":"):
                    return int(line.split()[1]) / 1024
        raise AssertionError(f"no {field} for {self.pid}")


def answers(station):
    try:
        return station.status()
    except (OSError, AssertionError, ValueError):
        return None


def find_station(group):
    """The headless station the demo started in its process group."""
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/stat") as f:
                fields = f.read().rsplit(")", 1)[1].split()
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                argv = f.read().split(b"\0")
        except OSError:
            continue
        if int(fields[2]) == group and argv[0].endswith(b"torvanetx-cli") and b"station" in argv:
            return int(pid)
    return None


def methods(station):
    for method in [b"POST", b"PUT", b"DELETE", b"PATCH", b"OPTIONS", b"TRACE", b"CONNECT"]:
        reply, _ = station.ask(method + b" /status HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n"
                               b"Connection: close\r\n\r\n")
        assert reply.startswith(b"HTTP/1.1 405"), (method, reply[:100])
    reply, _ = station.ask(b"HEAD / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
    assert reply.startswith(b"HTTP/1.1 200 OK") and reply.endswith(b"\r\n\r\n"), reply[-100:]
    return "7 other methods answered 405, HEAD without a body"


def traversal(station):
    paths = [b"/../../../../etc/passwd", b"/%2e%2e/%2e%2e/etc/passwd", b"/..%2f..%2fetc%2fpasswd",
             b"//etc/passwd", b"/status/../../etc/passwd", b"/C:/Windows/win.ini",
             b"/..\\..\\..\\etc\\passwd", b"/%00/etc/passwd", b"/index.html%00.json"]
    for path in paths:
        reply, _ = station.ask(b"GET " + path + b" HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        assert reply.startswith(b"HTTP/1.1 404") or reply.startswith(b"HTTP/1.1 400"), \
            (path, reply[:100])
        assert b"root:" not in reply and b"[fonts]" not in reply, path
    return f"{len(paths)} traversal paths answered 404 or 400, no file read"


def http10_and_pipelining(station):
    reply, closed = station.ask(b"GET /status.json HTTP/1.0\r\n\r\n")
    assert reply.startswith(b"HTTP/1.0 200 OK") and closed, reply[:100]
    reply, closed = station.ask(
        b"GET /cards.json HTTP/1.1\r\nHost: x\r\n\r\n"
        b"GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n"
        b"GET /status HTTP/1.1\r\nHost: x\r\n\r\n"
        b"GET /status.json HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
    marks = [reply.find(m) for m in
             [b"{\"sequence\":", b"torvane_acks_total", b"<h1>Link health", b"\"uptimeSeconds\""]]
    assert closed and reply.count(b"HTTP/1.1 200 OK") == 4 and -1 not in marks \
        and marks == sorted(marks), (marks, reply[:200])
    return "HTTP/1.0 answered in kind and closed; 4 pipelined requests answered in order"


def garbage(station):
    noise = random.Random(26)
    cases = {
        "64 KB of noise": bytes(noise.randrange(256) for _ in range(65536)),
        "NUL bytes": b"\0" * 4096,
        "a 1 MB header": b"GET / HTTP/1.1\r\nHost: x\r\nX-Big: " + b"b" * (1 << 20) + b"\r\n\r\n",
        "a 100 KB request line": b"GET /" + b"a" * 100000 + b" HTTP/1.1\r\nHost: x\r\n\r\n",
        "10,000 headers": b"GET / HTTP/1.1\r\n" + b"X: y\r\n" * 10000 + b"\r\n",
        "an unknown version": b"GET / HTTP/7.0\r\nHost: x\r\n\r\n",
        "a chunked GET": b"GET / HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
                         b"ffffffffffffffff\r\n",
    }
    for name, bytes_ in cases.items():
        reply, closed = station.ask(bytes_)
        assert closed, f"{name}: the connection stayed open"
        assert b"200 OK" not in reply, (name, reply[:100])
        assert not reply or reply.startswith(b"HTTP/1.1 4"), (name, reply[:100])
    return f"{len(cases)} kinds of garbage refused with 4xx or a close"


def connections(station):
    before = station.status()["web"]
    held = []
    try:
        for _ in range(HALF_OPEN):
            s = station.connect()
            s.sendall(b"GET / HTTP/1.1\r\nHost: x")  # never finished
            held.append(s)
        wait_until("the half-open connections to be accepted",
                   lambda: station.status()["web"]["connections"] >= HALF_OPEN, 20)
        # One more is still served, beside them.
        figures = station.status()
        peak = station.resident_mb()
        late = []
        for _ in range(PAST_THE_CAP):
            s = station.connect()
            s.sendall(b"GET /status.json HTTP/1.1\r\nHost: x\r\n\r\n")
            late.append(s)
        turned_away = 0
        for s in late:
            try:
                turned_away += s.recv(64).startswith(b"HTTP/1.1 503")
            except OSError:
                pass
        for s in late:
            s.close()
        # Once a place is free again, the station answers and counts what it turned away.
        refused = wait_until("a free place", lambda: answers(station), 10)["web"]["refused"] \
            - before["refused"]
        assert turned_away > 0 and refused >= turned_away, (turned_away, refused)
        # What never finishes its request is closed by the station on its own.
        start = time.monotonic()
        wait_until("the half-open connections to be closed",
                   lambda: answers(station) and station.status()["web"]["connections"] <= 2, 40)
        closed_after = time.monotonic() - start
        for s in held[:10]:
            s.settimeout(1)
            assert s.recv(4096) is not None  # EOF or a 408, never a hang
    finally:
        for s in held:
            s.close()
    return (f"{HALF_OPEN} half-open connections held while served "
            f"({figures['web']['connections']} open, resident {peak:.1f} MB) and closed by the "
            f"station within {closed_after:.0f} s; {turned_away} of {PAST_THE_CAP} more got 503")


def never_reads(station):
    before = station.status()["web"]["dropped"]
    stuck = station.connect(receive_buffer=4096)
    try:
        # Answers pile up unread: the station gives up on this client alone.
        stuck.sendall(b"GET / HTTP/1.1\r\nHost: x\r\n\r\n" * 2000)
        slowest = 0.0
        deadline = time.monotonic() + 40
        while station.status()["web"]["dropped"] == before:
            assert time.monotonic() < deadline, "the client that never reads was not dropped"
            start = time.monotonic()
            station.status()
            slowest = max(slowest, time.monotonic() - start)
            time.sleep(0.5)
    finally:
        stuck.close()
    assert slowest < 2, f"another client waited {slowest:.1f} s"
    return f"a client that never reads dropped; others answered within {slowest * 1000:.0f} ms"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?")
    parser.add_argument("--port", type=int)
    parser.add_argument("--pid", type=int)
    parser.add_argument("--wine", action="store_true")
    args = parser.parse_args()
    if bool(args.build) == bool(args.port and args.pid):
        parser.error("give BUILD_DIR, or --port and --pid")
    # Room for the connections on both ends, whatever the shell's soft limit.
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    wanted = 4096 if hard == resource.RLIM_INFINITY else min(hard, 4096)
    resource.setrlimit(resource.RLIMIT_NOFILE, (max(soft, wanted), hard))
    demo = None
    if args.build:
        station = Station(free_port())
        demo = DemoStation(args.build, station.port, 200,
                           os.path.join(args.build, "abuse-test-demo.log"))
    else:
        station = Station(args.port)
        station.pid = args.pid
    stages = [methods, traversal, http10_and_pipelining, garbage, connections]
    if not args.wine:
        stages.append(never_reads)
    try:
        wait_until("the station's web view", lambda: answers(station), 30)
        if demo:
            station.pid = wait_until("the station's process",
                                     lambda: find_station(demo.process.pid), 10)
        wait_until("the transmitter's replies", lambda: station.status()["acks"] > 100, 30)
        first_mb = station.resident_mb()
        print(f"station {station.pid}: resident {first_mb:.1f} MB before the abuse")
        for stage in stages:
            before = station.status()
            outcome = stage(station)
            # The figures are published on the station's one-second tick.
            after = wait_until(
                f"packets sent after {stage.__name__}",
                lambda: (lambda s: s if s["packetsSent"] > before["packetsSent"] else None)(
                    station.status()), 5)
            sent = after["packetsSent"] - before["packetsSent"]
            assert after["faults"] == 0, f"{stage.__name__}: {after['faults']} faults"
            print(f"{stage.__name__}: {outcome}; {sent} packets sent meanwhile "
                  f"({after['timeouts'] - before['timeouts']} timeouts), "
                  f"resident {station.resident_mb():.1f} MB")
        # Whatever the abuse took is given back, and the cards are still served.
        reply, _ = station.ask(b"GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
        assert reply.startswith(b"HTTP/1.1 200 OK") and b"EventSource" in reply, reply[:200]
        peak_mb = station.resident_mb("VmHWM")
        last_mb = wait_until(
            "the memory to come back",
            lambda: (lambda mb: mb if mb - first_mb < LASTING_GROWTH_MB else None)(
                station.resident_mb()), 20)
        print(f"resident memory: {first_mb:.1f} MB before, peak {peak_mb:.1f} MB, "
              f"{last_mb:.1f} MB after")
        assert peak_mb - first_mb < PEAK_GROWTH_MB, f"peak {peak_mb:.1f} MB"
        print("the station kept transmitting through the abuse, its memory bounded")
        return 0
    finally:
        if demo:
            demo.stop()

if __name__ == "__main__":
    sys.exit(main())
