#!/usr/bin/env python3
"""Checks the reverse proxy example of README.md ("TLS in front") with nginx.

Starts a private nginx on a loopback port whose server block holds the
README's rules as written (only the listen, TLS and name lines left out, and
proxy_pass pointed at this test's own backend), in front of a small HTTP
server that records every path it is asked for. Each spelling of the log's
path that the gateway would serve as web/log.txt (it takes "/" and "\\" both
as separators, drops "." segments, resolves "..", and does not
percent-decode) must get 404 from nginx and never reach the backend; other
documents must pass.

Exits 77 (skipped, with a note) when nginx is not installed: the project
does not install it, since Debian's package starts a server on port 80.
"""
import http.server
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

README = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "README.md")

# Documents the gateway would answer with web/log.txt.
LOG_SPELLINGS = [
    "/log.txt",
    "/log.txt/",
    "/log.txt/.",
    "/\\log.txt",
    "//log.txt",
    "/./log.txt",
    "/x/../log.txt",
    "/x\\..\\log.txt",
    "/log.txt\\",
    "/log.txt\\.",
    "/%6Cog.txt",
    "/%6cog.txt",
    "/log%2Etxt",
    "/log.txt?x=1",
    "/log.txt#top",
    # nginx resolves ".." after "log.txt\\x" and sees "/", the gateway
    # splits at "\\" and resolves it to log.txt.
    "/log.txt\\x/..",
    # nginx decodes %2F into a separator before resolving "..", the gateway
    # takes "x%2F.." as one name.
    "/log.txt/x%2F../..",
    "http://localhost/log.txt",
]

# Documents that must reach the backend as they are.
PASSING = ["/index.html", "/blog.txt", "/log.txt.html", "/help/index.html?q=log.txt"]


def nginx_binary():
    for candidate in (shutil.which("nginx"), "/usr/sbin/nginx"):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    return None


def readme_rules(backend_port):
    """The lines of the README's nginx server block that decide what reaches
    the gateway, with proxy_pass pointed at the backend."""
    text = open(README, encoding="utf-8").read()
    section = text.split("### TLS in front", 1)[1].split("\n#", 1)[0]
    block = re.search(r"```nginx\n(.*?)```", section, re.S).group(1)
    inner = block.split("{", 1)[1].rsplit("}", 1)[0]
    kept = []
    for line in inner.splitlines():
        word = line.split()[0] if line.split() else ""
        if word in ("listen", "server_name") or word.startswith("ssl_"):
            continue
        kept.append(line)
    rules = "\n".join(kept)
    rules, count = re.subn(r"proxy_pass http://127\.0\.0\.1:\d+;",
                           f"proxy_pass http://127.0.0.1:{backend_port};", rules)
    assert count == 1, f"the README's block has {count} proxy_pass lines to the gateway"
    return rules


class Backend(http.server.BaseHTTPRequestHandler):
    seen = []

    def do_GET(self):
        Backend.seen.append(self.path)
        body = b"backend\n"
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def status_of(port, target):
    """Sends a GET for `target` exactly as written; returns the status code."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        s.sendall(f"GET {target} HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n".encode())
        answer = b""
        while b"\r\n" not in answer:
            chunk = s.recv(4096)
            if not chunk:
                break
            answer += chunk
    return int(answer.split(b" ", 2)[1])


def main():
    nginx = nginx_binary()
    if not nginx:
        print("proxy_rules_test: skipped: nginx is not installed (apt install nginx-light)")
        return 77

    backend = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Backend)
    threading.Thread(target=backend.serve_forever, daemon=True).start()
    work = tempfile.mkdtemp()
    port = free_port()
    conf = os.path.join(work, "nginx.conf")
    with open(conf, "w") as f:
        f.write(f"""
worker_processes 1;
daemon off;
pid {work}/nginx.pid;
error_log {work}/error.log;
events {{ worker_connections 64; }}
http {{
  access_log off;
  client_body_temp_path {work};
  proxy_temp_path {work};
  fastcgi_temp_path {work};
  uwsgi_temp_path {work};
  scgi_temp_path {work};
  server {{
    listen 127.0.0.1:{port};
{readme_rules(backend.server_address[1])}
  }}
}}
""")
    server = subprocess.Popen([nginx, "-p", work, "-e", f"{work}/error.log", "-c", conf],
                              stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    failures = []
    try:
        for _ in range(200):
            if server.poll() is not None:
                raise SystemExit(f"nginx did not start: {server.stderr.read().decode()}")
            try:
                socket.create_connection(("127.0.0.1", port), timeout=1).close()
                break
            except OSError:
                time.sleep(0.05)
        for target in LOG_SPELLINGS:
            before = len(Backend.seen)
            status = status_of(port, target)
            reached = Backend.seen[before:]
            if status != 404 or reached:
                failures.append(f"{target!r}: status {status}, backend asked for {reached}")
        for target in PASSING:
            before = len(Backend.seen)
            status = status_of(port, target)
            if status != 200 or Backend.seen[before:] != [target]:
                failures.append(f"{target!r} did not pass: status {status}, "
                                f"backend asked for {Backend.seen[before:]}")
    finally:
        server.terminate()
        server.wait()
        backend.shutdown()
        shutil.rmtree(work, ignore_errors=True)
    if failures:
        print("proxy_rules_test: the README's nginx rules let through:", *failures, sep="\n  ")
        return 1
    print(f"proxy_rules_test: {len(LOG_SPELLINGS)} spellings of /log.txt refused by nginx, "
          f"{len(PASSING)} other documents passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
