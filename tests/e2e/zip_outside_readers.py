#!/usr/bin/env python3
"""ZIP backups read by programs outside the system.

Runs TazuHereZip and TazuThereZip under the build's private Wine prefix on a file, a folder, a
name with blanks and Japanese names, then opens every archive with Info-ZIP unzip, 7-Zip (7zz)
and Python's zipfile and checks the entry names (a folder's contents under the folder's name,
non-ASCII names as flagged UTF-8) and the bytes of every file.

Usage: zip_outside_readers.py SOURCE_DIR BUILD_DIR
"""
import os
import pwd
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

STAMP = r"_\d{8}_\d{6}"

# Relative path (with "/") -> bytes; a path ending with "/" is a folder.
ITEMS = {
    "report.txt": {"report.txt": b"quarterly report\r\n"},
    "my notes.txt": {"my notes.txt": b"notes with blanks in the name"},
    "Project": {
        "Project/": None,
        "Project/top.txt": b"top level",
        "Project/sub/": None,
        "Project/sub/leaf.bin": bytes(range(256)) * 64,
        "Project/empty/": None,
    },
    "日本語メモ.txt": {"日本語メモ.txt": "メモの中身".encode("utf-8")},
    "資料": {"資料/": None, "資料/中身.txt": b"contents", "資料/下位/表.csv": b"1,2,3\n", "資料/下位/": None},
}


def archive_pattern(item):
    # A folder's archive name follows its whole name; a file's keeps its extension before ".zip".
    base, ext = (item, "") if item + "/" in ITEMS[item] else os.path.splitext(item)
    return re.compile(re.escape(base) + STAMP + re.escape(ext) + r"\.zip$")


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def write_settings(prefix, folder_key, keys):
    user = pwd.getpwuid(os.getuid()).pw_name
    folder = os.path.join(prefix, "drive_c", "users", user, "AppData", "Roaming", "zevrald", folder_key)
    os.makedirs(folder, exist_ok=True)
    text = "[Env]\r\n" + "".join("%s=%s\r\n" % kv for kv in keys.items())
    with open(os.path.join(folder, "tazu.ini"), "wb") as ini:
        ini.write(b"\xff\xfe" + text.encode("utf-16-le"))
    return folder


def run_program(source, build, program, items):
    command = [os.path.join(source, "scripts", "wine-run.sh"), build, program] + items
    done = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, timeout=180)
    if done.returncode != 0:
        raise AssertionError("%s ended with %d: %s" % (os.path.basename(program), done.returncode,
                                                      done.stdout.decode(errors="replace")))


def check_python(archive, expected):
    with zipfile.ZipFile(archive) as z:
        assert z.testzip() is None, "zipfile: a CRC does not match"
        names = z.namelist()
        assert sorted(names) == sorted(expected), "zipfile names %s" % names
        for info in z.infolist():
            if not info.filename.isascii():
                assert info.flag_bits & 0x800, "zipfile: %s is not flagged UTF-8" % info.filename
            if expected[info.filename] is not None:
                assert z.read(info) == expected[info.filename], "zipfile: bytes of %s" % info.filename


def run_tool(command):
    env = dict(os.environ, LC_ALL="C.UTF-8", LANG="C.UTF-8")
    done = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, env=env, timeout=120)
    if done.returncode != 0:
        raise AssertionError("%s failed (%d): %s" % (" ".join(command[:2]), done.returncode,
                                                    done.stderr.decode(errors="replace")))
    return done.stdout


def check_unzip(archive, expected):
    run_tool(["unzip", "-tqq", archive])
    names = run_tool(["unzip", "-Z1", archive]).decode("utf-8").splitlines()
    assert sorted(names) == sorted(expected), "unzip names %s" % names
    for name, data in expected.items():
        if data is not None:
            # unzip takes member names as wildcards; brackets would need escaping, none are used.
            assert run_tool(["unzip", "-p", archive, name]) == data, "unzip: bytes of %s" % name


def check_7zip(archive, expected):
    run_tool(["7zz", "t", archive])
    listing = run_tool(["7zz", "l", "-ba", "-slt", archive]).decode("utf-8")
    paths = re.findall(r"^Path = (.*)$", listing, re.M)
    folders = re.findall(r"^Folder = (.*)$", listing, re.M)
    names = [p + "/" if f == "+" else p for p, f in zip(paths, folders)]
    assert sorted(names) == sorted(expected), "7zz names %s" % names
    for name, data in expected.items():
        if data is not None:
            assert run_tool(["7zz", "e", "-so", archive, name]) == data, "7zz: bytes of %s" % name


def check_folder(folder, label):
    failures = []
    present = sorted(os.listdir(folder))
    for item, expected in ITEMS.items():
        pattern = archive_pattern(item)
        found = [name for name in present if pattern.match(name)]
        if len(found) != 1:
            failures.append("%s: %d archives of %s in %s" % (label, len(found), item, present))
            continue
        archive = os.path.join(folder, found[0])
        for reader in (check_python, check_unzip, check_7zip):
            try:
                reader(archive, expected)
            except AssertionError as problem:
                failures.append("%s, %s, %s: %s" % (label, item, reader.__name__, problem))
    return failures


def make_items(data):
    for entries in ITEMS.values():
        for name, content in entries.items():
            path = os.path.join(data, name)
            if content is None:
                os.makedirs(path, exist_ok=True)
            else:
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "wb") as f:
                    f.write(content)


def main():
    source, build = (os.path.abspath(a) for a in sys.argv[1:3])
    prefix = os.path.join(build, "wine", "prefix")
    root = tempfile.mkdtemp(prefix="vantrel_zip_readers_")
    folder_key = "tazu_" + os.path.basename(root).lower()
    programs = os.path.join(root, folder_key)
    data = os.path.join(root, "data")
    destination = os.path.join(root, "destination")
    settings_folder = None
    failures = []
    try:
        os.makedirs(programs)
        for name in ("TazuHereZip.exe", "TazuThereZip.exe", "7-zip32.dll"):
            shutil.copy(os.path.join(build, "bin", name), programs)
        make_items(data)
        settings_folder = write_settings(prefix, folder_key, {
            "Lang": "en", "AutoClose": "1", "OpenDir": "0", "SelDir": "0",
            "Path": windows_path(destination) + "\\"})
        items = [windows_path(os.path.join(data, item)) for item in ITEMS]

        run_program(source, build, os.path.join(programs, "TazuHereZip.exe"), items)
        failures += check_folder(data, "TazuHereZip")
        run_program(source, build, os.path.join(programs, "TazuThereZip.exe"), items)
        failures += check_folder(destination, "TazuThereZip")
    finally:
        shutil.rmtree(root, ignore_errors=True)
        if settings_folder:
            shutil.rmtree(settings_folder, ignore_errors=True)
    for failure in failures:
        print("FAIL " + failure)
    if failures:
        return 1
    print("every archive opens in unzip, 7zz and zipfile with the right names and bytes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
