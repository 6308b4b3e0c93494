#!/usr/bin/env python3
"""Compares the page numbers in the contents of a converted .docx with LibreOffice's own count.

usage: scripts/contents_pages_report.py BIN_FOLDER CHM... [--keep FOLDER]

For each help file: `quillet convert FILE.chm -o FILE.docx` gives the contents as written (the
numbers of the engine's layout), `quillet convert FILE.chm -o FILE.pdf` the pages LibreOffice
lays out (it updates the fields first). Each contents entry is found among the PDF's bookmarks by
its title, in order, and LibreOffice's number for it is the footer number of the bookmark's page.
The line gives the entries compared, how many are within one page of LibreOffice's number, the
largest difference, and how many PDF pages have a median line of 6 characters or fewer (a
squeezed table shows one or two characters a line).
"""

import os
import re
import statistics
import xml.etree.ElementTree as ET
import zipfile

import report_runner
from pdf_report import bookmarks, pdf_pages

W = "{http://schemas.openxmlformats.org/wordprocessingml/2006/main}"


def normal(text):
    return re.sub(r"\s+", " ", text).strip()


def contents_entries(docx):
    """(title, number) of each PAGEREF in the document's TOC field, in order."""
    with zipfile.ZipFile(docx) as z:
        root = ET.fromstring(z.read("word/document.xml"))
    entries = []
    depth = 0           # fields open
    toc_depth = None    # the depth of the TOC field while inside it
    code = {}           # per depth: the field code so far
    in_result = {}      # per depth: whether its result is being read
    title, number = "", ""
    for element in root.iter():
        if element.tag == W + "p" and toc_depth is not None:
            title = ""
        if element.tag == W + "fldChar":
            kind = element.get(W + "fldCharType")
            if kind == "begin":
                depth += 1
                code[depth] = ""
                in_result[depth] = False
            elif kind == "separate":
                in_result[depth] = True
                if toc_depth is None and code[depth].strip().startswith("TOC"):
                    toc_depth = depth
                if code[depth].strip().startswith("PAGEREF"):
                    number = ""
            elif kind == "end":
                if code.get(depth, "").strip().startswith("PAGEREF") and toc_depth is not None:
                    entries.append((normal(title), number.strip()))
                if toc_depth == depth:
                    toc_depth = None
                depth -= 1
        elif element.tag == W + "instrText" and depth:
            code[depth] += element.text or ""
        elif element.tag in (W + "t", W + "tab") and toc_depth is not None:
            text = element.text or "" if element.tag == W + "t" else "\t"
            if depth > toc_depth and in_result.get(depth):
                number += text
            elif depth == toc_depth:
                title += text
    return [(t.split("\t")[0].strip(), n) for t, n in entries]


def footer_number(page):
    lines = [x.strip() for x in page.splitlines() if x.strip()]
    return int(lines[-1]) if lines and re.fullmatch(r"\d+", lines[-1]) else None


def squeezed_pages(pages):
    count = 0
    for page in pages:
        lengths = [len(x.strip()) for x in page.splitlines() if x.strip()]
        if len(lengths) >= 5 and statistics.median(lengths) <= 6:
            count += 1
    return count


def report(bin_folder, chm, work):
    name = os.path.basename(chm)
    docx, pdf, failure = report_runner.convert_to_docx_and_pdf(bin_folder, chm, work)
    if failure:
        return failure
    ours = contents_entries(docx)
    pages = pdf_pages(pdf)
    marks = [(normal(t), p) for t, p in bookmarks(pdf)]
    compared = within = exact = 0
    worst = 0
    at = 0
    for title, number in ours:
        k = at
        while k < len(marks) and marks[k][0] != title:
            k += 1
        if k == len(marks) or not number.isdigit() or marks[k][1] is None:
            continue
        at = k + 1
        theirs = footer_number(pages[marks[k][1] - 1])
        if theirs is None:
            continue
        compared += 1
        off = abs(int(number) - theirs)
        worst = max(worst, off)
        within += off <= 1
        exact += off == 0
    share = f"{100 * within / compared:.0f}%" if compared else "-"
    return (f"{name}: {len(ours)} contents entries, {compared} compared, {within} ({share}) "
            f"within one page of LibreOffice's, {exact} exact, at most {worst} off; "
            f"{len(pages)} PDF pages, {squeezed_pages(pages)} with a median line of 6 "
            f"characters or fewer")


if __name__ == "__main__":
    report_runner.run(report, __doc__)
