#!/usr/bin/env python3
"""Follows every fix ruvo-check offers and checks that it works: for each case, ruvo-check
--json runs on the call; each finding with a fix is mended in a fresh copy of the case (the
placeholder replaced, an argument replaced or added, the arguments given anew, or the command
run), and then the finding
is gone, ruvo ends with status 0, and a mended placeholder places a value. A placeholder that
works must give no finding.

    check_fixes_work.py RUVO RUVO_CHECK
"""
import json
import os
import shlex
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

INVOICE = ('<?xml version="1.0" encoding="UTF-8"?>\n'
           '<Comprobante xmlns="urn:f" xmlns:x="urn:x" total="12345.5">'
           '<Conceptos><Concepto importe="10"><Cargo monto="1"/></Concepto></Conceptos>'
           '<x:Nota>hola</x:Nota><ID>F-1</ID></Comprobante>\n')
FOREIGN = ('<?xml version="1.0" encoding="UTF-8"?>\n'
           '<Invoice xmlns="urn:i" xmlns:n1="urn:n1" n1:InvoiceCurrency="EUR"><ID>F-1</ID>'
           '</Invoice>\n')
CONFIG = "[TABLE_COLUMNS]<<Detalle>>\nConcepto:importe,I\n"

# (name, document, template bytes, extra arguments, extra files, fixes expected)
CASES = [
    ("attribute typo", INVOICE, b"<<Comprobante:totl>>\n", [], {}, 1),
    ("element case", INVOICE, b"<<comprobante:total>>\n", [], {}, 1),
    ("step typo", INVOICE, b"<<{//Conceptos/Concept/@importe}>>\n", [], {}, 1),
    ("table typo", INVOICE, b"<<Detale>>\n", [], {}, 1),
    ("variable typo", INVOICE, b"<<%RUVO_FIX_TOTAL%>>\n", [], {}, 1),
    # Both the trimmed names and the element's right case work (XPath ignores the blank).
    ("blanks", INVOICE, b"<< Comprobante:total >>\n", [], {}, 2),
    ("name in predicate", INVOICE, b"<<{//Concepto[Cargo]/@importe}>>\n", [], {}, 1),
    ("prefix outside quotes", INVOICE, b"<<x:Nota>>\n", [], {}, 1),
    ("TEXT()", INVOICE, b"<<{//ID/TEXT()}>>\n", [], {}, 1),
    ("txt()", INVOICE, b"<<{//ID/txt()}>>\n", [], {}, 1),
    ("prefixed attribute", FOREIGN, b"<<Invoice:n1:InvoiceCurrency>>\n", [], {}, 0),
    ("byte-order mark", INVOICE,
     "\ufeffTotal \u2013 \u20ac <<Comprobante:total>>\n".encode(), [], {}, 1),
    ("UTF-8 template", INVOICE, "Caf\u00e9 <<Comprobante:total>>\n".encode(), [], {}, 1),
    ("mixed line ends", INVOICE, b"<<Comprobante:total>>\r\nfin\n", [], {}, 1),
    ("configuration typo", INVOICE, b"<<Detalle>>\n", ["-c", "Ruvo.cgf"], {}, 1),
    ("configuration missing", INVOICE, b"<<Comprobante:total>>\n", ["-c", "otro.cfg"], {}, 1),
    ("option typo", INVOICE, b"<<Comprobante:total>>\n", ["-preveiw", "2"], {}, 1),
    ("no plain number", INVOICE.replace('total="12345.5"', 'total="\u20ac 12,50"'),
     b"<<Comprobante:total>>\n", [], {"Ruvo.cfg": "[COMMA_INSERT]\nComprobante:total\n"}, 1),
    ("output and template swapped", INVOICE, b"an earlier output\n", [],
     {"out.txt": "<<Comprobante:total>>\n"}, 1),
    ("document and template swapped", "<<Comprobante:total>>\n", INVOICE.encode(), [], {}, 1),
]
ENVIRONMENT = {**os.environ, "RUVO_FIX_TOTL": "1"}


def findings(checker, folder, arguments):
    result = subprocess.run([checker, "--json", "--list", *arguments], cwd=folder,
                            capture_output=True, env=ENVIRONMENT)
    return [json.loads(line) for line in result.stdout.decode().splitlines()]


def make_case(folder, document, template, extra_files):
    folder.mkdir()
    (folder / "in.xml").write_text(document)
    (folder / "t.txt").write_bytes(template)
    (folder / "Ruvo.cfg").write_text(CONFIG)
    for name, text in extra_files.items():
        (folder / name).write_text(text)


def apply(fix, finding, folder, arguments):
    """Mends the copy of the case in folder; returns the arguments to call with."""
    if fix["kind"] == "replace":
        path = folder / finding["file"]
        lines = path.read_bytes().split(b"\n")
        line = lines[finding["line"] - 1]
        start = finding["column"] - 1
        end = line.index(b">>", start) + 2
        lines[finding["line"] - 1] = line[:start] + fix["text"].encode("latin-1") + line[end:]
        path.write_bytes(b"\n".join(lines))
        return arguments
    if fix["kind"] == "argument":
        position = fix["argument"] - 1
        if position < len(arguments):
            return arguments[:position] + [fix["text"]] + arguments[position + 1:]
        return arguments + shlex.split(fix["text"])
    if fix["kind"] == "arguments":
        return shlex.split(fix["text"])
    subprocess.run(fix["text"], shell=True, cwd=folder, check=True)
    return arguments


def same_finding(a, b):
    return (a["file"], a["line"], a["column"], a["kind"]) == (b["file"], b["line"], b["column"],
                                                              b["kind"])


def main():
    ruvo, checker = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    scratch = Path(tempfile.mkdtemp())
    problems = []
    followed = 0
    try:
        for number, (name, document, template, extra, files, expected) in enumerate(CASES):
            arguments = ["in.xml", "t.txt", "out.txt", *extra]
            original = scratch / f"case-{number}"
            make_case(original, document, template, files)
            said = findings(checker, original, arguments)
            fixed = [f for f in said if "fix" in f]
            if len(fixed) != expected:
                problems.append(f"{name}: {len(fixed)} fixes offered, expected {expected}: "
                                f"{[f['message'] for f in said]}")
            if expected == 0 and any(f["severity"] != "note" and f["file"] == "t.txt"
                                     for f in said):
                problems.append(f"{name}: a call that works gives {said}")
            for index, finding in enumerate(fixed):
                followed += 1
                mended = scratch / f"case-{number}-fix-{index}"
                make_case(mended, document, template, files)
                called = apply(finding["fix"], finding, mended, arguments)
                after = findings(checker, mended, called)
                if any(same_finding(finding, f) and f["severity"] != "note" for f in after):
                    problems.append(f"{name}: the finding stays after its fix {finding['fix']}")
                ran = subprocess.run([ruvo, *called], cwd=mended, capture_output=True,
                                     env=ENVIRONMENT)
                if ran.returncode != 0:
                    problems.append(f"{name}: ruvo ends with {ran.returncode} after {finding['fix']}")
                if finding["fix"]["kind"] == "replace":
                    values = [f["value"] for f in after if f["severity"] == "note"
                              and f["line"] == finding["line"] and f["column"] == finding["column"]]
                    if not values or not values[0]:
                        problems.append(f"{name}: no value after {finding['fix']}: {after}")
    finally:
        shutil.rmtree(scratch)
    for problem in problems:
        print("FAIL " + problem)
    print(f"{len(CASES)} cases, {followed} fixes followed, {len(problems)} failures")
    return 1 if problems or followed == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
