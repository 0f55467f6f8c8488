#!/usr/bin/env python3
"""Speed, size and memory of 7-zip32.dll (through archiver_driver under Wine, called as the ZIP
commands call it) side by side with 7zz, zip and pigz in one run, on corpora made from system
folders:
  tree:    about 18,000 text-heavy files, about 280 MB
  big:     one file of 1 GiB cut from a tar of system folders
  million: 1,000,000 empty files in 1,000 folders (memory only; with --million)
It prints the machine's load first, then each tool's median time over the rounds (the tools take
turns in every round, so a drift of the machine's speed touches them alike), the archive sizes, the
ratios the goals name and the peak memory of our runs.

Usage: bench/run_bench.py [--rounds N] [--million] [--only tree|big|million] [BUILD_DIR]
       (default build/win64; corpora are kept in bench/work/)
Not a test: it runs by hand and prints a table. Missing tools are installed with apt-get when
run as root; otherwise their rows are left out with a note saying what is missing."""

import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
WORK = os.path.join(HERE, "work")
TREE_FILES = 20000
TREE_BYTES = 280 * 1000 * 1000
BIG_BYTES = 1 << 30
MILLION_FOLDERS, MILLION_PER_FOLDER = 1000, 1000
SOURCES = ["/usr/include", "/usr/share/doc", "/usr/lib/python3", "/usr/lib/python3.11", "/usr/share/perl",
           "/usr/share/vim", "/usr/share/i18n", "/usr/share/mingw-w64/include", "/usr/share/man", "/usr/share/X11",
           "/usr/share/perl5", "/usr/lib/google-cloud-sdk"]
SKIP_EXT = (".gz", ".bz2", ".xz", ".zst", ".zip", ".png", ".jpg", ".gif", ".pyc", ".so", ".mo", ".pdf")
# Tool -> the Debian package that has it.
PACKAGES = {"7zz": "7zip", "zip": "zip", "pigz": "pigz", "unzip": "unzip", "tar": "tar"}
GOALS = "tree >= 3x 7zz and >= 1.5x zip -6; big >= 1.2x pigz; sizes <= 1.035x 7zz's; peak memory <= 64 MiB"


def say(text=""):
    print(text, flush=True)


def machine_load():
    load = os.getloadavg()
    busy = subprocess.run(["sh", "-c", "ps -eo pcpu= | awk '{s+=$1} END {print s}'"], capture_output=True, text=True)
    return "load average %.2f %.2f %.2f on %d cores; processes use %s %% CPU now" % (
        load[0], load[1], load[2], os.cpu_count(), busy.stdout.strip() or "?")


def ensure_tools():
    """Installs what is missing when we may; returns the tools that can be run."""
    missing = [t for t in PACKAGES if not shutil.which(t)]
    if missing and os.geteuid() == 0:
        say("installing: " + " ".join(PACKAGES[t] for t in missing))
        subprocess.run(["apt-get", "install", "-y", "-q", "--no-install-recommends"] + [PACKAGES[t] for t in missing],
                       env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"), stdout=subprocess.DEVNULL)
        missing = [t for t in PACKAGES if not shutil.which(t)]
    for t in missing:
        say("MISSING: %s (apt-get install %s); its rows are left out" % (t, PACKAGES[t]))
    return {t for t in PACKAGES if shutil.which(t)}


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


def build_million(dest):
    for d in range(MILLION_FOLDERS):
        folder = os.path.join(dest, "folder %04d" % d)
        os.makedirs(folder)
        for f in range(MILLION_PER_FOLDER):
            open(os.path.join(folder, "empty file %04d.txt" % f), "wb").close()


def corpus(name, builder):
    path = os.path.join(WORK, name)
    if not os.path.exists(path):
        say("making the %s corpus in %s ..." % (name, path))
        builder(path + ".part")
        os.rename(path + ".part", path)
    return path


def corpus_bytes(path):
    if os.path.isfile(path):
        return os.path.getsize(path)
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(path) for f in fs)


def warm(path):
    subprocess.run("find '%s' -type f -print0 | xargs -0 cat > /dev/null" % path, shell=True)


def win(path):
    return "Z:" + path.replace("/", "\\")


class Runner:
    def __init__(self, build):
        self.build = build
        self.driver = os.path.join(build, "tests-bin", "archiver_driver.exe")
        self.wine_run = os.path.join(ROOT, "scripts", "wine-run.sh")
        self.peaks = {}

    def timed(self, cmd, cwd, stdout=None):
        start = time.monotonic()
        p = subprocess.run(cmd, cwd=cwd, stdout=stdout or subprocess.PIPE, stderr=subprocess.PIPE)
        elapsed = time.monotonic() - start
        if p.returncode != 0:
            raise SystemExit("failed: %s\n%s" % (" ".join(cmd), ((p.stdout or b"")[-800:] + p.stderr[-800:]).decode(
                "utf-8", "replace")))
        return elapsed, (p.stdout or b"").decode("utf-8", "replace")

    def ours(self, label, archive, item, *options):
        seconds, out = self.timed([self.wine_run, self.build, self.driver, "add", "--hide", *options, win(archive),
                                   win(item)], os.path.dirname(item))
        m = re.search(r"memory: peak ([\d.]+) MiB, before the call ([\d.]+) MiB", out)
        if m:
            self.peaks.setdefault(label, []).append((float(m.group(1)), float(m.group(2))))
        return seconds

    def floor(self, item, threads, relative=False):
        return self.timed([self.wine_run, self.build, self.driver, "readall", "--threads", str(threads)] +
                          (["--relative"] if relative else []) + [win(item)], os.path.dirname(item))[0]


def tool_runs(r, corpus_name, item, tools):
    parent, name = os.path.dirname(item), os.path.basename(item)
    out = os.path.join(WORK, "out")

    def archive_of(tag):
        return os.path.join(out, "%s-%s.zip" % (corpus_name, tag))

    runs = [("ours", archive_of("ours"), lambda a: r.ours(corpus_name, a, item))]
    if corpus_name == "tree":
        runs.append(("ours -mx0", archive_of("ours0"), lambda a: r.ours(corpus_name + " -mx0", a, item, "--mx", "0")))
        runs.append(("floor, 1 thread", None, lambda a: r.floor(item, 1)))
        runs.append(("floor, 2 threads", None, lambda a: r.floor(item, 2)))
        runs.append(("floor, relative opens", None, lambda a: r.floor(item, 1, relative=True)))
    if "7zz" in tools:
        runs.append(("7zz -tzip -mmt=on", archive_of("7zz"), lambda a: r.timed(
            ["7zz", "a", "-tzip", "-mmt=on", "-ssw", "-bd", "-bso0", a, name], parent)[0]))
    if "zip" in tools:
        runs.append(("zip -6", archive_of("zip"), lambda a: r.timed(["zip", "-r", "-6", "-q", a, name], parent)[0]))
    if corpus_name == "big" and "pigz" in tools:
        def run_pigz(a):
            with open(a, "wb") as f:
                return r.timed(["pigz", "-6", "-c", name], parent, stdout=f)[0]
        runs.append(("pigz -6", archive_of("pigz") + ".gz", run_pigz))
    return runs


def median(values):
    return statistics.median(values) if values else float("nan")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build", nargs="?", default=os.path.join(ROOT, "build", "win64"))
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--million", action="store_true", help="also the peak memory on 1,000,000 empty files")
    ap.add_argument("--only", choices=["tree", "big", "million"])
    args = ap.parse_args()
    build = os.path.abspath(args.build)

    say("machine: " + machine_load())
    tools = ensure_tools()
    r = Runner(build)
    if not os.path.exists(r.driver):
        say("building archiver_driver (win64 preset) ...")
        subprocess.run(["cmake", "--preset", "win64"], cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", "--preset", "win64", "--target", "archiver_driver"], cwd=ROOT, check=True,
                       stdout=subprocess.DEVNULL)
    os.makedirs(WORK, exist_ok=True)
    corpora = []
    if args.only in (None, "tree"):
        corpora.append(("tree", corpus("tree", lambda d: say("tree corpus: %d files, %.1f MB" % (
            lambda c: (c[0], c[1] / 1e6))(build_tree(d))))))
    if args.only in (None, "big") and "tar" in tools:
        corpora.append(("big", corpus("big.tar", build_big)))
    if args.million or args.only == "million":
        corpora.append(("million", corpus("million", build_million)))

    started_fixture = not os.path.exists(os.path.join(build, "wine", "state", "display"))
    if started_fixture:
        subprocess.run([os.path.join(ROOT, "scripts", "wine-fixture.sh"), "start", build], check=True,
                       stdout=subprocess.DEVNULL)
    # One waiting Wine program keeps the session up, so no run pays for Wine's start-up.
    keeper = subprocess.Popen([r.wine_run, build, r.driver, "wait"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    keeper.stdout.readline()
    out = os.path.join(WORK, "out")
    times, sizes, inputs = {}, {}, {}
    try:
        for corpus_name, item in corpora:
            shutil.rmtree(out, ignore_errors=True)
            os.makedirs(out)
            inputs[corpus_name] = corpus_bytes(item)
            warm(item)
            if corpus_name == "million":
                archive = os.path.join(out, "million.zip")
                seconds = r.ours("million", archive, item, "--mx", "0")
                times[("million", "ours -mx0")] = [seconds]
                sizes[("million", "ours -mx0")] = os.path.getsize(archive)
                os.remove(archive)
                continue
            runs = tool_runs(r, corpus_name, item, tools)
            for rnd in range(args.rounds):
                say("%s, round %d of %d (%s)" % (corpus_name, rnd + 1, args.rounds, machine_load()))
                for tool, archive, run in runs:
                    seconds = run(archive)
                    times.setdefault((corpus_name, tool), []).append(seconds)
                    if archive:
                        sizes[(corpus_name, tool)] = os.path.getsize(archive)
                        os.remove(archive)
                    say("  %-20s %7.2f s" % (tool, seconds))
    finally:
        keeper.stdin.close()
        keeper.wait(timeout=60)
        shutil.rmtree(out, ignore_errors=True)
        if started_fixture:
            subprocess.run([os.path.join(ROOT, "scripts", "wine-fixture.sh"), "stop", build], stdout=subprocess.DEVNULL)

    say()
    say("machine after the runs: " + machine_load())
    say("goals: " + GOALS)
    say()
    say("| corpus | tool | input MB | median s | min s | max s | MB/s | archive MB | size vs 7zz |")
    say("|---|---|---:|---:|---:|---:|---:|---:|---:|")
    for (c, tool), values in times.items():
        size = sizes.get((c, tool))
        ref = sizes.get((c, "7zz -tzip -mmt=on"))
        say("| %s | %s | %.1f | %.2f | %.2f | %.2f | %.1f | %s | %s |" % (
            c, tool, inputs[c] / 1e6, median(values), min(values), max(values), inputs[c] / 1e6 / median(values),
            "%.2f" % (size / 1e6) if size else "-", "%.3fx" % (size / ref) if size and ref else "-"))
    say()

    def ratio(corpus_name, other):
        a, b = times.get((corpus_name, "ours")), times.get((corpus_name, other))
        return median(b) / median(a) if a and b else None

    checks = [
        ("tree: our speed / 7zz's", ratio("tree", "7zz -tzip -mmt=on"), ">=", 3.0),
        ("tree: our speed / zip -6's", ratio("tree", "zip -6"), ">=", 1.5),
        ("big: our speed / pigz's", ratio("big", "pigz -6"), ">=", 1.2),
    ]
    for c in ("tree", "big"):
        ours, ref = sizes.get((c, "ours")), sizes.get((c, "7zz -tzip -mmt=on"))
        checks.append(("%s: our size / 7zz's" % c, ours / ref if ours and ref else None, "<=", 1.035))
    for label, values in r.peaks.items():
        checks.append(("peak memory, %s (MiB; %.1f before the call)" % (label, max(v[1] for v in values)),
                       max(v[0] for v in values), "<=", 64.0 if label in ("tree", "big") else None))
    if ("tree", "floor, 1 thread") in times:
        say("tree: floor (list, open, read, close) %.2f s on 1 thread, %.2f s on 2, %.2f s opening by name in the "
            "folder; ours stored %.2f s, compressed %.2f s" % (
                median(times[("tree", "floor, 1 thread")]), median(times[("tree", "floor, 2 threads")]),
                median(times[("tree", "floor, relative opens")]), median(times.get(("tree", "ours -mx0"), [])),
                median(times.get(("tree", "ours"), []))))
    ran = {c for c, _ in times}
    for label, value, op, goal in checks:
        if value is None:
            if label.split(":")[0] in ran:
                say("%-55s   n/a (a tool is missing)" % label)
            continue
        verdict = "" if goal is None else ("  goal %s %s: %s" % (op, goal, "met" if (
            value >= goal if op == ">=" else value <= goal) else "MISSED"))
        say("%-55s %7.3f%s" % (label, value, verdict))


if __name__ == "__main__":
    main()
