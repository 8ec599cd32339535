"""The last step of every table generator in this folder.

write_or_check(path, text): writes text to path (LF line ends), or, when the
script was run with --check, compares instead and returns 1 on a difference,
so that a test can rerun the generator and catch hand edits and drift.
"""
import sys


def write_or_check(path, text):
    if "--check" in sys.argv[1:]:
        with open(path, newline="") as existing:
            if existing.read() != text:
                print("%s is out of date: rerun %s" % (path, sys.argv[0]))
                return 1
        return 0
    with open(path, "w", newline="\n") as out:
        out.write(text)
    return 0
