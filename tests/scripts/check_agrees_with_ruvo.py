#!/usr/bin/env python3
"""ruvo-check against ruvo on the same calls: the same ending for every combination of a
document that is fine, broken or missing, a template and a configuration that are there or not,
and an output that is new or one of the run's own files (the ending's status, and ruvo's log
line quoted in ruvo-check's finding); and the same configuration file, output mode and preview
for command lines whose options read oddly (-c -xml, -preview last, options among the first
three, the last of several -c).

    check_agrees_with_ruvo.py RUVO RUVO_CHECK
"""
import json
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

DOCUMENT = '<?xml version="1.0" encoding="UTF-8"?>\n<C xmlns="urn:c" v="A&amp;B\u00f1">' + "".join(
    f'<I n="{i}"/>' for i in range(1, 26)) + "</C>\n"
TEMPLATE = "<<C:v>>\n<<T>>\n<<M>>\n"
STAMP = re.compile(r"^\d{8}-\d{9}:")


def configuration(label):
    """A configuration whose column table's label names it, and a master table of the items."""
    return f"[TABLE_COLUMNS]<<T>>\nC:v,{label}\n[MASTER_TABLE]<<M>>\nelement,I\nattribute,n,N\n"


def run(program, folder, arguments, extra=()):
    return subprocess.run([program, *extra, *arguments], cwd=folder, capture_output=True)


def findings_of(result):
    return [json.loads(line) for line in result.stdout.decode().splitlines()]


def make_case(folder, document, template, config, log):
    folder.mkdir()
    if document != "missing":
        (folder / "in.xml").write_text(DOCUMENT if document == "fine" else "<C><I></C>\n")
    if template:
        (folder / "t.txt").write_text(TEMPLATE)
    if config:
        (folder / "Ruvo.cfg").write_text(configuration("Ruvo.cfg"))
    if log:
        (folder / "Ruvo.log").write_bytes(b"earlier\n")


def first_logged_message(folder):
    log = folder / "Ruvo.log"
    if not log.exists():
        return None
    for line in log.read_bytes().decode("latin-1").splitlines():
        if STAMP.match(line):
            return STAMP.sub("", line)
    return None


def compare_endings(ruvo, checker, scratch):
    problems = []
    outputs = {"new": "out.txt", "template": "t.txt", "xml": "in.xml", "config": "Ruvo.cfg",
               "log": "Ruvo.log", "log to be": "Ruvo.log"}
    count = 0
    for document in ("fine", "broken", "missing"):
        for template in (True, False):
            for config in (True, False):
                for output, name in outputs.items():
                    count += 1
                    label = f"document {document}, template {template}, config {config}, " \
                            f"output {output}"
                    log = output == "log"
                    converted = scratch / f"ruvo-{count}"
                    checked = scratch / f"check-{count}"
                    make_case(converted, document, template, config, log)
                    make_case(checked, document, template, config, log)
                    arguments = ["in.xml", "t.txt", name]
                    ran = run(ruvo, converted, arguments)
                    check = run(checker, checked, arguments, ["--json"])
                    ending = [f for f in findings_of(check) if "status" in f]
                    status = ending[0]["status"] if ending else 0
                    if len(ending) > 1:
                        problems.append(f"{label}: {len(ending)} findings end the run")
                    if status % 256 != ran.returncode:
                        problems.append(f"{label}: ruvo ends with {ran.returncode}, "
                                        f"ruvo-check says {status}")
                        continue
                    logged = first_logged_message(converted) if ran.returncode else None
                    if logged and logged.startswith("ERROR") and logged not in ending[0]["message"]:
                        problems.append(f"{label}: ruvo logs {logged!r}, ruvo-check says "
                                        f"{ending[0]['message']!r}")
                    cannot_run = ending and ending[0]["kind"] == "cannot-run"
                    if check.returncode != (2 if cannot_run else 1 if ending else check.returncode):
                        problems.append(f"{label}: ruvo-check ended with {check.returncode}")
                    left = sorted(p.name for p in checked.iterdir())
                    if "out.txt" in left or (not log and "Ruvo.log" in left):
                        problems.append(f"{label}: ruvo-check wrote {left}")
    return count, problems


def settings_said(findings):
    """The configuration file, mode and preview rows that ruvo-check says the options select."""
    said = {"config": "Ruvo.cfg", "mode": "Text", "preview": None, "encoding": "ISO-8859-1"}
    for f in findings:
        if f["kind"] == "run" and f["severity"] == "note":
            said["config"] = re.search(r'configuration file "([^"]*)"', f["message"]).group(1)
            said["mode"] = re.search(r"in (\w+) mode", f["message"]).group(1)
            said["encoding"] = re.search(r"mode, in ([\w-]+)", f["message"]).group(1).upper()
            rows = re.search(r"keep the first (-?\d+)", f["message"])
            said["preview"] = int(rows.group(1)) if rows else None
    return said


def compare_settings(ruvo, checker, scratch):
    calls = [
        ["in.xml", "t.txt", "out.txt", "-c", "-xml"],
        ["in.xml", "t.txt", "out.txt", "-preview"],
        ["in.xml", "t.txt", "out.txt", "-preview", "abc"],
        ["in.xml", "t.txt", "out.txt", "-PREVIEW", "3", "-c", "a.cfg", "-c", "b.cfg"],
        ["in.xml", "t.txt", "out.txt", "-XML", "-text", "-c"],
        ["in.xml", "-text", "out.txt", "-c", "b.cfg", "-xml"],
        ["in.xml", "t.txt", "-c", "a.cfg"],
        ["in.xml", "t.txt", "out.txt", "-ENCODING", "utf-8", "-encoding"],
        ["in.xml", "t.txt", "out.txt", "-c", "-encoding", "UTF-8"],
    ]
    problems = []
    for number, arguments in enumerate(calls):
        label = " ".join(arguments)
        folders = [scratch / f"settings-ruvo-{number}", scratch / f"settings-check-{number}"]
        for folder in folders:
            folder.mkdir()
            (folder / "in.xml").write_text(DOCUMENT)
            for name in ("t.txt", "-text"):
                (folder / name).write_text(TEMPLATE)
            for name in ("Ruvo.cfg", "-xml", "a.cfg", "b.cfg", "-encoding"):
                (folder / name).write_text(configuration(name))
        ran = run(ruvo, folders[0], arguments)
        said = settings_said(findings_of(run(checker, folders[1], arguments, ["--json", "--list"])))
        if ran.returncode != 0:
            problems.append(f"{label}: ruvo ended with {ran.returncode}")
            continue
        raw = (folders[0] / arguments[2]).read_bytes()
        encoding = "UTF-8" if "\u00f1".encode() in raw else "ISO-8859-1"
        output = raw.decode(encoding).splitlines()
        mode = "Xml" if output[0].startswith("A&amp;B") else "Text"
        config = output[2][len("~# "):]
        rows = sum(1 for line in output if line == "~# N")
        wanted = 25 if said["preview"] is None else max(0, min(25, 2 * said["preview"]))
        if (config, mode, rows, encoding) != (said["config"], said["mode"], wanted,
                                              said["encoding"]):
            problems.append(f"{label}: ruvo read {config} in {mode} mode with {rows} rows in "
                            f"{encoding}; ruvo-check says {said}")
    return len(calls), problems


def main():
    ruvo, checker = Path(sys.argv[1]).resolve(), Path(sys.argv[2]).resolve()
    scratch = Path(tempfile.mkdtemp())
    try:
        endings, problems = compare_endings(ruvo, checker, scratch)
        settings, more = compare_settings(ruvo, checker, scratch)
        problems += more
    finally:
        shutil.rmtree(scratch)
    for problem in problems:
        print("FAIL " + problem)
    print(f"{endings} endings and {settings} command lines compared, {len(problems)} differences")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
