#!/usr/bin/env python3
"""Throughput and size of 7-zip32.dll (through archiver_driver under Wine, called as the ZIP
commands call it) next to 7zz, zip and pigz, on two corpora made from system folders:
  tree: about 20,000 text-heavy files, about 280 MB
  big:  one file of 1 GiB cut from a tar of system folders
Usage: bench/run_bench.py [BUILD_DIR]   (default build/win64; corpora are kept in bench/work/)
Not a test: it runs once, by hand, and prints a table."""

import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
WORK = os.path.join(HERE, "work")
TREE_FILES = 20000
TREE_BYTES = 280 * 1000 * 1000
BIG_BYTES = 1 << 30
SOURCES = ["/usr/include", "/usr/share/doc", "/usr/lib/python3", "/usr/lib/python3.11", "/usr/share/perl",
           "/usr/share/vim", "/usr/share/i18n", "/usr/share/mingw-w64/include", "/usr/share/man", "/usr/share/X11",
           "/usr/share/perl5", "/usr/lib/google-cloud-sdk"]
SKIP_EXT = (".gz", ".bz2", ".xz", ".zst", ".zip", ".png", ".jpg", ".gif", ".pyc", ".so", ".mo", ".pdf")


def build_tree(dest):
    count, total = 0, 0
    for src in SOURCES:
        for dirpath, dirnames, filenames in os.walk(src):
            dirnames.sort()
            for f in sorted(filenames):
                p = os.path.join(dirpath, f)
                if f.endswith(SKIP_EXT) or os.path.islink(p) or not os.path.isfile(p):
                    continue
                size = os.path.getsize(p)
                if size == 0 or size > 1 << 20:
                    continue
                out = os.path.join(dest, os.path.relpath(p, "/"))
                os.makedirs(os.path.dirname(out), exist_ok=True)
                try:
                    shutil.copyfile(p, out)
                except OSError:
                    continue
                count += 1
                total += size
                if count >= TREE_FILES or total >= TREE_BYTES:
                    return count, total
    return count, total


def build_big(dest):
    with open(dest, "wb") as out:
        tar = subprocess.Popen(["tar", "cf", "-", "/usr/lib", "/usr/share", "/usr/bin"], stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
        left = BIG_BYTES
        while left:
            chunk = tar.stdout.read(min(left, 1 << 20))
            if not chunk:
                break
            out.write(chunk)
            left -= len(chunk)
        tar.kill()
        tar.wait()


def corpus_bytes(path):
    if os.path.isfile(path):
        return os.path.getsize(path)
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(path) for f in fs)


def warm(path):
    subprocess.run("find '%s' -type f -print0 | xargs -0 cat > /dev/null" % path, shell=True)


def timed(cmd, cwd, stdout=None):
    start = time.monotonic()
    p = subprocess.run(cmd, cwd=cwd, stdout=stdout if stdout else subprocess.PIPE, stderr=subprocess.PIPE)
    elapsed = time.monotonic() - start
    if p.returncode != 0:
        raise SystemExit("failed: %s\n%s" % (" ".join(cmd), (p.stdout or b"")[-800:] + p.stderr[-800:]))
    return elapsed


def win(path):
    return "Z:" + path.replace("/", "\\")


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "win64"))
    driver = os.path.join(build, "tests-bin", "archiver_driver.exe")
    wine_run = os.path.join(ROOT, "scripts", "wine-run.sh")
    if not os.path.exists(driver):
        raise SystemExit("build the win64 preset first: " + driver)
    os.makedirs(WORK, exist_ok=True)
    tree_root = os.path.join(WORK, "tree")
    big = os.path.join(WORK, "big.tar")
    if not os.path.isdir(tree_root):
        n, b = build_tree(tree_root + ".part")
        os.rename(tree_root + ".part", tree_root)
        print("tree corpus: %d files, %.1f MB" % (n, b / 1e6))
    if not os.path.exists(big):
        build_big(big + ".part")
        os.rename(big + ".part", big)
    started_fixture = not os.path.exists(os.path.join(build, "wine", "state", "display"))
    if started_fixture:
        subprocess.run([os.path.join(ROOT, "scripts", "wine-fixture.sh"), "start", build], check=True)
    # One waiting Wine program keeps the session up, so no run pays for Wine's start-up.
    keeper = subprocess.Popen([wine_run, build, driver, "wait"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    keeper.stdout.readline()
    out = os.path.join(WORK, "out")
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    rows = []
    try:
        for corpus, item in (("tree", tree_root), ("big", big)):
            size = corpus_bytes(item)
            warm(item)
            parent, name = os.path.dirname(item), os.path.basename(item)
            runs = [
                ("vantrel 7-zip32.dll", os.path.join(out, corpus + "-ours.zip"),
                 lambda a: timed([wine_run, build, driver, "add", "--hide", win(a), win(item)], parent)),
                ("7zz -tzip -mmt=on", os.path.join(out, corpus + "-7zz.zip"),
                 lambda a: timed(["7zz", "a", "-tzip", "-mmt=on", "-ssw", "-bd", "-bso0", a, name], parent)),
                ("zip -r -6", os.path.join(out, corpus + "-zip.zip"),
                 lambda a: timed(["zip", "-r", "-6", "-q", a, name], parent)),
            ]
            if corpus == "big":
                def run_pigz(a):
                    with open(a, "wb") as f:
                        return timed(["pigz", "-6", "-c", name], parent, stdout=f)
                runs.append(("pigz -6", os.path.join(out, corpus + "-pigz.gz"), run_pigz))
            for tool, archive, run in runs:
                seconds = run(archive)
                rows.append((corpus, tool, size, seconds, os.path.getsize(archive)))
                os.remove(archive)
                print("  %s / %s: %.2f s" % (corpus, tool, seconds), flush=True)
    finally:
        keeper.stdin.close()
        keeper.wait(timeout=60)
        shutil.rmtree(out, ignore_errors=True)
        if started_fixture:
            subprocess.run([os.path.join(ROOT, "scripts", "wine-fixture.sh"), "stop", build])

    print()
    print("| corpus | tool | input MB | seconds | MB/s | archive MB | speed vs 7zz | size vs 7zz |")
    print("|---|---|---:|---:|---:|---:|---:|---:|")
    for corpus in ("tree", "big"):
        ref = [r for r in rows if r[0] == corpus and r[1].startswith("7zz")][0]
        ref_speed = ref[2] / ref[3]
        for c, tool, size, seconds, archive in rows:
            if c != corpus:
                continue
            speed = size / seconds
            print("| %s | %s | %.1f | %.2f | %.1f | %.2f | %.2fx | %.3fx |" % (
                c, tool, size / 1e6, seconds, speed / 1e6, archive / 1e6, speed / ref_speed, archive / ref[4]))
    pigz = [r for r in rows if r[1] == "pigz -6"][0]
    ours_big = [r for r in rows if r[0] == "big" and r[1].startswith("vantrel")][0]
    print()
    print("big file: vantrel speed / pigz speed = %.2fx" % ((ours_big[2] / ours_big[3]) / (pigz[2] / pigz[3])))


if __name__ == "__main__":
    main()
