#!/usr/bin/env python3
"""Runs ruvo-check --list --json beside ruvo on every example that converts cleanly (the shipped
example, the real invoices of examples/formats/, the guide's examples that end with status 0)
and checks that ruvo-check finds nothing at error level, writes no file, and lists for every
placeholder the value that ruvo writes: the template filled with the listed values, and each
table line followed by as many lines as ruvo-check says the table wrote, is ruvo's output.

    check_examples_explained.py RUVO RUVO_CHECK EXAMPLES_DIR
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

PLACEHOLDER_KINDS = {"xpath", "environment", "element-attribute", "bare-element", "empty"}
TABLE_KINDS = {"column-table", "master-table"}


def cases(examples):
    yield "shipped", examples / "invoice.xml", examples, [], {"RUVO_OPERADOR": "demo"}
    for folder in sorted((examples / "formats").iterdir()):
        if folder.is_dir():
            yield "formats/" + folder.name, folder / (folder.name + ".xml"), folder, [], {}
    for folder in sorted((examples / "guide").iterdir()):
        if (folder / "status").exists():
            continue  # a run that fails on purpose
        args = (folder / "args").read_text().split()
        env = {}
        if (folder / "env").exists():
            for line in (folder / "env").read_text().splitlines():
                name, _, value = line.partition("=")
                env[name] = value
        yield "guide/" + folder.name, folder / "input.xml", folder, args, env


def run_in(folder, document, sources, program, args, env, extra=()):
    work = Path(tempfile.mkdtemp(dir=folder))
    shutil.copy(document, work / document.name)
    shutil.copy(sources / "template.txt", work / "template.txt")
    shutil.copy(sources / "Ruvo.cfg", work / "Ruvo.cfg")
    result = subprocess.run([program, *extra, document.name, "template.txt", "output.txt", *args],
                            cwd=work, env={**os.environ, **env}, capture_output=True)
    return work, result


def encoding_of(args):
    """The encoding the run's files are in: what -encoding names, else Latin-1."""
    words = [a.lower() for a in args]
    for i, word in enumerate(words[:-1]):
        if word == "-encoding":
            return args[i + 1]
    return "latin-1"


def split_lines(data, encoding):
    lines = data.split(b"\n")
    if lines and lines[-1] == b"":
        lines.pop()
    return [line.decode(encoding) for line in lines]


def fill(template_line, values):
    """The scanner's rule: the first "<<", the first ">>" after it, replaced in turn."""
    line = template_line
    for value in values:
        start = line.find("<<")
        end = line.find(">>", start + 2) if start >= 0 else -1
        if end < 0:
            break
        line = line[:start] + value + line[end + 2:]
    return line


def in_scan_order(own, brought):
    """The values of a line in the order the scan fills them: the template's own by column, and
    the placeholders a value brought (listed at column 0) right after the value holding them."""
    ordered = []
    for value in own:
        ordered.append(value)
        if "<<" in value:
            ordered.extend(brought)
            brought = []
    return ordered + brought


def expected_output(template, findings):
    by_line = {}
    brought = {}
    tables = {}
    for f in findings:
        if f["kind"] in PLACEHOLDER_KINDS:
            if f["column"] > 0:
                by_line.setdefault(f["line"], []).append((f["column"], f["value"]))
            else:
                brought.setdefault(f["line"], []).append(f["value"])
        elif f["kind"] in TABLE_KINDS and f["severity"] == "note":
            tables[f["line"]] = int(f["value"])
    produced = []  # (text or None for table lines)
    for number, line in enumerate(template, start=1):
        if number in tables:
            produced.extend([None] * tables[number])
            continue
        values = in_scan_order([value for _, value in sorted(by_line.get(number, []))],
                               brought.get(number, []))
        produced.extend(fill(line, values).split("\n"))  # a value may hold line ends
    return produced


def main():
    ruvo, checker = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    examples = Path(sys.argv[3]).resolve()
    scratch = Path(tempfile.mkdtemp())
    failures = 0
    count = 0
    try:
        for name, document, sources, args, env in cases(examples):
            count += 1
            converted, ran = run_in(scratch, document, sources, ruvo, args, env)
            checked, check = run_in(scratch, document, sources, checker, args, env,
                                    ("--list", "--json"))
            problems = []
            findings = [json.loads(line) for line in check.stdout.decode().splitlines()]
            errors = [f["message"] for f in findings if f["severity"] == "error"]
            if ran.returncode != 0:
                problems.append(f"ruvo ended with {ran.returncode}")
            if errors:
                problems.append(f"errors: {errors}")
            if (checked / "output.txt").exists() or (checked / "Ruvo.log").exists():
                problems.append("ruvo-check wrote output.txt or Ruvo.log")
            # Values are listed as the output has them, entity-encoded in Xml mode.
            encoding = encoding_of(args)
            template = split_lines((sources / "template.txt").read_bytes(), encoding)
            output = split_lines((converted / "output.txt").read_bytes(), encoding)
            expected = expected_output(template, findings)
            if len(expected) != len(output):
                problems.append(f"{len(expected)} lines listed, ruvo wrote {len(output)}")
            for number, (want, got) in enumerate(zip(expected, output), start=1):
                if want is not None and want != got:
                    problems.append(f"output line {number}: listed {want!r}, ruvo {got!r}")
                    break
            if problems:
                failures += 1
                print(f"FAIL {name}: " + "; ".join(problems))
    finally:
        shutil.rmtree(scratch)
    print(f"{count} examples, {failures} failures")
    return 1 if failures or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
