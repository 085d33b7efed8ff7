#!/usr/bin/env python3
"""Checks a workbook against the CSV of the same run, for the end-to-end tests.

    xlsx-cells.py WORKBOOK CSV [ENCODING]

Reads the first sheet of WORKBOOK with nothing but zipfile and ElementTree
(shared and inline strings, "_xHHHH_" escapes), the CSV with the csv module,
and exits 0 when both hold the same cells, row for row (trailing empty cells
ignored); otherwise prints the first difference and exits 1. With
--cells-of WORKBOOK it prints the workbook's rows, cells joined by "|".
"""
import csv
import re
import sys
import zipfile
import xml.etree.ElementTree as ET

NS = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main"}
ESCAPE = re.compile(r"_x([0-9A-Fa-f]{4})_")


def text_of(node):
    if node is None:
        return ""
    raw = "".join(t.text or "" for t in node.iter("{%s}t" % NS["m"]))
    return ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), raw)


def column_of(ref):
    n = 0
    for ch in ref:
        if not ch.isalpha():
            break
        n = n * 26 + ord(ch) - ord("A") + 1
    return n - 1


def workbook_rows(path):
    with zipfile.ZipFile(path) as z:
        shared = []
        if "xl/sharedStrings.xml" in z.namelist():
            root = ET.fromstring(z.read("xl/sharedStrings.xml"))
            shared = [text_of(si) for si in root.findall("m:si", NS)]
        sheet = ET.fromstring(z.read("xl/worksheets/sheet1.xml"))
    rows = []
    for row in sheet.iter("{%s}row" % NS["m"]):
        number = int(row.get("r"))
        while len(rows) < number:
            rows.append([])
        cells = rows[number - 1]
        for c in row.findall("m:c", NS):
            col = column_of(c.get("r"))
            while len(cells) <= col:
                cells.append("")
            if c.get("t") == "s":
                cells[col] = shared[int(c.find("m:v", NS).text)]
            elif c.get("t") == "inlineStr":
                cells[col] = text_of(c.find("m:is", NS))
            else:
                v = c.find("m:v", NS)
                cells[col] = v.text if v is not None else ""
    return rows


def trimmed(rows):
    out = []
    for row in rows:
        row = list(row)
        while row and row[-1] == "":
            row.pop()
        out.append(row)
    return out


def main():
    if sys.argv[1] == "--cells-of":
        for row in workbook_rows(sys.argv[2]):
            print("|".join(row))
        return 0
    encoding = sys.argv[3] if len(sys.argv) > 3 else "utf-8-sig"
    with open(sys.argv[2], newline="", encoding=encoding) as f:
        expected = trimmed(csv.reader(f))
    seen = trimmed(workbook_rows(sys.argv[1]))
    if seen == expected:
        return 0
    for i, (a, b) in enumerate(zip(seen, expected)):
        if a != b:
            print("row %d: workbook %r, CSV %r" % (i + 1, a, b))
            return 1
    print("rows: workbook %d, CSV %d" % (len(seen), len(expected)))
    return 1


sys.exit(main())
