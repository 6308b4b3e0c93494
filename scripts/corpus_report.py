#!/usr/bin/env python3
"""Converts help files and reports, file by file, what a reader of each document gets.

usage: scripts/corpus_report.py BIN_FOLDER CHM... [--keep FOLDER]

For each help file: the contents entries (headings) in the document, the internal links
that land nowhere (a hyperlink to a bookmark the document does not have), the pictures
embedded, the links to files (a hyperlink whose target is a file: address or a path, which
would name a file of the converting machine), the language the document's text is tagged
with, and how much of each page's own text is found in the document: the share of the
page's four-character sequences (spaces left out, so that line breaking and scripts without
spaces do not matter) that the document's text holds. Navigation and repeated headers are cut
on purpose, so a page need not reach 100%; a page far below is a page whose text was lost.
"""

import html.parser
import os
import re
import subprocess
import xml.etree.ElementTree as ET
import zipfile

import report_runner

W = "{http://schemas.openxmlformats.org/wordprocessingml/2006/main}"
PAGE_SUFFIXES = (".htm", ".html", ".txt")


class TextOf(html.parser.HTMLParser):
    """The text a browser shows of a page: no scripts, styles or comments."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.parts = []
        self.skip = 0

    def handle_starttag(self, tag, attrs):
        if tag in ("script", "style", "title", "head"):
            self.skip += 1

    def handle_endtag(self, tag):
        if tag in ("script", "style", "title", "head") and self.skip:
            self.skip -= 1

    def handle_data(self, data):
        if not self.skip:
            self.parts.append(data)


def codec_of(code_page):
    return {"936": "gbk", "950": "big5", "932": "cp932", "949": "cp949", "65001": "utf-8"}.get(
        code_page, "cp" + code_page)


def page_text(path, code_page):
    raw = open(path, "rb").read()
    if raw.startswith(b"\xef\xbb\xbf"):
        encoding = "utf-8"
    elif raw.startswith((b"\xff\xfe", b"\xfe\xff")):
        encoding = "utf-16"
    else:
        m = re.search(rb"charset\s*=\s*[\"']?([\w-]+)", raw[:4096], re.I)
        encoding = m.group(1).decode() if m else codec_of(code_page)
    try:
        text = raw.decode(encoding, errors="replace")
    except LookupError:
        text = raw.decode(codec_of(code_page), errors="replace")
    if path.lower().endswith(".txt"):
        return text
    parser = TextOf()
    parser.feed(text)
    return "".join(parser.parts)


def grams(text):
    squeezed = re.sub(r"\s+", "", text)
    return {squeezed[i:i + 4] for i in range(len(squeezed) - 3)}


def document_facts(docx):
    with zipfile.ZipFile(docx) as z:
        body = ET.fromstring(z.read("word/document.xml"))
        rels = ET.fromstring(z.read("word/_rels/document.xml.rels"))
        styles = ET.fromstring(z.read("word/styles.xml"))
        pictures = sum(1 for n in z.namelist() if n.startswith("word/media/"))
    file_links = sum(
        1 for r in rels if r.get("Type", "").endswith("/hyperlink") and
        (not re.match(r"[A-Za-z][A-Za-z0-9+.-]*:", r.get("Target", "")) or
         r.get("Target", "").lower().startswith("file:")))
    # The Normal style's language over the document defaults: what text without its own has.
    tags = {}
    for lang in (styles.find(f"{W}docDefaults/{W}rPrDefault/{W}rPr/{W}lang"),
                 styles.find(f"{W}style[@{W}styleId='Normal']/{W}rPr/{W}lang")):
        if lang is not None:
            tags.update({k: v for k, v in lang.attrib.items() if k in (W + "val", W + "eastAsia")})
    language = "/".join(tags[k] for k in (W + "val", W + "eastAsia") if k in tags) or "none"
    headings = 0
    for style in body.iter(W + "pStyle"):
        if re.fullmatch(r"Heading\d", style.get(W + "val", "")):
            headings += 1
    bookmarks = {b.get(W + "name") for b in body.iter(W + "bookmarkStart")}
    # A hyperlink with a relationship goes to another file; its anchor is a place in that file.
    R = "{http://schemas.openxmlformats.org/officeDocument/2006/relationships}"
    anchors = [h.get(W + "anchor") for h in body.iter(W + "hyperlink")
               if h.get(W + "anchor") and not h.get(R + "id")]
    nowhere = sum(1 for a in anchors if a not in bookmarks)
    text = "".join(t.text or "" for t in body.iter(W + "t"))
    return headings, len(anchors), nowhere, pictures, text, file_links, language


def info(bin_folder, chm):
    out = subprocess.run([os.path.join(bin_folder, "quillet"), "info", chm],
                         capture_output=True, text=True).stdout
    m = re.search(r"^Code page: (\d+)", out, re.M)
    return m.group(1) if m else "1252"


def report(bin_folder, chm, work):
    name = os.path.basename(chm)
    docx = os.path.join(work, name + ".docx")
    done = subprocess.run([os.path.join(bin_folder, "quillet"), "convert", chm, "-o", docx],
                          capture_output=True, text=True)
    if done.returncode != 0:
        return f"{name}: conversion failed: {done.stderr.strip().splitlines()[-1:]}"
    unpacked = os.path.join(work, name + ".unpacked")
    subprocess.run([os.path.join(bin_folder, "quillet-hh"), "-decompile", unpacked, chm],
                   capture_output=True)
    headings, links, nowhere, pictures, text, file_links, language = document_facts(docx)
    found = grams(text)
    code_page = info(bin_folder, chm)
    shares = []
    for folder, _, files in os.walk(unpacked):
        for f in files:
            if f.lower().endswith(PAGE_SUFFIXES):
                g = grams(page_text(os.path.join(folder, f), code_page))
                if len(g) >= 20:
                    shares.append((len(g & found) / len(g), os.path.relpath(
                        os.path.join(folder, f), unpacked)))
    shares.sort()
    mean = sum(s for s, _ in shares) / len(shares) if shares else 1.0
    low = [f"{p} {s:.0%}" for s, p in shares if s < 0.5]
    line = (f"{name}: {headings} entries, {nowhere} of {links} internal links land nowhere, "
            f"{file_links} links to files, {pictures} pictures, language {language}, "
            f"page text found {mean:.0%} on average over {len(shares)} pages, "
            f"{len(low)} under 50%")
    if low:
        line += " (" + ", ".join(low[:5]) + (", ..." if len(low) > 5 else "") + ")"
    return line


if __name__ == "__main__":
    report_runner.run(report, __doc__)
