#!/usr/bin/env python3
"""Times one-page help files whose construct once cost minutes and gigabytes.

Each row is compiled with chmcmd and converted twice by the given build: once whole, under
/usr/bin/time (wall time and peak memory), and once stopped by SIGTERM a moment after it
starts, timing how long the program takes to end after the signal. Each whole run must keep the
page's other text ("PAGE-OK"); each stopped run must leave no document and no temporary files.

usage: bench/hostile_pages.py BIN_FOLDER [--stop-after SECONDS] [--only WORD]
"""
import argparse
import os
import pathlib
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import zipfile


def page(head, body):
    return ("<html><head>" + head + "</head><body><p>PAGE-OK: the text of this page before the "
            "construct, which the document must hold.</p>" + body + "</body></html>")


def black_bitmap(width, height):
    row = (width * 3 + 3) & ~3
    pixels = row * height
    le32 = lambda v: v.to_bytes(4, "little")
    return (b"BM" + le32(54 + pixels) + le32(0) + le32(54) + le32(40) + le32(width) +
            le32(height) + b"\x01\x00\x18\x00" + le32(0) + le32(pixels) + le32(2835) +
            le32(2835) + le32(0) + le32(0) + bytes(pixels))


def frames(levels):
    files = {}
    for level in range(levels):
        files[f"f{level}.htm"] = ("<html><frameset>" +
                                  f'<frame src="f{level + 1}.htm">' * 10 + "</frameset></html>")
    files[f"f{levels}.htm"] = page("", "")
    return files


def cases():
    attributes = "<p" + "".join(f" a{n}=1" for n in range(300_000)) + ">Flooded text.</p>"
    return [
        ("span table, 100 rows", {"a.htm": page("", "<table>" + "<tr><td colspan=1000 "
                                                  "rowspan=1000>c</td></tr>" * 100 + "</table>")}),
        ("span table, 100x100 grid", {"a.htm": page("", "<table>" + ("<tr>" + "<td colspan=1000 "
                                                    "rowspan=1000>c</td>" * 100 + "</tr>") * 100 +
                                                    "</table>")}),
        ("@media nested 20,000 deep", {"a.htm": page("<style>" + "@media screen {" * 20_000 +
                                                     "p { color: red }" + "}" * 20_000 +
                                                     "</style>", "<p>Styled text.</p>")}),
        ("@media nested 100,000 deep", {"a.htm": page("<style>" + "@media screen {" * 100_000 +
                                                      "p { color: red }" + "}" * 100_000 +
                                                      "</style>", "<p>Styled text.</p>")}),
        ("frames 6 levels x 10", frames(6)),
        ("300,000 attributes", {"a.htm": page("", attributes)}),
        ("60 MiB picture shown 200 times", {"a.htm": page("", '<p><img src="big.bmp"></p>' * 200),
                                            "big.bmp": black_bitmap(4600, 4500)}),
    ]


def compile_chm(work, name, files):
    project = work / ("project-" + name)
    project.mkdir(parents=True)
    for path, text in files.items():
        (project / path).write_bytes(text if isinstance(text, bytes) else text.encode())
    first = next(iter(files))
    (project / "toc.hhc").write_text(
        '<HTML><BODY><UL><LI><OBJECT type="text/sitemap"><param name="Name" value="Page">'
        f'<param name="Local" value="{first}"></OBJECT></UL></BODY></HTML>\n')
    (project / f"{name}.hhp").write_text(
        f"[OPTIONS]\nCompiled file={name}.chm\nContents file=toc.hhc\nDefault topic={first}\n"
        f"Title={name}\n\n[FILES]\n" + "".join(p + "\n" for p in files))
    subprocess.run(["chmcmd", "--no-html-scan", f"{name}.hhp"], cwd=project, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    chm = work / f"{name}.chm"
    (project / f"{name}.chm").rename(chm)
    shutil.rmtree(project)
    return chm


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("bin")
    parser.add_argument("--stop-after", type=float, default=0.3)
    parser.add_argument("--only")
    args = parser.parse_args()
    quillet = str(pathlib.Path(args.bin) / "quillet")
    failed = False
    with tempfile.TemporaryDirectory() as scratch:
        work = pathlib.Path(scratch)
        env = dict(os.environ, TMPDIR=str(work / "tmp"))
        (work / "tmp").mkdir()
        print(f"{'page':34} {'whole run':>22}  {'SIGTERM at ' + str(args.stop_after) + ' s':>24}")
        for index, (what, files) in enumerate(cases()):
            if args.only and args.only not in what:
                continue
            chm = compile_chm(work, f"hostile{index}", files)
            out = work / f"hostile{index}.docx"
            timed = subprocess.run(["/usr/bin/time", "-f", "%e s %M KB", quillet, "convert",
                                    str(chm), "-o", str(out)], env=env, capture_output=True,
                                   text=True, stdin=subprocess.DEVNULL)
            figure = timed.stderr.strip().splitlines()[-1]
            kept = False
            if timed.returncode == 0 and out.exists():
                with zipfile.ZipFile(out) as z:
                    kept = b"PAGE-OK" in z.read("word/document.xml")
            out.unlink(missing_ok=True)
            # The stopped run: the time from the signal to the program's end.
            child = subprocess.Popen([quillet, "convert", str(chm), "-o", str(out)], env=env,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                     stdin=subprocess.DEVNULL)
            time.sleep(args.stop_after)
            signalled = time.monotonic()
            child.send_signal(signal.SIGTERM)
            code = child.wait()
            stopped = time.monotonic() - signalled
            left = list((work / "tmp").iterdir())
            # A run that ended before the signal came wrote its document; a stopped one, none.
            clean = not left and (code == 0 or not out.exists())
            for leftover in left:
                shutil.rmtree(leftover, ignore_errors=True)
            out.unlink(missing_ok=True)
            ok = kept and clean
            failed |= not ok
            ended = "finished before" if code == 0 else f"ended {stopped:5.2f} s after"
            print(f"{what:34} {figure:>22}  {ended}, exit {code:3}"
                  f"{'' if ok else '  FAULT: ' + ('no PAGE-OK' if not kept else 'left files')}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
