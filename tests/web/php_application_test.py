#!/usr/bin/env python3
"""A real PHP application, as Debian packages it, used through the gateway.

  php_application_test.py --vantrel PROGRAM [--php-cgi PATH]

Sets DokuWiki (Debian's package `dokuwiki`) up below the web directory of a
gateway of its own (its code copied from /usr/share/dokuwiki, with a
configuration and data folder of the test's), starts the gateway headless on
a free loopback port with php-cgi as its PHP program, and uses the wiki as a
browser would: logs in through the login form, keeps the session in cookies
across requests, follows the redirect after each POST, saves a page through
a form posted to a URL with a query, uploads a file through a multipart
form, and reads pages by path info (doku.php/start). It also checks that no
warning of the application leaks into an answer's header.

Exit status 0 when all of it works; 1 when a step fails, with the answer and
the gateway's log; 77 (skipped) when DokuWiki or php-cgi is not installed.
"""

import argparse
import contextlib
import http.cookiejar
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.parse
import urllib.request

SKIPPED = 77
DOKUWIKI = "/usr/share/dokuwiki"
DOKUWIKI_CONF = "/etc/dokuwiki"
DOKUWIKI_DATA = "/var/lib/dokuwiki/data"
USER, PASSWORD, FULL_NAME = "tester", "gateway-secret", "Test User"
START_SECONDS = 20
# A PNG of one pixel: the wiki takes uploads by their extension and type.
PIXEL_PNG = bytes.fromhex(
    "89504e470d0a1a0a0000000d4948445200000001000000010806000000"
    "1f15c4890000000d49444154789c6360000002000001e221bc330000000049454e44ae426082")


class Failure(Exception):
    """A step that did not work; the message says which and why."""


def log(message):
    print(message, flush=True)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def accepts_connections(port):
    with socket.socket() as s:
        s.settimeout(1)
        return s.connect_ex(("127.0.0.1", port)) == 0


class NoRedirects(urllib.request.HTTPRedirectHandler):
    """Hands a redirect back to the test, which checks it and follows it."""

    def redirect_request(self, req, fp, code, msg, headers, newurl):
        return None


class Browser:
    """Cookies kept across requests; redirects seen, then followed."""

    def __init__(self, base):
        self.base = base
        self.cookies = http.cookiejar.CookieJar()
        self.opener = urllib.request.build_opener(
            urllib.request.ProxyHandler({}), NoRedirects(),
            urllib.request.HTTPCookieProcessor(self.cookies))

    def request(self, path, data=None, content_type=None):
        """(status, headers, body) of one request, without following a redirect."""
        headers = {"Content-Type": content_type} if content_type else {}
        url = path if path.startswith("http") else self.base + path
        request = urllib.request.Request(url, data=data, headers=headers)
        try:
            with self.opener.open(request, timeout=30) as answer:
                status, head, body = answer.status, answer.headers, answer.read()
        except urllib.error.HTTPError as error:
            status, head, body = error.code, error.headers, error.read()
        if any(name.startswith("PHP ") for name in head.keys()):
            raise Failure(f"{path}: the application's warnings are in the header: {head}")
        return status, head, body.decode("utf-8", "replace")

    def get(self, path):
        status, head, body = self.request(path)
        if status != 200:
            raise Failure(f"GET {path}: status {status}\n{body[:2000]}")
        return body

    def post_and_follow(self, path, data, content_type="application/x-www-form-urlencoded"):
        """POSTs, expects the redirect after the POST and follows it."""
        status, head, body = self.request(path, data, content_type)
        if status != 302 or not head.get("Location"):
            raise Failure(f"POST {path}: no redirect after the POST (status {status})\n"
                          f"{body[:2000]}")
        return head["Location"], self.get(head["Location"])

    def cookie_names(self):
        return {cookie.name for cookie in self.cookies}


def form(page, form_id):
    """The action and the hidden fields of the form `form_id` of a page."""
    match = re.search(r'<form id="%s"[^>]*action="([^"]*)"(.*?)</form>' % re.escape(form_id),
                      page, re.S)
    if not match:
        raise Failure(f"no form {form_id} in the page:\n{page[:2000]}")
    action = match.group(1).replace("&amp;", "&")
    fields = dict(re.findall(r'<input type="hidden" name="([^"]*)" value="([^"]*)"',
                             match.group(2)))
    return action, fields


def multipart(fields, file_field, file_name, content):
    boundary = "vantrel-boundary-8c1e"
    parts = []
    for name, value in fields.items():
        parts.append(f'--{boundary}\r\nContent-Disposition: form-data; name="{name}"\r\n\r\n'
                     f"{value}\r\n".encode())
    parts.append(f'--{boundary}\r\nContent-Disposition: form-data; name="{file_field}"; '
                 f'filename="{file_name}"\r\nContent-Type: image/png\r\n\r\n'.encode() +
                 content + b"\r\n")
    parts.append(f"--{boundary}--\r\n".encode())
    return b"".join(parts), f"multipart/form-data; boundary={boundary}"


# --- the set-up -------------------------------------------------------------------------------

def password_hash(php_cgi, root):
    """A password hash as the wiki's user file takes it, made by PHP itself."""
    script = os.path.join(root, "hash.php")
    with open(script, "w") as f:
        f.write(f'<?php echo password_hash("{PASSWORD}", PASSWORD_DEFAULT);')
    return subprocess.run([php_cgi, "-q", script], check=True, capture_output=True,
                          text=True).stdout.strip()


def set_up_wiki(home, php_cgi):
    """The wiki's code in web/wiki, its configuration and data beside the web folder."""
    wiki = os.path.join(home, "web", "wiki")
    conf = os.path.join(home, "wiki-conf")
    data = os.path.join(home, "wiki-data")
    shutil.copytree(DOKUWIKI, wiki, symlinks=False)
    shutil.copytree(DOKUWIKI_CONF, conf, symlinks=False)
    shutil.copytree(DOKUWIKI_DATA, data, symlinks=False)
    # The package's preload points at /etc/dokuwiki; this wiki has its own.
    with open(os.path.join(wiki, "inc", "preload.php"), "w") as f:
        f.write(f"<?php\nif (!defined('DOKU_CONF')) define('DOKU_CONF', '{conf}/');\n")
    with open(os.path.join(conf, "local.php"), "w") as f:
        f.write("<?php\n"
                "$conf['title'] = 'Vantrel test wiki';\n"
                f"$conf['savedir'] = '{data}';\n"
                "$conf['useacl'] = 1;\n"
                "$conf['superuser'] = '@admin';\n"
                "$conf['userewrite'] = 2;\n")  # Pages by path info: doku.php/page.
    with open(os.path.join(conf, "users.auth.php"), "w") as f:
        f.write(f"{USER}:{password_hash(php_cgi, home)}:{FULL_NAME}:t@example.org:admin,user\n")
    with open(os.path.join(conf, "acl.auth.php"), "w") as f:
        f.write("*  @ALL  1\n*  @user  16\n")


def start_gateway(stack, vantrel, php_cgi, root):
    home = os.path.join(root, "home")
    os.makedirs(os.path.join(home, "web"))
    set_up_wiki(home, php_cgi)
    port = free_port()
    with open(os.path.join(home, "config.ini"), "w", newline="") as f:
        f.write(f"AutoActivate=no\r\nAutoMinimize=no\r\nServer port={port}\r\nUse session=no\r\n"
                "Session expire=1\r\nAuth require=no\r\nAuth user=user\r\nAuth password=x\r\n"
                f"Log to file=no\r\nPHP path={php_cgi}\r\n")
    output = os.path.join(root, "gateway.log")
    with open(output, "wb") as sink:
        process = subprocess.Popen([vantrel, "--headless", "--home", home],
                                   stdin=subprocess.DEVNULL, stdout=sink,
                                   stderr=subprocess.STDOUT)

    def stop():
        process.terminate()
        try:
            process.wait(10)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    stack.callback(stop)
    deadline = time.monotonic() + START_SECONDS
    while not accepts_connections(port):
        if process.poll() is not None or time.monotonic() > deadline:
            raise Failure("the gateway did not start")
        time.sleep(0.1)
    return port, output


# --- the use ----------------------------------------------------------------------------------

def use_wiki(browser):
    log("The login form")
    page = browser.get("/wiki/doku.php?id=start&do=login")
    action, fields = form(page, "dw__login")
    if "DokuWiki" not in browser.cookie_names():
        raise Failure(f"no session cookie: {browser.cookie_names()}")

    log(f"Logging in through {action}")
    fields.update({"u": USER, "p": PASSWORD})
    location, page = browser.post_and_follow(action, urllib.parse.urlencode(fields).encode())
    if f"<bdi>{FULL_NAME}</bdi>" not in page:
        raise Failure(f"not logged in after the redirect to {location}:\n{page[:2000]}")

    log("A page by path info, with the session's cookies")
    page = browser.get("/wiki/doku.php/start")
    if f"<bdi>{FULL_NAME}</bdi>" not in page:
        raise Failure("the session did not last to the next request")

    log("Saving a page through a form posted to a URL with a query")
    page = browser.get("/wiki/doku.php?id=playground:probe&do=edit")
    action, fields = form(page, "dw__editform")
    if "?" not in action:
        raise Failure(f"the edit form's action carries no query: {action}")
    fields.update({"wikitext": "Written through the gateway.", "summary": "probe",
                   "do[save]": "Save"})
    location, page = browser.post_and_follow(action, urllib.parse.urlencode(fields).encode())
    if "Written through the gateway." not in browser.get("/wiki/doku.php/playground:probe"):
        raise Failure(f"the page was not saved (redirected to {location})")

    log("Uploading a file")
    page = browser.get("/wiki/doku.php?ns=playground&do=media&tab_files=upload")
    action, fields = form(page, "dw__upload")
    fields["mediaid"] = "probe.png"
    body, content_type = multipart(fields, "upload", "probe.png", PIXEL_PNG)
    status, _, page = browser.request(action, body, content_type)
    if status != 200 or "Upload successful" not in page:
        found = re.findall(r'<div class="(?:error|success|info)">([^<]*)', page)
        raise Failure(f"the upload failed: status {status}, {found}")
    status, head, _ = browser.request("/wiki/lib/exe/fetch.php?media=playground:probe.png")
    if status != 200 or head.get("Content-Type") != "image/png":
        raise Failure(f"the uploaded file is not served: {status} {head.get('Content-Type')}")


def run(args):
    with contextlib.ExitStack() as stack:
        root = stack.enter_context(tempfile.TemporaryDirectory(prefix="vantrel-php-"))
        port, gateway_log = start_gateway(stack, args.vantrel, args.php_cgi, root)
        try:
            use_wiki(Browser(f"http://127.0.0.1:{port}"))
        except (Failure, OSError) as failure:
            with open(gateway_log, errors="replace") as f:
                tail = "\n".join(f.read().splitlines()[-30:])
            raise Failure(f"{failure}\n--- the end of the gateway's log:\n{tail}") from None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--vantrel", required=True)
    parser.add_argument("--php-cgi", default="/usr/bin/php-cgi")
    args = parser.parse_args()
    missing = [path for path in (os.path.join(DOKUWIKI, "doku.php"), args.php_cgi)
               if not os.path.exists(path)]
    if missing:
        log(f"Skipped: {' and '.join(missing)} not installed (Debian's dokuwiki and php-cgi)")
        return SKIPPED
    try:
        run(args)
    except Failure as failure:
        print(f"FAILED: {failure}", file=sys.stderr, flush=True)
        return 1
    log("DokuWiki logged in, kept its session, saved a page, took an upload and served path info")
    return 0


if __name__ == "__main__":
    sys.exit(main())
