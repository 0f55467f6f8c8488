#!/usr/bin/env python3
"""Cost of the check that follows a folder copy (every file and folder present, every file of
its size) against the shell's copy itself, on a folder of 10,000 files in 100 folders, under
Wine in a private prefix of the build folder.
Usage: bench/copy_check_bench.py [BUILD_DIR] [FILES] [ROUNDS]   (default build/win64 10000 3)
Not a test: it runs once, by hand, and prints the rounds and the ratio check / copy."""

import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "win64"))
    files = sys.argv[2] if len(sys.argv) > 2 else "10000"
    rounds = sys.argv[3] if len(sys.argv) > 3 else "3"
    program = os.path.join(build, "tests-bin", "copy_check_bench.exe")
    if not os.path.exists(program):
        sys.exit("build the target copy_check_bench first: cmake --build --preset win64 --target copy_check_bench")
    fixture = os.path.join(ROOT, "scripts", "wine-fixture.sh")
    subprocess.run([fixture, "start", build], check=True, stdout=subprocess.DEVNULL)
    try:
        run = subprocess.run([os.path.join(ROOT, "scripts", "wine-run.sh"), build, program, files, rounds],
                             stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        print(run.stdout, end="")
        if run.returncode != 0:
            sys.exit("copy_check_bench failed with %d" % run.returncode)
    finally:
        subprocess.run([fixture, "stop", build], stdout=subprocess.DEVNULL)


if __name__ == "__main__":
    main()
