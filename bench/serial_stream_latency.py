#!/usr/bin/env python3
"""Times the serial event stream against the polling terminal, and what listeners cost.

    bench/serial_stream_latency.py VANTREL [ROUNDS] [POLL_ROUNDS] [MEBIBYTES] [PACED_MBPS]

Starts VANTREL headless on a free loopback port in a home of its own, makes a
pseudo terminal whose device end stands in for the serial device and has the
gateway open it through a page. Then:

1. ROUNDS times (default 500): writes one byte on the device side and times
   until a listener of /serial-events has it as an "rx" event.
2. POLL_ROUNDS times (default 40): the same for the terminal's fallback, which
   asks a page answering receive() every 500 ms after its last answer; the byte
   is written at a random moment, as a device answers whenever it does.
3. The serial rate: MEBIBYTES (default 4) written on the device side as fast as
   the gateway takes them, until a page sees them all in the receive buffer,
   with no listener and with 16 listeners reading the stream (in a process of
   their own at the lowest priority, standing for browsers, which usually run
   on other machines); three runs each, taking turns, the median
   counted. Once as fast as the pseudo terminal goes (far beyond any serial
   line: the processors are the limit, and the listeners' reader shares them),
   and once with the device
   sending at PACED_MBPS (default 1 MB/s, ten times a 921600-baud line), where
   the listeners must not slow the port.

Prints medians and 95th percentiles. Run it niced on a quiet machine; on a
shared one the figures say more about the neighbours.
"""

import os
import random
import selectors
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import tty
import urllib.parse

PAGES = {
    "open.vpg": '<% openport(get_value("port"), "115200", "8", "None", "1", "None") %>'
    "<%= is_open() %>",
    # What it answers it takes out of the buffer, and no more: a byte that
    # arrives while the page runs waits for the next poll.
    "poll.vpg": "<% r = receive() %><%= r %><% flush_part(Length(r)) %>",
    "count.vpg": "<%= Length(receive()) %>",
    "flush.vpg": "<% flush() %>ok",
}
POLL_MS = 500  # the terminal's pause between polls
TIMEOUT_SECONDS = 5.0
LISTENERS = 16


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def get(port, document):
    """The body of the answer to GET document; fails on any status but 200."""
    with socket.create_connection(("127.0.0.1", port)) as connection:
        connection.sendall(f"GET {document} HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n".encode())
        chunks = []
        while chunk := connection.recv(65536):
            chunks.append(chunk)
    head, _, body = b"".join(chunks).partition(b"\r\n\r\n")
    if b" 200 " not in head.split(b"\r\n", 1)[0] + b" ":
        sys.exit(f"{document}: {head[:60]!r}")
    return body.decode("latin-1")


class Listener:
    """A client of /serial-events; collects the data of its rx and gap events."""

    def __init__(self, port):
        self.socket = socket.create_connection(("127.0.0.1", port))
        self.socket.sendall(b"GET /serial-events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        self.pending = b""
        self.rx_digits = 0
        self.gaps = 0
        self.events = []
        head = b""
        while b"\r\n\r\n" not in head:
            head += self.socket.recv(4096)
        if b" 200 " not in head.split(b"\r\n", 1)[0]:
            sys.exit(f"/serial-events: {head[:60]!r}")
        self.pending = head.partition(b"\r\n\r\n")[2]

    def feed(self, data):
        """Takes received bytes; returns the rx data of the events they completed."""
        self.pending += data
        rx = []
        while b"\n\n" in self.pending:
            event, _, self.pending = self.pending.partition(b"\n\n")
            lines = dict(line.split(b": ", 1) for line in event.split(b"\n") if b": " in line)
            if lines.get(b"event") == b"rx":
                self.rx_digits += len(lines[b"data"])
                rx.append(lines[b"data"])
            elif lines.get(b"event") == b"gap":
                self.gaps += int(lines[b"data"])
        return rx

    def close(self):
        self.socket.close()


def percentile(values, share):
    ordered = sorted(values)
    return ordered[max(0, int(len(ordered) * share + 0.5) - 1)]


def stream_latency(port, master, rounds):
    listener = Listener(port)
    latencies = []
    listener.socket.settimeout(TIMEOUT_SECONDS)
    for n in range(rounds):
        byte = bytes([ord("A") + n % 26])
        start = time.perf_counter()
        os.write(master, byte)
        got = []
        while not got:
            got = listener.feed(listener.socket.recv(65536))
        latencies.append(time.perf_counter() - start)
        if got != [byte.hex().upper().encode()]:
            sys.exit(f"expected {byte!r}, the stream gave {got!r}")
    listener.close()
    return latencies


def poll_latency(port, master, rounds):
    """The terminal's fallback: a poll, 500 ms, a poll... the byte comes at any moment."""
    latencies = []
    for n in range(rounds):
        byte = chr(ord("a") + n % 26)
        get(port, "/poll.vpg")  # The poll before the byte comes.
        pause = POLL_MS / 1000
        arrives = random.uniform(0, pause)  # where in the pause the device answers
        time.sleep(arrives)
        start = time.perf_counter()
        os.write(master, byte.encode())
        time.sleep(pause - arrives)
        while True:
            answer = get(port, "/poll.vpg").strip()
            if answer == byte:
                break
            if answer or time.perf_counter() - start > TIMEOUT_SECONDS:
                sys.exit(f"expected {byte!r}, the page returned {answer!r}")
            time.sleep(pause)
        latencies.append(time.perf_counter() - start)
    return latencies


def read_listeners(port, listeners, total, ready, report):
    """In a process of its own: opens the listeners, says so on `ready`, reads them until
    each has every byte or a gap for it, and writes the bytes missed to `report`. A
    browser reads in a process of its own too; reading in the writer's loop would slow
    the device itself, which no browser can do."""
    os.nice(19)
    clients = [Listener(port) for _ in range(listeners)]
    os.write(ready, b"r")
    selector = selectors.DefaultSelector()
    for client in clients:
        selector.register(client.socket, selectors.EVENT_READ, client)
    waiting = set(clients)
    deadline = time.perf_counter() + 120
    while waiting and time.perf_counter() < deadline:
        for key, _ in selector.select(timeout=1):
            client = key.data
            data = client.socket.recv(1 << 20)
            if not data:
                sys.exit("a listener's stream ended")
            client.feed(data)
            if client.rx_digits + 2 * client.gaps >= 2 * total:
                selector.unregister(client.socket)
                waiting.discard(client)
    os.write(report, str(sum(c.gaps for c in clients) if not waiting else -1).encode())
    for client in clients:
        client.close()


def serial_rate(port, master, total, listeners, pace=None):
    """Bytes a second the gateway takes from the device with `listeners` reading (in a
    process of their own); returns the rate and the bytes the listeners missed."""
    get(port, "/flush.vpg")
    reader = None
    if listeners:
        ready_r, ready_w = os.pipe()
        report_r, report_w = os.pipe()
        reader = os.fork()
        if reader == 0:
            try:
                read_listeners(port, listeners, total, ready_w, report_w)
            finally:
                os._exit(0)
        os.read(ready_r, 1)
    os.set_blocking(master, False)
    selector = selectors.DefaultSelector()
    selector.register(master, selectors.EVENT_WRITE, None)
    block = bytes(range(256)) * 256
    written = 0
    start = time.perf_counter()
    done_at = None
    while done_at is None:
        if written < total and selector.select(timeout=0.01):
            allowed = total - written
            if pace:
                allowed = min(allowed, int((time.perf_counter() - start) * pace) - written)
            if allowed > 0:
                written += os.write(master, block[: min(len(block), allowed)])
        if written == total and int(get(port, "/count.vpg")) >= total:
            done_at = time.perf_counter()
        elif pace and written < total:
            time.sleep(0.001)
        if time.perf_counter() - start > 120:
            sys.exit("the rate test did not finish in 120 s")
    os.set_blocking(master, True)
    gaps = 0
    if reader:
        gaps = int(os.read(report_r, 64) or b"-1")
        os.waitpid(reader, 0)
        for end in (ready_r, ready_w, report_r, report_w):
            os.close(end)
        if gaps < 0:
            sys.exit("the listeners did not get every byte")
    return total / (done_at - start), gaps


def main():
    if not 2 <= len(sys.argv) <= 6:
        sys.exit(__doc__)
    vantrel = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 500
    poll_rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 40
    total = int(float(sys.argv[4]) * 1024 * 1024) if len(sys.argv) > 4 else 4 << 20
    pace = float(sys.argv[5]) * 1e6 if len(sys.argv) > 5 else 1e6

    home = tempfile.mkdtemp(prefix="vantrel-stream-bench-")
    os.mkdir(os.path.join(home, "web"))
    for name, text in PAGES.items():
        with open(os.path.join(home, "web", name), "w") as page:
            page.write(text + "\n")
    port = free_port()
    with open(os.path.join(home, "config.ini"), "w", newline="") as f:
        f.write(f"Server port={port}\r\nMax listeners={LISTENERS + 1}\r\n")
    gateway = subprocess.Popen([vantrel, "--headless", "--home", home],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", port)).close()
                break
            except OSError:
                time.sleep(0.1)
        master, device_end = os.openpty()
        tty.setraw(device_end)
        path = os.ttyname(device_end)
        if not get(port, "/open.vpg?port=" + urllib.parse.quote(path)).strip():
            sys.exit(f"the gateway did not open {path}")

        stream = stream_latency(port, master, rounds)
        polled = poll_latency(port, master, poll_rounds)
        runs = {(speed, listeners): [] for speed in (None, pace) for listeners in (0, LISTENERS)}
        gaps = {speed: 0 for speed in (None, pace)}
        for _ in range(3):
            for speed, listeners in runs:
                rate, missed = serial_rate(port, master, total, listeners, speed)
                runs[(speed, listeners)].append(rate)
                gaps[speed] += missed
        os.close(master)
        os.close(device_end)
    finally:
        gateway.terminate()
        gateway.wait()
        shutil.rmtree(home, ignore_errors=True)

    print(f"A byte from {path} to a client ({rounds} bytes streamed, {poll_rounds} polled)")
    print(f"{'':<34} {'median':>9} {'95th':>9}")
    for name, values in (("event stream, ms", stream), ("polling terminal (500 ms), ms", polled)):
        print(f"{name:<34} {statistics.median(values) * 1000:>9.3f} "
              f"{percentile(values, 0.95) * 1000:>9.3f}")
    for speed in (None, pace):
        no_listener = statistics.median(runs[(speed, 0)])
        with_listeners = statistics.median(runs[(speed, LISTENERS)])
        how = "as fast as it goes" if speed is None else f"sent at {speed / 1e6:g} MB/s"
        print(f"Serial rate, {total >> 20} MiB from the device {how}, median of 3 runs:")
        print(f"  no listener        {no_listener / 1e6:9.2f} MB/s")
        print(f"  {LISTENERS} listeners       {with_listeners / 1e6:9.2f} MB/s"
              f"  ({with_listeners / no_listener:.2f} of the rate without; "
              f"{gaps[speed]} bytes missed)")


if __name__ == "__main__":
    main()
