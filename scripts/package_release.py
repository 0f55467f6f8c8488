#!/usr/bin/env python3
"""Packs the programs of a build folder into the release archive that Windows users unzip.

Usage: package_release.py BUILD_DIR OUT_DIR PLATFORM

Writes OUT_DIR/vantrel-<version>-<PLATFORM>.zip with one folder "Tazu/" holding the seven
programs, 7-zip32.dll, README.txt (from docs/README.txt, with Windows line ends) and the licence
texts of the third-party code we link (BUILD_DIR/licenses/<name>.txt as LICENSE-<name>.txt).
The folder is named Tazu because the programs derive their settings folder and their menu
captions from their folder's name: "Tazu" gives the plain ones.

The same inputs give the same bytes: every entry carries the time of the last commit (or
SOURCE_DATE_EPOCH), and the entries are written in a fixed order.
"""
import os
import re
import subprocess
import sys
import time
import zipfile

PROGRAMS = [
    "TazuHere.exe",
    "TazuHereZip.exe",
    "TazuRename.exe",
    "TazuThere.exe",
    "TazuThereZip.exe",
    "TazuSetting.exe",
    "TazuUAC.exe",
    "7-zip32.dll",
]
FOLDER = "Tazu/"


def project_version(build_dir):
    with open(os.path.join(build_dir, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            match = re.match(r"CMAKE_PROJECT_VERSION:\w+=(\S+)", line)
            if match:
                return match.group(1)
    sys.exit(f"package_release: no project version in {build_dir}/CMakeCache.txt")


def entry_time(source_dir):
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        try:
            epoch = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"],
                                   check=True, capture_output=True, text=True).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            epoch = ""
    stamp = time.gmtime(int(epoch)) if epoch else time.gmtime(315532800)  # 1980-01-01
    return max(stamp[:6], (1980, 1, 1, 0, 0, 0))


def windows_text(text):
    """UTF-8 with a byte-order mark and CR LF line ends, as Notepad reads it everywhere."""
    return b"\xef\xbb\xbf" + text.replace("\r\n", "\n").replace("\n", "\r\n").encode("utf-8")


def add(archive, name, data, when):
    info = zipfile.ZipInfo(name, date_time=when)
    info.create_system = 0  # MS-DOS: the attributes below are DOS attributes
    if name.endswith("/"):
        info.external_attr = 0x10  # directory
        info.compress_type = zipfile.ZIP_STORED
    else:
        info.external_attr = 0x20  # archive
        info.compress_type = zipfile.ZIP_DEFLATED
    archive.writestr(info, data, compresslevel=9)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__.strip().splitlines()[2])
    build_dir, out_dir, platform = sys.argv[1:]
    source_dir = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    version = project_version(build_dir)
    when = entry_time(source_dir)

    missing = [p for p in PROGRAMS if not os.path.isfile(os.path.join(build_dir, "bin", p))]
    if missing:
        sys.exit(f"package_release: not built in {build_dir}/bin: {', '.join(missing)}")
    license_dir = os.path.join(build_dir, "licenses")
    licenses = sorted(f for f in os.listdir(license_dir) if f.endswith(".txt")) \
        if os.path.isdir(license_dir) else []
    if not licenses:
        sys.exit(f"package_release: no licence texts in {license_dir}")

    with open(os.path.join(source_dir, "docs", "README.txt"), encoding="utf-8") as readme:
        readme_text = readme.read().replace("@VERSION@", version)

    os.makedirs(out_dir, exist_ok=True)
    target = os.path.join(out_dir, f"vantrel-{version}-{platform}.zip")
    partial = target + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        add(archive, FOLDER, b"", when)
        for program in PROGRAMS:
            with open(os.path.join(build_dir, "bin", program), "rb") as f:
                add(archive, FOLDER + program, f.read(), when)
        add(archive, FOLDER + "README.txt", windows_text(readme_text), when)
        for license_file in licenses:
            with open(os.path.join(license_dir, license_file), encoding="utf-8") as f:
                add(archive, FOLDER + "LICENSE-" + license_file, windows_text(f.read()), when)
    os.replace(partial, target)
    print(target)


if __name__ == "__main__":
    main()
