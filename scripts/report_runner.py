"""The command line the report scripts share: BIN_FOLDER CHM... [--keep FOLDER].

Each report converts the help files into a working folder (a temporary one, or FOLDER kept for
a look afterwards) and prints one line per file.
"""

import os
import subprocess
import sys
import tempfile


def run(report, usage):
    """Calls report(bin_folder, chm, work) for each help file named and prints its line."""
    args = sys.argv[1:]
    keep = None
    if "--keep" in args:
        i = args.index("--keep")
        keep = args[i + 1]
        del args[i:i + 2]
    if len(args) < 2:
        sys.exit(usage)
    bin_folder, files = args[0], args[1:]
    with tempfile.TemporaryDirectory() as scratch:
        work = keep or scratch
        os.makedirs(work, exist_ok=True)
        for chm in files:
            print(report(bin_folder, chm, work), flush=True)


def convert_to_docx_and_pdf(bin_folder, chm, work):
    """Converts `chm` into WORK/NAME.chm.docx and WORK/NAME.chm.pdf with `quillet convert`.

    Returns (docx, pdf, None), or (None, None, the line saying which conversion failed)."""
    name = os.path.basename(chm)
    docx = os.path.join(work, name + ".docx")
    pdf = os.path.join(work, name + ".pdf")
    for out in (docx, pdf):
        done = subprocess.run([os.path.join(bin_folder, "quillet"), "convert", chm, "-o", out],
                              capture_output=True, text=True)
        if done.returncode != 0:
            return None, None, (f"{name}: {out[-4:]} failed: "
                                f"{done.stderr.strip().splitlines()[-1:]}")
    return docx, pdf, None
