#!/usr/bin/env python3
"""Checks the pages that ship in the web directory.

  check_web.py WEB_DIR [--basic VANTREL_BASIC]

- Every .html page has balanced tags (every element but the void ones is
  closed, in order) and no duplicate ids.
- Every link (href, src) of an .html page, of the literal text of a .vpg
  page, and every page named in a quoted string of a .js file resolves to a
  file of the web directory; a #fragment names an id of the target page.
- Nothing is loaded from outside the web directory (no src or stylesheet on
  another host, no url() in CSS to another host).
- Each example page examples/NAME.vpg has its source copy examples/NAME.txt,
  byte for byte.
- With --basic, every .vpg page is translated and compiled as the gateway
  does it, with the web functions and named values (`vantrel-basic --page`).

Exit status 0 when everything holds, 1 otherwise (each fault on a line).
"""

import html.parser
import os
import re
import subprocess
import sys
import urllib.parse

VOID_ELEMENTS = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta",
                 "source", "track", "wbr"}

# --- pages into programs ------------------------------------------------------------------------

def page_text(raw):
    """The page as the gateway reads it: lines, each ended by CR LF."""
    return "".join(line + "\r\n" for line in raw.decode("latin-1").splitlines())


def literal_text(text):
    """The page with its code blocks blanked out, lines kept where they are."""
    return re.sub(r"<%.*?(?:%>|$)", lambda block: "\n" * block.group(0).count("\n"), text,
                  flags=re.S)


# --- HTML -----------------------------------------------------------------------------------------

class PageParser(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.open, self.faults, self.ids, self.links, self.loads = [], [], set(), [], []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if "id" in attrs:
            if attrs["id"] in self.ids:
                self.faults.append(f"line {self.getpos()[0]}: id {attrs['id']} twice")
            self.ids.add(attrs["id"])
        for name in ("href", "src"):
            if attrs.get(name) is not None:
                self.links.append((self.getpos()[0], attrs[name]))
        if attrs.get("src") is not None or (tag == "link" and attrs.get("href")):
            self.loads.append((self.getpos()[0], attrs.get("src") or attrs.get("href")))
        if tag not in VOID_ELEMENTS:
            self.open.append((tag, self.getpos()[0]))

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID_ELEMENTS:
            self.open.pop()

    def handle_endtag(self, tag):
        if tag in VOID_ELEMENTS:
            self.faults.append(f"line {self.getpos()[0]}: </{tag}> closes a void element")
        elif tag not in (name for name, _ in self.open):
            self.faults.append(f"line {self.getpos()[0]}: </{tag}> closes nothing")
        else:
            # Elements left open inside it are reported once, then dropped.
            while self.open[-1][0] != tag:
                name, line = self.open.pop()
                self.faults.append(f"line {line}: <{name}> is not closed before </{tag}>")
            self.open.pop()


def parse_html(text):
    parser = PageParser()
    parser.feed(text)
    parser.close()
    for tag, line in parser.open:
        parser.faults.append(f"line {line}: <{tag}> is never closed")
    return parser


def is_external(url):
    return bool(re.match(r"^([a-z][a-z0-9+.-]*:|//)", url, re.I))


# --- the checks -----------------------------------------------------------------------------------

class WebCheck:
    def __init__(self, web_dir):
        self.web_dir = os.path.realpath(web_dir)
        self.faults = []
        self.ids = {}  # page path -> its ids, for fragments

    def fault(self, path, message):
        self.faults.append(f"{os.path.relpath(path, self.web_dir)}: {message}")

    def files(self, *extensions):
        for folder, _, names in sorted(os.walk(self.web_dir)):
            for name in sorted(names):
                if name.endswith(extensions):
                    yield os.path.join(folder, name)

    def page_ids(self, path):
        if path not in self.ids:
            with open(path, encoding="utf-8", errors="replace") as f:
                self.ids[path] = parse_html(f.read()).ids
        return self.ids[path]

    def check_link(self, page, line, url):
        if is_external(url):
            if not url.startswith(("http:", "https:", "mailto:")):
                self.fault(page, f"line {line}: link {url} is no page")
            return
        parts = urllib.parse.urlsplit(url)
        path = urllib.parse.unquote(parts.path)
        if "abort.vpg" in path.lower():
            return  # The gateway answers it itself, whether the file exists or not.
        if not path:
            target = page
        elif path.startswith("/"):
            target = os.path.join(self.web_dir, path.lstrip("/"))
        else:
            target = os.path.join(os.path.dirname(page), path)
        target = os.path.realpath(target)
        if os.path.isdir(target):
            target = os.path.join(target, "index.html")
        if not target.startswith(self.web_dir + os.sep) or not os.path.isfile(target):
            self.fault(page, f"line {line}: link {url} leads to no file")
        elif parts.fragment and target.endswith(".html"):
            if parts.fragment not in self.page_ids(target):
                self.fault(page, f"line {line}: link {url} names no id of its page")

    def check_markup(self, page, text, whole_page):
        parser = parse_html(text)
        if whole_page:
            for message in parser.faults:
                self.fault(page, message)
            self.ids[page] = parser.ids
        for line, url in parser.links:
            self.check_link(page, line, url)
        for line, url in parser.loads:
            if is_external(url):
                self.fault(page, f"line {line}: {url} is loaded from outside")

    def check_pages(self):
        for page in self.files(".html"):
            with open(page, encoding="utf-8") as f:
                self.check_markup(page, f.read(), whole_page=True)
        for page in self.files(".vpg"):
            with open(page, "rb") as f:
                self.check_markup(page, literal_text(page_text(f.read())), whole_page=False)

    def check_scripts_and_styles(self):
        for script in self.files(".js"):
            with open(script, encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    for url in re.findall(r"[\"']([\w./-]+\.(?:vpg|html|txt|css|js))[\"']", line):
                        self.check_link(script, number, url)
        for style in self.files(".css"):
            with open(style, encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    if re.search(r"url\(\s*['\"]?([a-z]+:|//)", line, re.I) or "@import" in line:
                        self.fault(style, f"line {number}: loads from outside")

    def check_example_sources(self):
        examples = os.path.join(self.web_dir, "examples")
        for page in self.files(".vpg"):
            if os.path.dirname(page) != examples:
                continue
            copy = page[:-len(".vpg")] + ".txt"
            if not os.path.isfile(copy):
                self.fault(page, "has no source copy " + os.path.basename(copy))
                continue
            with open(page, "rb") as a, open(copy, "rb") as b:
                if a.read() != b.read():
                    self.fault(page, "differs from its source copy " + os.path.basename(copy))

    def check_programs(self, basic):
        for page in self.files(".vpg"):
            done = subprocess.run([basic, "--page", page], capture_output=True, text=True,
                                  errors="replace")
            if done.returncode != 0:
                self.fault(page, "does not compile: " + done.stderr.strip().replace("\n", " "))


def main(argv):
    if len(argv) not in (2, 4) or (len(argv) == 4 and argv[2] != "--basic"):
        sys.stderr.write(__doc__)
        return 64
    check = WebCheck(argv[1])
    check.check_pages()
    check.check_scripts_and_styles()
    check.check_example_sources()
    if len(argv) == 4:
        check.check_programs(argv[3])
    for fault in check.faults:
        print(fault)
    print(f"{len(check.faults)} faults in {check.web_dir}")
    return 1 if check.faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
