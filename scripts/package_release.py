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

OUT_DIR/vantrel-<version>.buildinfo records what built them: the commit and its date, the tools
and the Debian packages they come from, libdeflate's source package, and the SHA-256 of every file
in both archives. Last, OUT_DIR/SHA256SUMS lists the SHA-256 of the two archives and the build
record (sha256sum's format).

Unsigned, the same commit gives the same bytes: the build names no folder of the machine (see the
top CMakeLists.txt), every shipped program's PE header and every archive entry carry the time of
the last commit (or SOURCE_DATE_EPOCH), and everything is written in a fixed order.
"""
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile
import zlib

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


def cache_value(build_dir, name, required=True):
    with open(os.path.join(build_dir, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            match = re.match(name + r":\w+=(.*)$", line.rstrip("\n"))
            if match and (match.group(1) or not required):
                return match.group(1)
    if not required:
        return ""
    sys.exit(f"package_release: no {name} in {build_dir}/CMakeCache.txt")


def project_version(build_dir):
    return cache_value(build_dir, "CMAKE_PROJECT_VERSION")


def run(command, environment=None):
    result = subprocess.run(command, capture_output=True, text=True, env=environment)
    if result.returncode != 0:
        sys.exit(f"package_release: {' '.join(command)} failed:\n{result.stdout}{result.stderr}")
    return result.stdout


def split_debug(objcopy, stage, program, epoch):
    """Moves the program's debug information and symbols into <program>.debug beside it and
    links to it. Both files carry the given time in their PE header."""
    binary = os.path.join(stage, program)
    debug = binary + ".debug"
    # objcopy stamps the PE files it writes with the time it runs unless told one. The linker
    # wrote none; the commit's time tells releases apart (debuggers and crash reports key a
    # module by its stamp and size) and is the same in every build of that commit.
    environment = dict(os.environ, SOURCE_DATE_EPOCH=str(epoch))
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


def sha256_file(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def write_checksums(out_dir, paths):
    """OUT_DIR/SHA256SUMS: one line per file of this release, as sha256sum writes it and
    sha256sum -c reads it. Files of other releases in OUT_DIR are not listed."""
    lines = [f"{sha256_file(path)}  {os.path.basename(path)}\n"
             for path in sorted(paths, key=os.path.basename)]
    target = os.path.join(out_dir, "SHA256SUMS")
    write_text(target, "".join(lines))
    return target


def write_text(target, text):
    with open(target + ".partial", "w", encoding="utf-8", newline="\n") as f:
        f.write(text)
    os.replace(target + ".partial", target)


def git(source_dir, *arguments):
    """A git command's output in the checkout, or None when it is no git checkout."""
    try:
        return subprocess.run(["git", "-C", source_dir] + list(arguments),
                              check=True, capture_output=True, text=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return None


def source_epoch(source_dir):
    """The time of the release's source: SOURCE_DATE_EPOCH, or else the last commit's."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH") or git(source_dir, "log", "-1", "--format=%ct")
    return int(epoch) if epoch else 315532800  # 1980-01-01, the first time a zip entry holds


def entry_time(epoch):
    return max(time.gmtime(epoch)[:6], (1980, 1, 1, 0, 0, 0))


def first_line(command):
    try:
        result = subprocess.run(command, capture_output=True, text=True)
    except OSError:
        return None
    lines = result.stdout.splitlines()
    return lines[0].strip() if result.returncode == 0 and lines else None


def debian_packages(files):
    """'package (= version)' of the Debian packages that hold the given files, sorted."""
    packages = set()
    for path in files:
        owner = first_line(["dpkg-query", "--search", path])
        if not owner and path.startswith("/usr/"):
            # A merged /usr: the package may know the file under /lib or /bin.
            owner = first_line(["dpkg-query", "--search", path[len("/usr"):]])
        if owner and ": " in owner and not owner.startswith("diversion"):
            packages.update(p.split(":")[0].strip() for p in owner.split(": ")[0].split(","))
    if not packages:
        return ["(none found: not built from Debian packages)"]
    listing = subprocess.run(["dpkg-query", "--show", "--showformat=${Package} (= ${Version})\\n"]
                             + sorted(packages), capture_output=True, text=True).stdout
    return sorted(listing.splitlines())


def toolchain_files(build_dir, signing):
    """The programs and libraries whose version shapes the release's bytes."""
    compiler = cache_value(build_dir, "VANTREL_C_COMPILER")
    cxx = cache_value(build_dir, "VANTREL_CXX_COMPILER")
    files = [compiler, cxx, shutil.which(cache_value(build_dir, "VANTREL_RC_COMPILER")),
             cache_value(build_dir, "CMAKE_OBJCOPY"), cache_value(build_dir, "CMAKE_COMMAND")]
    for driver, option in ((compiler, "-print-prog-name=cc1"), (cxx, "-print-prog-name=cc1plus"),
                           (cxx, "-print-prog-name=ld"), (cxx, "-print-prog-name=as"),
                           (cxx, "-print-file-name=libstdc++.a"), (cxx, "-print-file-name=libgcc.a"),
                           (cxx, "-print-file-name=libkernel32.a"), (cxx, "-print-file-name=libz.a")):
        found = first_line([driver, option])
        if found and os.path.isabs(found):
            files.append(os.path.realpath(found))
    # The Windows headers, found as the compiler finds them.
    headers = subprocess.run([compiler, "-E", "-H", "-x", "c", "-", "-o", os.devnull], input="#include <windows.h>\n",
                             capture_output=True, text=True).stderr.splitlines()
    files += [line.split(" ", 1)[1] for line in headers[:1] if line.startswith(". ")]
    # This packer's Python and the zlib it deflates the archives with.
    files.append(os.path.realpath(sys.executable))
    try:
        with open("/proc/self/maps", encoding="utf-8") as maps:
            files += sorted({line.split()[-1] for line in maps if "/libz.so" in line})
    except OSError:
        pass
    if signing is not None:
        files.append(shutil.which("osslsigncode"))
    return [f for f in files if f]


def utc_text(epoch):
    return time.strftime("%Y-%m-%d %H:%M:%S UTC", time.gmtime(epoch))


def os_release():
    try:
        with open("/etc/os-release", encoding="utf-8") as f:
            for line in f:
                if line.startswith("PRETTY_NAME="):
                    return line.split("=", 1)[1].strip().strip('"')
    except OSError:
        pass
    return "unknown"


def write_build_record(target, build_dir, source_dir, version, epoch, signing, archives):
    """The plain-text record of what built the release, for whoever rebuilds it. It holds nothing
    of the machine but its Debian release and package versions, so that it is reproduced too."""
    commit = git(source_dir, "rev-parse", "HEAD")
    commit_time = git(source_dir, "log", "-1", "--format=%ct")
    changes = git(source_dir, "status", "--porcelain")
    tree = {None: "unknown", "": "as committed"}.get(changes, "with changes that are not committed")
    cxx = cache_value(build_dir, "VANTREL_CXX_COMPILER")
    tools = [first_line([cache_value(build_dir, "VANTREL_C_COMPILER"), "--version"]),
             first_line([cxx, "--version"]),
             first_line([first_line([cxx, "-print-prog-name=ld"]) or "ld", "--version"]),
             first_line([cache_value(build_dir, "VANTREL_RC_COMPILER"), "--version"]),
             first_line([cache_value(build_dir, "CMAKE_COMMAND"), "--version"]),
             f"Python {sys.version.split()[0]} with zlib {zlib.ZLIB_RUNTIME_VERSION} (the archives)"]
    if signing is not None:
        tools.append(first_line(["osslsigncode", "--version"]))
    architecture = first_line(["dpkg", "--print-architecture"]) or "unknown"
    url = cache_value(build_dir, "VANTREL_PROJECT_URL", required=False)

    lines = ["Vantrel build record",
             "Format: 1",
             f"Version: {version}",
             f"Commit: {commit or 'unknown (not built from a git checkout)'}",
             f"Commit-Date: {utc_text(int(commit_time)) if commit_time else 'unknown'}",
             f"Source-Date-Epoch: {epoch} ({utc_text(epoch)}: the time in the programs' headers and the archives)",
             f"Source-Tree: {tree}",
             f"Project-URL: {url or '(none)'}",
             "Signed: " + ("no" if signing is None
                           else "yes (the signatures make the programs differ from any rebuild)"),
             f"Build-System: {os_release()}, {architecture}",
             f"Libdeflate-Source: {cache_value(build_dir, 'VANTREL_LIBDEFLATE_PACKAGE')} (Debian source package)",
             "Tools:"]
    lines += [" " + t for t in tools if t]
    lines.append("Debian-Packages:")
    lines += [" " + p for p in debian_packages(toolchain_files(build_dir, signing))]
    lines.append("Archives-Sha256:")
    lines += [f" {sha256_file(a)}  {os.path.basename(a)}" for a in archives]
    for archive_path in archives:
        lines.append(f"Files-Sha256 ({os.path.basename(archive_path)}):")
        with zipfile.ZipFile(archive_path) as archive:
            for info in archive.infolist():
                if not info.is_dir():
                    lines.append(f" {hashlib.sha256(archive.read(info)).hexdigest()}  {info.filename}")
    write_text(target, "\n".join(lines) + "\n")


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
    epoch = source_epoch(source_dir)
    when = entry_time(epoch)

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
            debug_files.append(split_debug(objcopy, stage, program, epoch))
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

    record = os.path.join(out_dir, f"vantrel-{version}.buildinfo")
    write_build_record(record, build_dir, source_dir, version, epoch, signing, [target, symbols])

    print(target)
    print(symbols)
    print(record)
    print(write_checksums(out_dir, [target, symbols, record]))


if __name__ == "__main__":
    main()
