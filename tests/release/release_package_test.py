#!/usr/bin/env python3
"""The release archive as a Windows user receives it, checked by outside readers.

Usage: release_package_test.py SOURCE_DIR BUILD_DIR

Packs the build's programs twice with scripts/package_release.py into a temporary folder and
checks: Info-ZIP's unzip and Python's zipfile accept the archive; it holds exactly the folder
Tazu/ with the seven programs, 7-zip32.dll, README.txt and a licence text per third-party library,
each program byte for byte as built; README.txt is Windows text naming every program; and the two
packings are byte-identical.
"""
import os
import subprocess
import sys
import tempfile
import zipfile

PROGRAMS = ["TazuHere.exe", "TazuHereZip.exe", "TazuRename.exe", "TazuThere.exe",
            "TazuThereZip.exe", "TazuSetting.exe", "TazuUAC.exe", "7-zip32.dll"]

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what)


def pack(source_dir, build_dir, out_dir):
    result = subprocess.run([sys.executable, os.path.join(source_dir, "scripts", "package_release.py"),
                             build_dir, out_dir, "test"], capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit("packaging failed: " + result.stderr + result.stdout)
    return result.stdout.strip()


def main():
    source_dir, build_dir = sys.argv[1:3]
    licenses = sorted(f for f in os.listdir(os.path.join(build_dir, "licenses")) if f.endswith(".txt"))
    with tempfile.TemporaryDirectory() as work:
        first = pack(source_dir, build_dir, os.path.join(work, "a"))
        second = pack(source_dir, build_dir, os.path.join(work, "b"))
        check(os.path.basename(first).startswith("vantrel-") and first.endswith("-test.zip"),
              f"archive name {os.path.basename(first)}")
        with open(first, "rb") as a, open(second, "rb") as b:
            check(a.read() == b.read(), "two packings of the same build differ")

        unzip = subprocess.run(["unzip", "-t", first], capture_output=True, text=True)
        check(unzip.returncode == 0, "unzip -t: " + unzip.stdout[-500:])

        with zipfile.ZipFile(first) as archive:
            check(archive.testzip() is None, "zipfile finds a damaged entry")
            names = archive.namelist()
            expected = (["Tazu/"] + ["Tazu/" + p for p in PROGRAMS] + ["Tazu/README.txt"]
                        + ["Tazu/LICENSE-" + f for f in licenses])
            check(names == expected, f"entries {names}")
            for library in ("zlib", "libdeflate"):
                check(f"Tazu/LICENSE-{library}.txt" in names, f"no {library} licence")
            for program in PROGRAMS:
                with open(os.path.join(build_dir, "bin", program), "rb") as built:
                    check(archive.read("Tazu/" + program) == built.read(), f"{program} differs from the build")

            readme = archive.read("Tazu/README.txt")
            check(readme.startswith(b"\xef\xbb\xbf"), "README.txt has no byte-order mark")
            check(b"\n" not in readme.replace(b"\r\n", b""), "README.txt has a line end other than CR LF")
            text = readme.decode("utf-8-sig")
            check("@VERSION@" not in text, "README.txt keeps the version placeholder")
            for program in PROGRAMS:
                check(program.rsplit(".", 1)[0] in text, f"README.txt does not name {program}")
            check("%APPDATA%\\zevrald\\" in text, "README.txt does not say where the settings live")
            zlib = archive.read("Tazu/LICENSE-zlib.txt").decode("utf-8-sig")
            check("Jean-loup Gailly" in zlib and "altered" in zlib, "zlib licence text incomplete")

    if failures:
        sys.exit(f"{len(failures)} check(s) failed")
    print("release archive ok")


if __name__ == "__main__":
    main()
