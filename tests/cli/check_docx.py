#!/usr/bin/python3
"""Checks a document that quillet convert wrote against the entries quillet distill lists.

usage: check_docx.py DOCUMENT.docx CONTENTS.json [--cover] [--toc] [--header] [--footer]

One heading per entry, in order, with its chapter number; a bookmark per entry; every internal
hyperlink lands on a bookmark; pictures are stored, none linked to a file; the table of contents
field when asked for; header and footer parts as asked for. Exits 1 with the first fault found.
"""
import json
import re
import sys
import zipfile
import xml.etree.ElementTree as ET

W = "{http://schemas.openxmlformats.org/wordprocessingml/2006/main}"
R = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}"


def fail(message):
    print("check_docx: " + message)
    sys.exit(1)


def main():
    document, contents = sys.argv[1], sys.argv[2]
    flags = set(sys.argv[3:])
    entries = json.load(open(contents, encoding="utf-8"))
    with zipfile.ZipFile(document) as z:
        body = ET.fromstring(z.read("word/document.xml"))
        names = z.namelist()
        rels = z.read("word/_rels/document.xml.rels").decode("utf-8")

    styles_with_level = {}
    headings = []
    for p in body.iter(W + "p"):
        style = p.find(W + "pPr/" + W + "pStyle")
        if style is not None and re.fullmatch(r"Heading[1-9]", style.get(W + "val", "")):
            text = "".join(t.text or "" for t in p.iter(W + "t"))
            headings.append(text)
    expected = [(e["chapter"] + " " + e["topic"]) for e in entries]
    # Topic pages may bring headings of their own only as demoted paragraphs, so the entry
    # headings are exactly the document's headings.
    if headings[: len(expected)] != expected:
        for n, (got, want) in enumerate(zip(headings, expected)):
            if got != want:
                fail(f"heading {n} is {got!r}, expected {want!r}")
        fail(f"{len(headings)} headings for {len(expected)} entries")

    bookmarks = {b.get(W + "name") for b in body.iter(W + "bookmarkStart")}
    if len([b for b in bookmarks if b]) < len(entries):
        fail(f"{len(bookmarks)} bookmarks for {len(entries)} entries")
    for link in body.iter(W + "hyperlink"):
        anchor = link.get(W + "anchor")
        # A link with a relationship goes to another file; its anchor is a place in that file.
        if anchor is not None and link.get(R + "id") is None and anchor not in bookmarks:
            fail(f"internal hyperlink to missing bookmark {anchor!r}")

    if 'TargetMode="External"' in rels and re.search(r'Type="[^"]*/image"[^>]*TargetMode="External"', rels):
        fail("a picture is linked to a file instead of stored")
    for blip in body.iter("{http://schemas.openxmlformats.org/drawingml/2006/main}blip"):
        if blip.get(R + "link") is not None:
            fail("a picture is linked to a file instead of stored")

    instructions = " ".join(t.text or "" for t in body.iter(W + "instrText"))
    if ("--toc" in flags) != ("TOC" in instructions):
        fail("table of contents field " + ("missing" if "--toc" in flags else "present though not asked for"))
    if "--header" in flags and not any(n.startswith("word/header") for n in names):
        fail("no header part")
    if "--footer" in flags and not any(n.startswith("word/footer") for n in names):
        fail("no footer part")
    print(f"check_docx: {len(expected)} headings, {len(bookmarks)} bookmarks: fine")


main()
