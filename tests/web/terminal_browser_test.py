#!/usr/bin/env python3
"""The web serial terminal, used in a real browser as a person uses it.

  terminal_browser_test.py --vantrel PROGRAM --devsim PROGRAM --web WEB_DIR --screenshot PNG

Starts the simulated device on a pseudo terminal and the gateway (headless, on a
free loopback port, serving a copy of WEB_DIR), then drives headless Chromium
through chromedriver, speaking the W3C WebDriver protocol over HTTP: it opens
terminal.html, types the simulator's path as the port, presses Open, sends
"ID?" with the line end CR, waits until the device's answer is on the screen,
saves a screenshot to PNG and closes the port again. Then it opens two terminals
side by side (two frames of one page): the left one opens the port and sends, and
both show the device's answer and what was sent, which only the gateway's event
stream gives the right one; that picture is saved beside PNG as
two-terminals.png. Then it tries what another
web site could: a page on another origin whose image asks the gateway to open
the port, and a link that puts a script into a page's error line; neither may
reach the device or run.

Exit status 0 when all of it works; 1 when a step fails, with the page's status
line and screen and the gateway's log; 77 (skipped) when Chromium or
chromedriver is not installed. Every process it starts is stopped and every
temporary file removed on every way out.
"""

import argparse
import base64
import contextlib
import ctypes
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
SKIPPED = 77
DEVICE_ANSWER = "VANTREL-SIM,1.0"
CLOSED_STATUS = "The port is closed."
ELEMENT_KEY = "element-6066-11e4-a52e-4f735466cecf"  # W3C WebDriver's element reference
START_SECONDS = 20  # for the simulator, the gateway and chromedriver to come up
BROWSER_SECONDS = 60  # for Chromium to start and answer
PAGE_SECONDS = 30  # for the page to show what a step leads to
STOP_SECONDS = 10  # for a process to end after SIGTERM
# The whole run gives up after this, well before ctest's time-out of 120 s
# kills it, so that it still stops the browser and cleans up.
RUN_SECONDS = 95
PR_SET_PDEATHSIG = 1

# Loopback only: a proxy from the environment must not stand in between.
HTTP = urllib.request.build_opener(urllib.request.ProxyHandler({}))


class Failure(Exception):
    """A step that did not work; the message says which and why."""


def log(message):
    print(message, flush=True)


def wait_until(what, condition, seconds):
    """Polls `condition` until it returns something true, which is returned."""
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure(f"no {what} within {seconds} s")
        time.sleep(0.1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def accepts_connections(port):
    with socket.socket() as s:
        s.settimeout(1)
        return s.connect_ex(("127.0.0.1", port)) == 0


def read_file(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def log_tail(path, lines=40):
    return "\n".join(read_file(path).splitlines()[-lines:])


# --- processes --------------------------------------------------------------------------------

def _end_with_this_test():
    """In the child: the child ends when the test is killed (SIGKILL allows no clean-up)."""
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def _stop(process):
    """Ends the process and whatever it started in its process group."""
    with contextlib.suppress(ProcessLookupError):
        os.killpg(process.pid, signal.SIGTERM)
    try:
        process.wait(STOP_SECONDS)
    except subprocess.TimeoutExpired:
        pass
    # Children that outlive their parent (browser helpers) and a parent that
    # ignored SIGTERM.
    with contextlib.suppress(ProcessLookupError):
        os.killpg(process.pid, signal.SIGKILL)
    process.wait()


def start(stack, argv, output):
    """Starts `argv` in a process group of its own with its output in the file
    `output`; the stack stops it."""
    with open(output, "wb") as sink:
        process = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=sink,
                                   stderr=subprocess.STDOUT, start_new_session=True,
                                   preexec_fn=_end_with_this_test)
    stack.callback(_stop, process)
    return process


def wait_for_start(what, process, output, ready):
    """Waits until `ready()`; fails at once, with its output, when the process ends."""
    def started():
        if process.poll() is not None:
            raise Failure(f"{what} ended with status {process.returncode}")
        return ready()
    try:
        wait_until(f"{what} ready", started, START_SECONDS)
    except Failure as failure:
        raise Failure(f"{failure}\n{read_file(output)}") from None


# --- WebDriver --------------------------------------------------------------------------------

def error_text(error):
    """The error and the first line of the message of a WebDriver error answer."""
    try:
        value = json.loads(error.read())["value"]
        return f"{value['error']}: {value['message'].splitlines()[0]}"
    except (ValueError, KeyError, TypeError, IndexError, OSError):
        return f"HTTP status {error.code}"


class Browser:
    """One WebDriver session of chromedriver, elements found by CSS selector."""

    def __init__(self, driver_port):
        self.base = f"http://127.0.0.1:{driver_port}"
        self.path = ""

    def call(self, method, path, body=None, timeout=PAGE_SECONDS):
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + self.path + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with HTTP.open(request, timeout=timeout) as response:
                return json.load(response)["value"]
        except urllib.error.HTTPError as error:
            raise Failure(f"WebDriver {method} {path}: {error_text(error)}") from None
        except (urllib.error.URLError, OSError) as error:
            raise Failure(f"WebDriver {method} {path}: {error}") from None

    def is_ready(self):
        try:
            return self.call("GET", "/status", timeout=2).get("ready")
        except Failure:
            return False

    def start(self, profile):
        options = {"binary": CHROMIUM,
                   "args": ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                            "--no-first-run", "--disable-background-networking",
                            "--disable-component-update", "--disable-sync",
                            "--disable-dev-shm-usage", "--no-proxy-server",
                            f"--user-data-dir={profile}", "--window-size=1200,1400"]}
        capabilities = {"alwaysMatch": {"browserName": "chrome", "goog:chromeOptions": options}}
        value = self.call("POST", "/session", {"capabilities": capabilities},
                          timeout=BROWSER_SECONDS)
        self.path = "/session/" + value["sessionId"]
        self.call("POST", "/timeouts", {"pageLoad": PAGE_SECONDS * 1000, "implicit": 0})

    def quit(self):
        if self.path:
            with contextlib.suppress(Failure):
                self.call("DELETE", "")
            self.path = ""

    def open(self, url):
        self.call("POST", "/url", {"url": url})

    def element(self, selector):
        found = self.call("POST", "/element", {"using": "css selector", "value": selector})
        return "/element/" + found[ELEMENT_KEY]

    def click(self, selector):
        self.call("POST", self.element(selector) + "/click", {})

    def type(self, selector, text):
        element = self.element(selector)
        self.call("POST", element + "/clear", {})
        self.call("POST", element + "/value", {"text": text})

    def text(self, selector):
        return self.call("GET", self.element(selector) + "/text")

    def property(self, selector, name):
        return self.call("GET", self.element(selector) + "/property/" + name)

    def frame(self, selector):
        """Makes the frame at `selector` the one that elements are found in."""
        found = self.call("POST", "/element", {"using": "css selector", "value": selector})
        self.call("POST", "/frame", {"id": found})

    def top_frame(self):
        self.call("POST", "/frame", {"id": None})

    def scroll_to_top(self):
        self.call("POST", "/execute/sync", {"script": "window.scrollTo(0, 0)", "args": []})

    def screenshot(self):
        return base64.b64decode(self.call("GET", "/screenshot"))


# --- the terminal page ------------------------------------------------------------------------

class TerminalPage:
    def __init__(self, browser):
        self.browser = browser

    def status(self):
        return self.browser.text("#status")

    def screen(self):
        return self.browser.text("#screen")

    def describe(self):
        """The status line and the screen, for a failure message."""
        try:
            return f"#status: {self.status()!r}\n#screen: {self.screen()!r}"
        except Failure as failure:
            return f"(the page cannot be read: {failure})"

    def wait_for(self, what, condition):
        """Waits until `condition()`; fails at once when the status line shows an error."""
        def shown():
            if self.browser.property("#status", "className") == "error":
                raise Failure(f"the page shows an error while waiting for {what}")
            return condition()
        try:
            wait_until(what, shown, PAGE_SECONDS)
        except Failure as failure:
            raise Failure(f"{failure}\n{self.describe()}") from None

    def wait_for_status(self, start):
        self.wait_for(f"status starting {start!r}", lambda: self.status().startswith(start))


def use_terminal(browser, url, device, screenshot):
    page = TerminalPage(browser)
    log(f"Opening {url}")
    browser.open(url)
    page.wait_for_status(CLOSED_STATUS)

    log(f"Opening the port {device}")
    browser.type("#port", device)
    browser.click("#open")
    page.wait_for_status(f"Open: {device} at 9600 baud")

    log("Sending ID? with the line end CR")
    browser.type("#text", "ID?")
    browser.click("#eol option[value='cr']")
    browser.click("#send")
    page.wait_for(f"{DEVICE_ANSWER!r} on the screen", lambda: DEVICE_ANSWER in page.screen())
    log(f"The screen shows: {page.screen()!r}")

    save_screenshot(browser, screenshot)

    log("Closing the port")
    browser.click("#close")
    page.wait_for_status(CLOSED_STATUS)


def save_screenshot(browser, path):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    browser.scroll_to_top()  # clicks scroll the page; the picture shows all of it
    with open(path, "wb") as f:
        f.write(browser.screenshot())
    log(f"Screenshot: {path}")


def use_two_terminals(browser, port, home, device, screenshot):
    """Two terminals side by side: what the device answers shows in both."""
    with open(os.path.join(home, "web", "two-terminals.html"), "w", encoding="utf-8") as f:
        f.write("<!DOCTYPE html><title>two terminals</title>"
                "<style>body{margin:0;display:flex}iframe{flex:1;height:1380px;border:0;"
                "border-right:2px solid #888}</style>"
                '<iframe id="left" src="terminal.html"></iframe>'
                '<iframe id="right" src="terminal.html"></iframe>')
    log("Opening two terminals side by side")
    browser.open(f"http://127.0.0.1:{port}/two-terminals.html")
    page = TerminalPage(browser)
    for side in ("#left", "#right"):
        browser.top_frame()
        browser.frame(side)
        page.wait_for_status(CLOSED_STATUS)

    log("The left one opens the port; the right one hears of it from the stream")
    browser.top_frame()
    browser.frame("#left")
    browser.type("#port", device)
    browser.click("#open")
    page.wait_for_status(f"Open: {device} at 9600 baud")
    browser.top_frame()
    browser.frame("#right")
    page.wait_for_status(f"Open: {device} at 9600 baud")

    log("The left one sends COUNT?; both show what was sent and the answer")
    browser.top_frame()
    browser.frame("#left")
    browser.type("#text", "COUNT?")
    browser.click("#eol option[value='cr']")
    browser.click("#send")
    for side in ("#left", "#right"):
        browser.top_frame()
        browser.frame(side)
        page.wait_for(f"the sent command and the answer in {side}",
                      lambda: re.search(r"COUNT\?\n\d+", page.screen()))
        log(f"{side} shows: {page.screen()!r}")
    browser.top_frame()
    save_screenshot(browser, os.path.join(os.path.dirname(screenshot), "two-terminals.png"))

    browser.frame("#left")
    browser.click("#close")
    page.wait_for_status(CLOSED_STATUS)
    browser.top_frame()
    browser.frame("#right")
    page.wait_for_status(CLOSED_STATUS)
    browser.top_frame()


def try_other_sites(browser, port, home, device, gateway_log):
    """Another origin's image must not open the port; markup in a query must not run."""
    # 127.0.0.1 and localhost are different sites to the browser.
    attack = os.path.join(home, "web", "other-site.html")
    with open(attack, "w", encoding="utf-8") as f:
        f.write("<!DOCTYPE html><title>another site</title>"
                f'<img src="http://localhost:{port}/terminal/open.vpg?port={device}">')
    log("Opening another site's page that asks the gateway to open the port")
    browser.open(f"http://127.0.0.1:{port}/other-site.html")
    refusal = "Request refused: it comes from another site"
    wait_until("the refusal in the gateway's log", lambda: refusal in read_file(gateway_log),
               PAGE_SECONDS)
    with HTTP.open(f"http://127.0.0.1:{port}/terminal/state.vpg", timeout=PAGE_SECONDS) as answer:
        state = answer.read().decode()
    if state.split("\r\n")[1] != "":
        raise Failure(f"another site's image opened the port: {state!r}")

    log("Following a link with a script in a failing page's query")
    browser.open(f"http://127.0.0.1:{port}/terminal/open.vpg?port=nope&parity="
                 "%3Cscript%3Edocument.title%3D%27owned%27%3C/script%3E")
    title = browser.call("POST", "/execute/sync", {"script": "return document.title", "args": []})
    body = browser.text("body")
    if title == "owned" or "<script>" not in body:
        raise Failure(f"the query's script ran or did not show as text: {title!r} {body!r}")


# --- the run ----------------------------------------------------------------------------------

def start_device(stack, devsim, root):
    device = os.path.join(root, "sim")
    output = os.path.join(root, "devsim.log")
    process = start(stack, [devsim, "--watch-pid", str(os.getpid()), device], output)
    wait_for_start("the simulator", process, output,
                   lambda: device in read_file(output).splitlines())
    return device


def start_gateway(stack, vantrel, web, root):
    """The gateway serving a copy of `web`; its port, its home and its log file."""
    home = os.path.join(root, "home")
    os.mkdir(home)
    shutil.copytree(web, os.path.join(home, "web"))
    port = free_port()
    with open(os.path.join(home, "config.ini"), "w", newline="") as f:
        f.write(f"Server port={port}\r\n")
    output = os.path.join(root, "gateway.log")
    process = start(stack, [vantrel, "--headless", "--home", home], output)
    wait_for_start("the gateway", process, output, lambda: accepts_connections(port))
    return port, home, output


def start_browser(stack, root):
    port = free_port()
    output = os.path.join(root, "chromedriver.log")
    process = start(stack, [CHROMEDRIVER, f"--port={port}"], output)
    browser = Browser(port)
    wait_for_start("chromedriver", process, output, browser.is_ready)
    profile = os.path.join(root, "profile")
    os.mkdir(profile)
    stack.callback(browser.quit)  # before chromedriver stops
    browser.start(profile)
    return browser


def run(stack, args):
    root = stack.enter_context(
        tempfile.TemporaryDirectory(prefix="vantrel-browser-", ignore_cleanup_errors=True))
    device = start_device(stack, args.devsim, root)
    port, home, gateway_log = start_gateway(stack, args.vantrel, args.web, root)
    try:
        browser = start_browser(stack, root)
        use_terminal(browser, f"http://127.0.0.1:{port}/terminal.html", device, args.screenshot)
        use_two_terminals(browser, port, home, device, args.screenshot)
        try_other_sites(browser, port, home, device, gateway_log)
    except Failure as failure:
        gateway = log_tail(gateway_log)
        raise Failure(f"{failure}\n--- the end of the gateway's log:\n{gateway}") from None


def run_and_clean_up(args):
    with contextlib.ExitStack() as stack:
        try:
            run(stack, args)
        finally:
            # Nothing cuts the clean-up short; each of its steps is bounded.
            signal.alarm(0)
            signal.signal(signal.SIGTERM, signal.SIG_IGN)


def give_up(signum, frame):
    if signum == signal.SIGALRM:
        raise Failure(f"the run took longer than {RUN_SECONDS} s")
    raise Failure("stopped by SIGTERM")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for name in ("--vantrel", "--devsim", "--web", "--screenshot"):
        parser.add_argument(name, required=True)
    args = parser.parse_args()
    missing = [path for path in (CHROMIUM, CHROMEDRIVER) if not os.access(path, os.X_OK)]
    if missing:
        log(f"Skipped: {' and '.join(missing)} not installed")
        return SKIPPED
    signal.signal(signal.SIGTERM, give_up)
    signal.signal(signal.SIGALRM, give_up)
    signal.alarm(RUN_SECONDS)
    try:
        run_and_clean_up(args)
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr, flush=True)
        return 1
    log("The terminal opened the port, sent ID? and showed the answer, two terminals both "
        "showed an answer; another site could not")
    return 0


if __name__ == "__main__":
    sys.exit(main())
