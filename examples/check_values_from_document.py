#!/usr/bin/env python3
"""Checks an example's output against its document, read by another reader (Python's XML
parser): every value in the output is a value the document holds (an attribute, or the text of
an element) as the output's encoding writes it, each character the encoding cannot hold as '?',
a number grouped with thousands separators read without them. Table cells are the lines after
a column label; the template's other lines are matched with their placeholders as the values.

    check_values_from_document.py OUTPUT TEMPLATE CONFIG DOCUMENT ENCODING

Prints what is no value of the document and exits 1 when there is any.
"""
import re
import sys
import xml.etree.ElementTree as ElementTree

NUMBER = re.compile(r"^[-+$]*[0-9][0-9,]*(\.[0-9]*)?$")
MARKERS = ("~[ ", "~# ", "~]", "~<", "~>")


def document_values(path, encoding):
    values = {""}
    for element in ElementTree.parse(path).iter():
        for text in list(element.attrib.values()) + ["".join(element.itertext())]:
            for form in (text, text.strip(), re.sub(r"\r\n|\r|\n", " ", text)):
                values.add(form.encode(encoding, "replace").decode(encoding))
    return values


def is_value(text, values):
    return text in values or (NUMBER.match(text) is not None and text.replace(",", "") in values)


def table_names(config):
    return set(re.findall(r"^\[(?:TABLE_COLUMNS|MASTER_TABLE)\]<<([^>]*)>>", config, re.M))


def line_pattern(line):
    """The template line as a pattern: its text as written, each placeholder a value."""
    parts = re.split(r"<<.*?>>", line)
    return re.compile("^" + "(.*?)".join(re.escape(part) for part in parts) + "$")


def problems(output, template, config, values):
    tables = table_names(config)
    lines = output.split("\n")
    at = 0
    for line in template.split("\n"):
        first = re.search(r"<<(.*?)>>", line)
        if first and first.group(1) in tables:
            block = False
            while at < len(lines) and (lines[at].startswith(MARKERS) or block or
                                       (at > 0 and lines[at - 1].startswith("~# "))):
                text = lines[at]
                if text.startswith("~<"):
                    block = True
                elif text.startswith("~>"):
                    block = False
                elif not text.startswith(MARKERS) and not is_value(text, values):
                    yield f"line {at + 1}: cell {text!r}"
                at += 1
            continue
        if at >= len(lines):
            return
        match = line_pattern(line).match(lines[at])
        if match is None:
            yield f"line {at + 1}: {lines[at]!r} is not the template line {line!r} filled"
        else:
            for value in match.groups():
                if not is_value(value, values):
                    yield f"line {at + 1}: value {value!r}"
        at += 1


def main():
    output_path, template_path, config_path, document, encoding = sys.argv[1:6]
    read = lambda path: open(path, "rb").read().decode(encoding).lstrip("\ufeff")
    found = list(problems(read(output_path), read(template_path), read(config_path),
                          document_values(document, encoding)))
    for problem in found:
        print(problem, "is no value of the document")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
