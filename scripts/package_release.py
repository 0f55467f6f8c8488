#!/usr/bin/env python3
"""Packs the programs of a build folder into the release archives that Windows users unzip.

Usage: package_release.py BUILD_DIR OUT_DIR PLATFORM

Writes OUT_DIR/vantrel-<version>-<PLATFORM>.zip with one folder "Tazu/" holding the seven
programs, 7-zip32.dll, README.txt (from docs/README.txt, with Windows line ends) and the licence
texts of the third-party code we link (BUILD_DIR/licenses/<name>.txt as LICENSE-<name>.txt).
The folder is named Tazu because the programs derive their settings folder and their menu
captions from their folder's name: "Tazu" gives the plain ones.

The programs ship without their debug information and symbols, most of their size. Both go to
OUT_DIR/vantrel-<version>-<PLATFORM>-symbols.zip as Tazu/<program>.debug, and each shipped
program names its file in a debug link (with the file's CRC), so that a debugger given both
folders, or addr2line given the .debug file, turns a crash address into a source line.

When VANTREL_SIGN_CERT and VANTREL_SIGN_KEY name a certificate (chain) and its private key,
every program and the library are signed after stripping with osslsigncode (Authenticode,
SHA-256); VANTREL_SIGN_PASSWORD_FILE names a file holding the key's password, and
VANTREL_SIGN_TIMESTAMP_URL an RFC 3161 time-stamp server. Without them the programs stay
unsigned, and the script says so.

Last, OUT_DIR/SHA256SUMS lists the SHA-256 of every archive in OUT_DIR (sha256sum's format).

Unsigned, the same inputs give the same bytes: every entry carries the time of the last commit
(or SOURCE_DATE_EPOCH), and the entries are written in a fixed order.
"""
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
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


def cache_value(build_dir, name):
    with open(os.path.join(build_dir, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            match = re.match(name + r":\w+=(.+)$", line.rstrip("\n"))
            if match:
                return match.group(1)
    sys.exit(f"package_release: no {name} in {build_dir}/CMakeCache.txt")


def project_version(build_dir):
    return cache_value(build_dir, "CMAKE_PROJECT_VERSION")


def run(command, environment=None):
    result = subprocess.run(command, capture_output=True, text=True, env=environment)
    if result.returncode != 0:
        sys.exit(f"package_release: {' '.join(command)} failed:\n{result.stdout}{result.stderr}")
    return result.stdout


def link_time(binary):
    """The time stamp that the linker wrote into a PE file's header."""
    with open(binary, "rb") as f:
        head = f.read(4096)
    pe_header = struct.unpack_from("<I", head, 0x3C)[0]
    if head[pe_header:pe_header + 4] != b"PE\0\0":
        sys.exit(f"package_release: {binary} is not a PE file")
    return struct.unpack_from("<I", head, pe_header + 8)[0]


def split_debug(objcopy, stage, program):
    """Moves the program's debug information and symbols into <program>.debug beside it and
    links to it."""
    binary = os.path.join(stage, program)
    debug = binary + ".debug"
    # objcopy stamps the PE files it writes with the time it runs unless told the time: the
    # linker's own keeps the shipped program as built, and two packings the same.
    environment = dict(os.environ, SOURCE_DATE_EPOCH=str(link_time(binary)))
    run([objcopy, "--only-keep-debug", binary, debug], environment)
    run([objcopy, "--strip-all", binary], environment)
    # The link records the debug file's name without its folder, and its CRC.
    run([objcopy, f"--add-gnu-debuglink={debug}", binary], environment)
    return debug


def signing_settings():
    """The signing command's options from the environment, or None to build unsigned."""
    cert = os.environ.get("VANTREL_SIGN_CERT", "")
    key = os.environ.get("VANTREL_SIGN_KEY", "")
    if not cert and not key:
        return None
    if not cert or not key:
        sys.exit("package_release: VANTREL_SIGN_CERT and VANTREL_SIGN_KEY are set together or not at all")
    for path in (cert, key):
        if not os.path.isfile(path):
            sys.exit(f"package_release: no such file: {path}")
    options = ["-certs", cert, "-key", key, "-h", "sha256", "-n", "Vantrel"]
    password_file = os.environ.get("VANTREL_SIGN_PASSWORD_FILE", "")
    if password_file:
        options += ["-readpass", password_file]
    timestamp = os.environ.get("VANTREL_SIGN_TIMESTAMP_URL", "")
    if timestamp:
        options += ["-ts", timestamp]
    return options


def sign(options, binary):
    signed = binary + ".signed"
    run(["osslsigncode", "sign"] + options + ["-in", binary, "-out", signed])
    os.replace(signed, binary)


def write_checksums(out_dir):
    """OUT_DIR/SHA256SUMS: one line per archive, as sha256sum writes it and sha256sum -c reads it."""
    lines = []
    for name in sorted(f for f in os.listdir(out_dir) if f.endswith(".zip")):
        with open(os.path.join(out_dir, name), "rb") as f:
            lines.append(f"{hashlib.sha256(f.read()).hexdigest()}  {name}\n")
    target = os.path.join(out_dir, "SHA256SUMS")
    with open(target + ".partial", "w", encoding="ascii", newline="\n") as sums:
        sums.writelines(lines)
    os.replace(target + ".partial", target)
    return target


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

    objcopy = cache_value(build_dir, "CMAKE_OBJCOPY")
    signing = signing_settings()
    if signing is None:
        print("package_release: unsigned (VANTREL_SIGN_CERT and VANTREL_SIGN_KEY are not set)", file=sys.stderr)
    elif not shutil.which("osslsigncode"):
        sys.exit("package_release: osslsigncode is not installed (scripts/setup.sh installs it)")

    os.makedirs(out_dir, exist_ok=True)
    target = os.path.join(out_dir, f"vantrel-{version}-{platform}.zip")
    symbols = os.path.join(out_dir, f"vantrel-{version}-{platform}-symbols.zip")
    with tempfile.TemporaryDirectory() as stage:
        debug_files = []
        for program in PROGRAMS:
            shutil.copyfile(os.path.join(build_dir, "bin", program), os.path.join(stage, program))
            debug_files.append(split_debug(objcopy, stage, program))
            # Signed last: the signature covers the stripped program with its debug link.
            if signing is not None:
                sign(signing, os.path.join(stage, program))
        if signing is not None:
            print(f"package_release: signed {len(PROGRAMS)} files with {os.environ['VANTREL_SIGN_CERT']}",
                  file=sys.stderr)

        partial = target + ".partial"
        with zipfile.ZipFile(partial, "w") as archive:
            add(archive, FOLDER, b"", when)
            for program in PROGRAMS:
                with open(os.path.join(stage, program), "rb") as f:
                    add(archive, FOLDER + program, f.read(), when)
            add(archive, FOLDER + "README.txt", windows_text(readme_text), when)
            for license_file in licenses:
                with open(os.path.join(license_dir, license_file), encoding="utf-8") as f:
                    add(archive, FOLDER + "LICENSE-" + license_file, windows_text(f.read()), when)
        os.replace(partial, target)

        partial = symbols + ".partial"
        with zipfile.ZipFile(partial, "w") as archive:
            add(archive, FOLDER, b"", when)
            for debug in debug_files:
                with open(debug, "rb") as f:
                    add(archive, FOLDER + os.path.basename(debug), f.read(), when)
        os.replace(partial, symbols)

    print(target)
    print(symbols)
    print(write_checksums(out_dir))


if __name__ == "__main__":
    main()
