"""The command line the report scripts share: BIN_FOLDER CHM... [--keep FOLDER].

Each report converts the help files into a working folder (a temporary one, or FOLDER kept for
a look afterwards) and prints one line per file.
"""

import os
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
