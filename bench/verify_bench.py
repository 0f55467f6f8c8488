#!/usr/bin/env python3
"""Cost of the verify pass ("Verify" 1) against the same backups without it, under Wine in a
private prefix of the build folder: TazuHere's operation (the shell's copy and its check, with
verify the read-back and byte-for-byte comparison) and TazuHereZip's (the archiver library, with
verify its read-back of the archive), on a folder of 10,000 small files in 100 folders (text cut
from system folders) and on one 1 GiB file (a tar of system folders, as run_bench.py makes it).
Off and on take turns in every round; it prints each round, the medians, the ratios on against
off with the goals (copies <= 1.6x, archives <= 1.25x), the verify pass of a copy alone, and
memcmp against SHA-256 for comparing both sides.

Usage: bench/verify_bench.py [--rounds N] [--keep] [BUILD_DIR]   (default 3 rounds, build/win64)
The corpora are made in bench/work/verify/ and removed at the end with everything the run made
(--keep keeps the corpora for a next run). Not a test: it runs once, by hand."""

import argparse
import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
WORK = os.path.join(HERE, "work", "verify")
SMALL_FOLDERS, SMALL_PER_FOLDER = 100, 100
TEXT_SOURCES = ["/usr/share/doc", "/usr/include", "/usr/share/perl", "/usr/lib/python3"]

sys.path.insert(0, HERE)
import run_bench  # noqa: E402  (the 1 GiB corpus is made the same way)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def text_pieces():
    """Bytes of system text files, endlessly."""
    while True:
        for src in TEXT_SOURCES:
            for dirpath, dirnames, filenames in os.walk(src):
                dirnames.sort()
                for name in sorted(filenames):
                    path = os.path.join(dirpath, name)
                    if name.endswith(run_bench.SKIP_EXT) or os.path.islink(path) or not os.path.isfile(path):
                        continue
                    try:
                        with open(path, "rb") as f:
                            data = f.read(64 * 1024)
                    except OSError:
                        continue
                    if data:
                        yield data


def build_small(dest):
    """10,000 files of 500 to 8,000 bytes in 100 folders."""
    pieces = text_pieces()
    for folder in range(SMALL_FOLDERS):
        path = os.path.join(dest, "folder %03d" % folder)
        os.makedirs(path)
        for index in range(SMALL_PER_FOLDER):
            size = 500 + (folder * SMALL_PER_FOLDER + index) * 7919 % 7500
            data = b""
            while len(data) < size:
                data += next(pieces)
            with open(os.path.join(path, "file %03d.txt" % index), "wb") as f:
                f.write(data[:size])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--keep", action="store_true")
    parser.add_argument("build", nargs="?", default=os.path.join(ROOT, "build", "win64"))
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    program = os.path.join(build, "tests-bin", "verify_bench.exe")
    if not os.path.exists(program):
        sys.exit("build the target verify_bench first: cmake --build --preset win64 --target verify_bench")
    print(run_bench.machine_load(), flush=True)
    os.makedirs(WORK, exist_ok=True)
    small = os.path.join(WORK, "small")
    big = os.path.join(WORK, "big.tar")
    out = os.path.join(WORK, "out")
    if not os.path.exists(small):
        print("making %d small files in %s ..." % (SMALL_FOLDERS * SMALL_PER_FOLDER, small), flush=True)
        build_small(small + ".part")
        os.rename(small + ".part", small)
    if not os.path.exists(big):
        print("making the 1 GiB file %s ..." % big, flush=True)
        run_bench.build_big(big + ".part")
        os.rename(big + ".part", big)
    shutil.rmtree(out, ignore_errors=True)
    fixture = os.path.join(ROOT, "scripts", "wine-fixture.sh")
    subprocess.run([fixture, "start", build], check=True, stdout=subprocess.DEVNULL)
    try:
        run = subprocess.run([os.path.join(ROOT, "scripts", "wine-run.sh"), build, program, windows_path(small),
                              windows_path(big), windows_path(out), str(args.rounds)],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        print(run.stdout, end="")
        print(run_bench.machine_load())
        if run.returncode != 0:
            sys.exit("verify_bench failed with %d" % run.returncode)
    finally:
        subprocess.run([fixture, "stop", build], stdout=subprocess.DEVNULL)
        shutil.rmtree(out, ignore_errors=True)
        if not args.keep:
            shutil.rmtree(WORK, ignore_errors=True)


if __name__ == "__main__":
    main()
