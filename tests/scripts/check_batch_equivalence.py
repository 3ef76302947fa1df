#!/usr/bin/env python3
"""ruvo-batch against ruvo, one process per document: for every document of a batch, the same
exit status, the same output bytes (or none) and the same run log lines, timestamps aside.

    check_batch_equivalence.py RUVO RUVO_BATCH EXAMPLES_DIR [MORE_DOCUMENTS_DIR]

The batches: each invoice example's template over every example document (and every *.xml of
MORE_DOCUMENTS_DIR, such as a folder of real invoices) and a set of broken ones (not
well-formed, empty, missing, a bare element without text, a name used twice), with and without
options, and in several processes (-j 3); each guide example's template over its own document;
generated invoices, some cut short, in one process and in two. A template or a configuration
that does not exist stops ruvo-batch before it converts anything.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

TIMESTAMP = re.compile(rb"^\d{8}-\d{9}:", re.M)


def masked(data):
    return TIMESTAMP.sub(b"TS:", data)


def broken_documents(folder):
    folder.mkdir()
    (folder / "truncated.xml").write_bytes(b"<a><b></a>")
    (folder / "empty.xml").write_bytes(b"")
    (folder / "no-text.xml").write_bytes(b"<r><?pi?></r>")
    (folder / "twice.XML").write_bytes(b"<r/>")
    (folder / "twice.xml").write_bytes(b"<r/>")
    return [folder / "truncated.xml", folder / "empty.xml", folder / "no-text.xml",
            folder / "missing.xml", folder / "twice.XML", folder / "twice.xml"]


def stem(path):
    name = path.name
    return name[:-4] if name.lower().endswith(".xml") and len(name) > 4 else name


def stops_before_converting(batch, work, template, config, documents, label):
    """A template or configuration that cannot be read fails every document alike: ruvo-batch
    says so once, with status 2, and writes nothing."""
    out = work / ("out-" + label.replace(" ", "-"))
    result = subprocess.run([batch, "-c", str(config), str(template), str(out),
                             *map(str, documents)], capture_output=True)
    problems = []
    if result.returncode != 2:
        problems.append(f"{label}: ruvo-batch ended with {result.returncode}, expected 2")
    if result.stdout or len(result.stderr.decode().splitlines()) != 1:
        problems.append(f"{label}: expected one message, got {result.stdout!r} {result.stderr!r}")
    if out.exists():
        problems.append(f"{label}: {out} was made")
    return problems


def compare(ruvo, batch, work, template, config, documents, options, label, jobs=1):
    """Runs both over the documents; returns the differences found."""
    out = work / "out"
    shutil.rmtree(out, ignore_errors=True)
    out.mkdir()
    reference = {}
    seen = set()
    for document in documents:
        if stem(document) in seen:
            continue  # ruvo-batch does not start a second document of one name
        seen.add(stem(document))
        cwd = Path(tempfile.mkdtemp(dir=work))
        target = out / (stem(document) + ".txt")
        run = subprocess.run([ruvo, str(document), str(template), str(target), "-c", str(config),
                              *options], cwd=cwd, capture_output=True)
        log = cwd / "Ruvo.log"
        reference[document.name] = (run.returncode, target.read_bytes() if target.exists() else None,
                                    masked(log.read_bytes()) if log.exists() else b"")
        if target.exists():
            target.unlink()
        shutil.rmtree(cwd)
    result = subprocess.run([batch, "-j", str(jobs), "-c", str(config), *options, str(template),
                             str(out), *map(str, documents)], cwd=work, capture_output=True)
    statuses = dict(line.split("\t") for line in result.stdout.decode().splitlines())
    listed = (out / "status.tsv").read_text().splitlines()
    problems = []
    # Several processes print as they go; the list keeps the order of the documents.
    printed = result.stdout.decode().splitlines()
    if (sorted(listed) if jobs > 1 else listed) != (sorted(printed) if jobs > 1 else printed):
        problems.append("status.tsv differs from the status lines printed")
    if [line.split("\t")[0] for line in listed] != [d.name for d in documents]:
        problems.append("status.tsv is not in the order of the documents")
    expected_exit = 0 if all(s == "0" for s in statuses.values()) else 1
    if result.returncode != expected_exit:
        problems.append(f"ruvo-batch ended with {result.returncode}, expected {expected_exit}")
    for name, (status, output, log) in reference.items():
        s = stem(Path(name))
        got_output = out / (s + ".txt")
        got_log = out / "logs" / (s + ".log")
        if statuses.get(name) != str(status):
            problems.append(f"{name}: status {statuses.get(name)}, ruvo {status}")
        if (got_output.read_bytes() if got_output.exists() else None) != output:
            problems.append(f"{name}: output differs")
        if (masked(got_log.read_bytes()) if got_log.exists() else b"") != log:
            problems.append(f"{name}: run log differs")
    for name, status in statuses.items():
        if name not in reference and status != "not-started":
            problems.append(f"{name}: status {status}, expected not-started")
    return [f"{label}: {p}" for p in problems], len(reference)


def main():
    ruvo, batch = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    examples = Path(sys.argv[3]).resolve()
    work = Path(tempfile.mkdtemp())
    problems = []
    documents = 0
    try:
        broken = broken_documents(work / "broken")
        formats = sorted(p for p in (examples / "formats").iterdir() if p.is_dir())
        every = [f / (f.name + ".xml") for f in formats] + [examples / "invoice.xml"]
        if len(sys.argv) > 4:
            names = {d.name for d in every}
            every += [d for d in sorted(Path(sys.argv[4]).resolve().glob("*.xml"))
                      if d.name not in names]
        for folder in formats:
            # -preview's value is still read as an option, by ruvo-batch as by ruvo.
            for options, jobs in (([], 1), ([], 3), (["-xml"], 1), (["-preview", "1"], 1),
                                  (["-preview", "-xml"], 1), (["-encoding", "ISO-8859-15"], 1)):
                found, count = compare(ruvo, batch, work, folder / "template.txt",
                                       folder / "Ruvo.cfg", every + broken, options,
                                       f"{folder.name} {' '.join(options)} -j {jobs}", jobs)
                problems += found
                documents += count
        for folder in sorted((examples / "guide").iterdir()):
            options = (folder / "args").read_text().split()
            found, count = compare(ruvo, batch, work, folder / "template.txt", folder / "Ruvo.cfg",
                                   [folder / "input.xml", examples / "invoice.xml"], options,
                                   f"guide/{folder.name}")
            problems += found
            documents += count
        generated = work / "generated"
        subprocess.run([str(Path(__file__).parent / "make_invoices.sh"), "40", str(generated),
                        "7"], check=True)
        for jobs in (1, 2):
            found, count = compare(ruvo, batch, work, generated / "template.txt",
                                   generated / "Ruvo.cfg", sorted((generated / "in").iterdir()),
                                   [], f"generated -j {jobs}", jobs)
            problems += found
            documents += count
        problems += stops_before_converting(batch, work, work / "none.txt", examples / "Ruvo.cfg",
                                            [examples / "invoice.xml"] + broken[:2],
                                            "no template")
        problems += stops_before_converting(batch, work, examples / "template.txt",
                                            work / "none.cfg",
                                            [examples / "invoice.xml"] + broken[:2],
                                            "no configuration")
    finally:
        shutil.rmtree(work)
    for problem in problems:
        print("FAIL " + problem)
    print(f"{documents} conversions compared, {len(problems)} differences")
    return 1 if problems or documents == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
