#!/usr/bin/env python3
"""Times how long a byte takes from the serial device to a polling script page.

    bench/serial_poll_latency.py WEB_DIR HTTP_PORT [ROUNDS]

Needs a gateway serving WEB_DIR on 127.0.0.1:HTTP_PORT (bench/page_load_test.sh
starts one and calls this). Makes a pseudo terminal whose device end stands in
for the serial device, writes three pages into WEB_DIR and has the gateway open
the terminal through one of them. Then, ROUNDS times, writes one byte on the
device side and requests a page that answers what receive() gives and takes
that much out of the buffer, again and again until the byte comes back.
Prints the median and the 95th percentile of that time, of the polls it took
and of one empty poll.
"""

import os
import socket
import statistics
import sys
import time
import tty
import urllib.parse

PAGES = {
    "poll_open.vpg": '<% openport(get_value("port"), "9600", "8", "None", "1", "None") %>'
    "<%= is_open() %>",
    # What it answers it takes out of the buffer, and no more: a byte that
    # arrives while the page runs waits for the next poll.
    "poll.vpg": "<% r = receive() %><%= r %><% flush_part(Length(r)) %>",
    "poll_close.vpg": "<% closeport() %><%= is_open() %>",
}
TIMEOUT_SECONDS = 2.0


def get(port, document):
    """The body of the answer to GET document; fails on any status but 200."""
    with socket.create_connection(("127.0.0.1", port)) as connection:
        connection.sendall(
            f"GET {document} HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n".encode())
        chunks = []
        while chunk := connection.recv(65536):
            chunks.append(chunk)
    head, _, body = b"".join(chunks).partition(b"\r\n\r\n")
    status = head.split(b"\r\n", 1)[0]
    if b" 200 " not in status + b" ":
        sys.exit(f"{document}: {status.decode(errors='replace')}")
    text = body.decode("latin-1")
    if "Another script is running" in text:
        sys.exit(f"{document}: another page is running")
    return text


def percentile(values, share):
    ordered = sorted(values)
    return ordered[max(0, int(len(ordered) * share + 0.5) - 1)]


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    web_dir, port = sys.argv[1], int(sys.argv[2])
    rounds = int(sys.argv[3]) if len(sys.argv) == 4 else 500
    for name, text in PAGES.items():
        with open(os.path.join(web_dir, name), "w") as page:
            page.write(text + "\n")

    master, device_end = os.openpty()
    # Keeping the device end open keeps the terminal up while the gateway has
    # it; raw mode passes the bytes as they are.
    tty.setraw(device_end)
    path = os.ttyname(device_end)
    settings = get(port, "/poll_open.vpg?port=" + urllib.parse.quote(path)).strip()
    if not settings:
        sys.exit(f"the gateway did not open {path}")
    get(port, "/poll.vpg")  # Empties the receive buffer.

    latencies, poll_counts, empty_polls = [], [], []
    for n in range(rounds):
        byte = chr(ord("A") + n % 26)
        start = time.perf_counter()
        os.write(master, byte.encode())
        polls = 0
        while True:
            poll_start = time.perf_counter()
            answer = get(port, "/poll.vpg").strip()
            polls += 1
            if answer == byte:
                break
            if answer:
                sys.exit(f"expected {byte!r}, the page returned {answer!r}")
            empty_polls.append(time.perf_counter() - poll_start)
            if time.perf_counter() - start > TIMEOUT_SECONDS:
                sys.exit(f"{byte!r} did not come back within {TIMEOUT_SECONDS} s")
        latencies.append(time.perf_counter() - start)
        poll_counts.append(polls)
    if get(port, "/poll_close.vpg").strip():
        sys.exit(f"the gateway did not close {path}")
    os.close(master)
    os.close(device_end)

    def row(name, values, scale, unit):
        print(f"{name:<22} {statistics.median(values) * scale:>9.3f} "
              f"{percentile(values, 0.95) * scale:>9.3f}  {unit}")

    print(f"{rounds} bytes from {path} (9600 8N1), each polled until it came back")
    print(f"{'':<22} {'median':>9} {'95th':>9}")
    row("byte to page", latencies, 1000, "ms")
    row("polls per byte", poll_counts, 1, "")
    if empty_polls:
        row("one empty poll", empty_polls, 1000, "ms")


if __name__ == "__main__":
    main()
