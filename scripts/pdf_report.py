#!/usr/bin/env python3
"""Converts help files to PDF and reports, file by file, what a reader of each PDF sees.

usage: scripts/pdf_report.py BIN_FOLDER CHM... [--keep FOLDER]

For each help file (converted with `quillet convert FILE.chm -o FILE.pdf`, which needs
LibreOffice): the pages, how many of them show a page number in their footer (the last line
of the page's text; the cover has none), the contents lines that end in a page number, how
many of those numbers are the page of the PDF bookmark of the same title, and the list
paragraphs of the .docx (w:numPr).
"""

import json
import os
import re
import subprocess
import zipfile

import report_runner

W = "{http://schemas.openxmlformats.org/wordprocessingml/2006/main}"


def pdf_pages(pdf):
    text = subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True,
                          text=True).stdout
    return text.split("\f")[:-1] if text.endswith("\f") else text.split("\f")


def bookmarks(pdf):
    """Title and 1-based page of every outline item, in order."""
    data = json.loads(subprocess.run(["qpdf", "--json", "--json-key=outlines",
                                      "--json-key=pages", pdf],
                                     capture_output=True, text=True).stdout)
    page_of = {p["object"]: n + 1 for n, p in enumerate(data["pages"])}
    found = []

    def walk(items):
        for item in items:
            dest = item.get("destpageposfrom1")
            if dest is None:
                dest = page_of.get(item.get("dest", [None])[0] if item.get("dest") else None)
            found.append((item["title"].strip(), dest))
            walk(item.get("kids", []))

    walk(data.get("outlines", []))
    return found


def report(bin_folder, chm, work):
    name = os.path.basename(chm)
    docx, pdf, failure = report_runner.convert_to_docx_and_pdf(bin_folder, chm, work)
    if failure:
        return failure
    with zipfile.ZipFile(docx) as z:
        body = z.read("word/document.xml").decode("utf-8")
    list_paragraphs = body.count("<w:numPr>")
    pages = pdf_pages(pdf)
    numbered = 0
    for page in pages[1:]:
        lines = [line.strip() for line in page.splitlines() if line.strip()]
        if lines and re.fullmatch(r"\d+", lines[-1]):
            numbered += 1
    marks = {}
    for title, page in bookmarks(pdf):
        marks.setdefault(re.sub(r"\s+", " ", title), page)
    entries = matching = 0
    for page in pages[1:4]:
        for line in page.splitlines():
            m = re.match(r"\s*(.*?)[\s.]*\.{3,}\s*(\d+)\s*$", line)
            if not m:
                continue
            entries += 1
            if marks.get(re.sub(r"\s+", " ", m.group(1).strip())) is not None:
                # The footer shows the page number; the bookmark gives the PDF page.
                target = pages[marks[re.sub(r"\s+", " ", m.group(1).strip())] - 1]
                last = [x.strip() for x in target.splitlines() if x.strip()]
                if last and last[-1] == m.group(2):
                    matching += 1
    return (f"{name}: {len(pages)} pages, a footer number on {numbered} of {len(pages) - 1} "
            f"after the cover, {entries} contents lines with a number on its first pages, "
            f"{matching} of them the footer number of their heading's page, "
            f"{len(marks)} bookmarks, {list_paragraphs} list paragraphs")


if __name__ == "__main__":
    report_runner.run(report, __doc__)
