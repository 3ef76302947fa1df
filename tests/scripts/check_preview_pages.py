#!/usr/bin/env python3
"""Draws the page of every example with ruvo-preview and checks it against ruvo's own run with
the same arguments: the same exit status; no output and no Ruvo.log written; the page's copy of
the output equal to ruvo's output line for line; every drawn text line, table row, header label
and cell value in the order the output has them; a value's origin as ruvo-check --list --json
gives it; and nothing the page would fetch.

    check_preview_pages.py RUVO RUVO_PREVIEW RUVO_CHECK EXAMPLES_DIR [--browser SCREENSHOT]

With --browser, each page is also opened in headless Chromium, and the DOM it holds after load
(--dump-dom) must read as the page does; SCREENSHOT (scripts/preview-screenshot) must take the
example's picture. It skips (77) with the reason when Chromium cannot start.
"""
import html.parser
import json
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

ruvo, preview, check, examples = (os.path.realpath(a) for a in sys.argv[1:5])
browser = len(sys.argv) > 6 and sys.argv[5] == "--browser"
failures = []
CHROMIUM = ["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
            "--no-first-run", "--disable-background-networking", "--disable-component-update",
            "--disable-sync"]


def dump_dom(folder, page):
    """The page's DOM after load in a headless Chromium of its own (no profile, no network)."""
    path = pathlib.Path(folder, "page.html")
    path.write_bytes(page)
    done = subprocess.run(CHROMIUM + [f"--user-data-dir={folder}/profile", "--dump-dom",
                                      path.as_uri()], capture_output=True, timeout=120)
    return done.stdout.decode("utf-8") if done.returncode == 0 else None


def fail(name, message):
    failures.append(f"{name}: {message}")


class Page(html.parser.HTMLParser):
    """What a reader of the page sees: the drawn lines, rows, headers and cells, the page's copy
    of the output, and the values' titles."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack = []  # (tag, classes, id) of the open elements
        self.lines, self.rows, self.raw, self.titles = [], [], [], []
        self.headers = []  # the labels of the table being read
        self.text = None
        self.resources = []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        classes = (attrs.get("class") or "").split()
        self.stack.append((tag, classes, attrs.get("id", "")))
        for name in ("src", "href"):
            if name in attrs and not (attrs[name] or "").startswith("#"):
                self.resources.append(f"{tag} {name}={attrs[name]}")
        if tag in ("script", "link", "iframe", "img", "object"):
            self.resources.append(tag)
        if tag == "table" and "rows" in classes:
            self.headers = []
        if tag == "tr" and "row" in classes or tag == "div" and "block" in classes:
            self.rows.append({"labels": list(self.headers) if tag == "tr" else [],
                              "cells": [], "block": tag == "div"})
        if tag in ("th", "td") and not (classes and classes[0] in ("rowtext", "lines",
                                                                   "children")) \
                or tag == "div" and "cell" in classes or tag == "div" and "line" in classes \
                or tag == "span" and attrs.get("id", "").startswith("o"):
            self.text = []
        if tag == "a" and "value" in classes:
            self.titles.append(attrs.get("title", ""))

    def inside(self, cls):
        return any(cls in classes for _, classes, _ in self.stack)

    def handle_endtag(self, tag):
        opened, classes, ident = self.stack.pop()
        if self.text is None:
            return
        content = "".join(self.text)
        if opened == "th" and not classes:
            self.headers.append(content)
        elif opened in ("td", "div") and "cell" in classes:
            self.rows[-1]["cells"].append(content)
        elif opened == "div" and "line" in classes:
            self.lines.append(content)
        elif opened == "span" and ident.startswith("o"):
            self.raw.append(content.split(" ", 1)[1] if " " in content else "")
        else:
            return
        self.text = None

    def handle_data(self, data):
        if self.text is not None and not self.inside("flag") and not self.inside("n"):
            self.text.append(data)


def expected_drawing(lines):
    """The output read as the renderer reads it: text lines, and rows with labels and cells."""
    text, rows, i = [], [], 0
    while i < len(lines):
        line = lines[i]
        if line.startswith("~[ ") or line == "~[":
            row = {"labels": [], "cells": [], "block": False}
            i += 1
            while i < len(lines) and lines[i] != "~]":
                if lines[i].startswith("~# ") and i + 1 < len(lines):
                    row["labels"].append(lines[i][3:])
                    row["cells"].append(lines[i + 1])
                    i += 1
                else:
                    row["cells"].append(lines[i])
                i += 1
            rows.append(row)
        elif line.startswith("~<"):
            row = {"labels": [], "cells": [], "block": True}
            i += 1
            while i < len(lines) and lines[i] != "~>":
                row["cells"].append(lines[i])
                i += 1
            rows.append(row)
        else:
            text.append(line)
        i += 1
    return text, rows


def run_case(name, folder, xml, template, config, args, env, encoding):
    with tempfile.TemporaryDirectory() as scratch:
        base = pathlib.Path(scratch)
        for side in ("ruvo", "preview"):
            (base / side).mkdir()
            shutil.copy(folder / xml, base / side / "input.xml")
            shutil.copy(template, base / side / "template.txt")
            shutil.copy(config, base / side / "Ruvo.cfg")
        command = ["input.xml", "template.txt", "output.txt"] + args
        environment = dict(os.environ, **env)
        done = subprocess.run([ruvo] + command, cwd=base / "ruvo", env=environment,
                              capture_output=True)
        drawn = subprocess.run([preview] + command, cwd=base / "preview", env=environment,
                               capture_output=True)
        if drawn.returncode != done.returncode:
            fail(name, f"ruvo-preview ends with {drawn.returncode}, ruvo with {done.returncode}")
        for left in ("output.txt", "Ruvo.log"):
            if (base / "preview" / left).exists():
                fail(name, f"ruvo-preview wrote {left}")
        page = drawn.stdout.decode("utf-8")
        reader = Page()
        reader.feed(page)
        style = re.search(r"<style>(.*?)</style>", page, re.S)
        if reader.resources or style and re.search(r"url\(|@import", style[1]):
            fail(name, f"the page refers to resources: {reader.resources}")
        if done.returncode != 0:
            if 'id="status"' not in page or f"status {done.returncode & 255}" not in page \
                    and f"status {done.returncode}" not in page:
                fail(name, "the page does not say the status ruvo ends with")
            return
        output = (base / "ruvo" / "output.txt").read_bytes().decode(encoding)
        lines = output.split("\n")
        if lines and lines[-1] == "":
            lines.pop()
        if reader.raw != lines:
            fail(name, "the page's copy of the output differs from ruvo's")
        text, rows = expected_drawing(lines)
        drawn_lines = [part for line in reader.lines for part in line.split("\n")]
        if drawn_lines != text:
            fail(name, f"drawn text lines differ: {drawn_lines[:3]} against {text[:3]}")
        if [r["cells"] for r in reader.rows] != [r["cells"] for r in rows]:
            fail(name, "drawn cells differ from the output's value lines")
        for got, wanted in zip(reader.rows, rows):
            if not wanted["block"] and got["labels"] != wanted["labels"]:
                fail(name, f"header {got['labels']} for a row labelled {wanted['labels']}")
                break
        if reader.titles:
            check_origin(name, base / "preview", command, environment, reader.titles[0])
        if browser:
            dom = dump_dom(base, drawn.stdout)
            in_browser = Page()
            in_browser.feed(dom or "")
            seen = lambda r: (r.raw, r.lines, r.rows, r.titles)  # noqa: E731
            if dom is None or seen(in_browser) != seen(reader):
                fail(name, "in Chromium the page's DOM reads otherwise than the page")


def check_origin(name, folder, command, environment, title):
    origin = re.match(r"line (\d+), column (\d+): ([\w-]+) <<(.*?)>>(?:, evaluated (.*?))?(;|$)",
                      title)
    if origin is None:
        fail(name, f"a value's title says no origin: {title}")
        return
    listed = subprocess.run([check, "--list", "--json"] + command, cwd=folder, env=environment,
                            capture_output=True, text=True)
    at_place = []
    for line in listed.stdout.splitlines():
        finding = json.loads(line) if line.startswith("{") else {}
        if finding.get("file") == "template.txt" and finding.get("line") == int(origin[1]) \
                and finding.get("column") == int(origin[2]):
            at_place.append(finding)
    # The placeholder's own finding is the one of its kind; traps at its place have others.
    if not any(f.get("kind") == origin[3] and f.get("expression", "") == (origin[5] or "")
               for f in at_place):
        fail(name, f"origin {title}, but ruvo-check lists there {at_place}")


def read_args(path):
    return path.read_text().split() if path.exists() else []


def encoding_of(args):
    for i, arg in enumerate(args[:-1]):
        if arg.lower() == "-encoding":
            return args[i + 1]
    return "latin-1"


if browser:
    with tempfile.TemporaryDirectory() as probe:
        if shutil.which("chromium") is None or dump_dom(probe, b"<p>x</p>") is None:
            print("SKIPPED: headless Chromium cannot start here (Debian package chromium)")
            sys.exit(77)
cases = 0
run_case("example", pathlib.Path(examples), "invoice.xml", pathlib.Path(examples, "template.txt"),
         pathlib.Path(examples, "Ruvo.cfg"), [], {}, "latin-1")
cases += 1
for folder in sorted(pathlib.Path(examples, "formats").iterdir()):
    if not folder.is_dir():
        continue
    for variant in [folder] + sorted(p for p in folder.iterdir() if p.is_dir()):
        args = read_args(variant / "args")
        run_case(f"formats/{variant.relative_to(folder.parent)}", folder, f"{folder.name}.xml",
                 variant / "template.txt", variant / "Ruvo.cfg", args, {}, encoding_of(args))
        cases += 1
for folder in sorted(pathlib.Path(examples, "guide").iterdir()):
    args = read_args(folder / "args")
    env_file = folder / "env"
    env = dict(line.split("=", 1) for line in env_file.read_text().splitlines() if "=" in line) \
        if env_file.exists() else {}
    run_case(f"guide/{folder.name}", folder, "input.xml", folder / "template.txt",
             folder / "Ruvo.cfg", args, env, encoding_of(args))
    cases += 1



def bad_inputs():
    """A call ruvo refuses: the page says the status and what ruvo logs; nothing is written."""
    calls = {"a document that does not parse": ["broken.xml", "template.txt", "out.txt"],
             "a missing template": ["invoice.xml", "missing.txt", "out.txt"],
             "a missing configuration": ["invoice.xml", "template.txt", "out.txt", "-c", "no.cfg"]}
    for name, call in calls.items():
        with tempfile.TemporaryDirectory() as scratch:
            base = pathlib.Path(scratch)
            for side in ("ruvo", "preview"):
                (base / side).mkdir()
                for file in ("invoice.xml", "template.txt", "Ruvo.cfg"):
                    shutil.copy(pathlib.Path(examples, file), base / side / file)
                (base / side / "broken.xml").write_text("<Comprobante>")
            done = subprocess.run([ruvo] + call, cwd=base / "ruvo", capture_output=True)
            drawn = subprocess.run([preview] + call, cwd=base / "preview", capture_output=True)
            page = drawn.stdout.decode("utf-8")
            logged = (base / "ruvo" / "Ruvo.log").read_text(encoding="latin-1").splitlines()
            first = logged[0].split(":", 1)[1] if logged else "?"
            if drawn.returncode != done.returncode or done.returncode == 0:
                fail(name, f"ruvo-preview ends with {drawn.returncode}, ruvo {done.returncode}")
            if f"ruvo would end with status {done.returncode}" not in page or first not in page:
                fail(name, f"the page does not say the status and the log line {first!r}")
            if sorted(p.name for p in (base / "preview").iterdir()) != \
                    ["Ruvo.cfg", "broken.xml", "invoice.xml", "template.txt"]:
                fail(name, "ruvo-preview wrote a file")
    with tempfile.TemporaryDirectory() as scratch:
        page = pathlib.Path(scratch, "page.html")
        page.write_text("an earlier page")
        drawn = subprocess.run([preview, "-o", str(page), "invoice.xml", "template.txt",
                                "out.txt", "-c", "Ruvo.cfg"], cwd=examples, capture_output=True)
        if drawn.stdout or not page.read_text(encoding="utf-8").startswith("<!DOCTYPE html>"):
            fail("-o", "the page did not replace the earlier one, or went to standard output")


bad_inputs()
if browser:
    with tempfile.TemporaryDirectory() as scratch:
        shot = pathlib.Path(scratch, "preview.png")
        done = subprocess.run([sys.argv[6], preview, str(shot)], capture_output=True, text=True)
        if done.returncode != 0 or not shot.read_bytes().startswith(b"\x89PNG"):
            fail("screenshot", f"scripts/preview-screenshot took no picture: {done.stderr}")
for message in failures:
    print("FAIL", message)
print(f"{cases} example pages checked, {len(failures)} failures")
sys.exit(1 if failures else 0)
