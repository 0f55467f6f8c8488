#!/usr/bin/env python3
"""The archives of the 32-bit ZIP commands read by programs outside the system.

CHECK_DIR holds archives/*.zip and source/, a copy of the archived folder. Every archive must
pass `unzip -t` and Python's zipfile check, and hold exactly the folder's entries (under the
folder's name) with the same bytes.

Usage: outside_readers.py CHECK_DIR
"""
import os
import subprocess
import sys
import zipfile


def source_entries(source):
    """Entry names (a folder's ending with "/", bytes None) and bytes of every item in source."""
    entries = {}
    for folder, _, files in os.walk(source):
        relative = os.path.relpath(folder, source).replace(os.sep, "/")
        if relative == ".":
            continue
        entries[relative + "/"] = None
        for name in files:
            with open(os.path.join(folder, name), "rb") as data:
                entries[relative + "/" + name] = data.read()
    return entries


def check(archive, expected):
    problems = []
    tested = subprocess.run(["unzip", "-tq", archive], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    if tested.returncode != 0:
        problems.append("unzip -t: " + tested.stdout.strip())
    with zipfile.ZipFile(archive) as opened:
        bad = opened.testzip()
        if bad is not None:
            problems.append("zipfile: bad CRC in " + bad)
        names = opened.namelist()
        if sorted(names) != sorted(expected):
            problems.append("entries %s, expected %s" % (sorted(names), sorted(expected)))
        for name in names:
            if expected.get(name) is not None and opened.read(name) != expected[name]:
                problems.append("other bytes in " + name)
    return problems


def main():
    check_dir = sys.argv[1]
    expected = source_entries(os.path.join(check_dir, "source"))
    archives = sorted(os.listdir(os.path.join(check_dir, "archives")))
    failed = not archives
    for name in archives:
        problems = check(os.path.join(check_dir, "archives", name), expected)
        print("%s %s (%d entries)" % ("FAILED" if problems else "ok", name, len(expected)))
        for problem in problems:
            print("  " + problem)
        failed = failed or bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
