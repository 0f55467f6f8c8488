#!/usr/bin/env python3
"""The release archives as a Windows user receives them, checked by outside readers.

Usage: release_package_test.py SOURCE_DIR BUILD_DIR

Packs the build's programs twice with scripts/package_release.py into a temporary folder and
checks: Info-ZIP's unzip and Python's zipfile accept the archive; it holds exactly the folder
Tazu/ with the seven programs, 7-zip32.dll, README.txt and a licence text per third-party library;
README.txt is Windows text naming every program and telling how to check a download; and the two
packings are byte-identical. The shipped programs are the built ones without their debug
information: the same code, a debug link naming their file in the symbols archive with its CRC,
and that file turns an address into a source line. What would make two builds of one commit
differ is absent: every shipped program and debug file carries the commit's time in its PE
header, and no file of the release names the checkout or the build folder (the debug
information names the fixed /vantrel folders, and holds our code and libdeflate but no test
code). The build record names the commit, the tools and every shipped file's SHA-256;
SHA256SUMS lists both archives and the record, and scripts/reproduce-release.sh compares such
lists as it does after a rebuild. Last, a packing with a throw-away self-signed certificate
signs every program, as osslsigncode verifies.
"""
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

# The packer's own reader of the build's cache (the tools' paths, the version).
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
from package_release import cache_value  # noqa: E402

PROGRAMS = ["TazuHere.exe", "TazuHereZip.exe", "TazuRename.exe", "TazuThere.exe",
            "TazuThereZip.exe", "TazuSetting.exe", "TazuUAC.exe", "7-zip32.dll"]

failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what)


def pack(source_dir, build_dir, out_dir, environment=None, expect_success=True):
    """Runs the packing; returns (archive, symbols archive, build record, SHA256SUMS, messages)."""
    env = {k: v for k, v in os.environ.items() if not k.startswith("VANTREL_SIGN_")}
    env.update(environment or {})
    result = subprocess.run([sys.executable, os.path.join(source_dir, "scripts", "package_release.py"),
                             build_dir, out_dir, "test"], capture_output=True, text=True, env=env)
    if not expect_success:
        return result
    if result.returncode != 0:
        sys.exit("packaging failed: " + result.stderr + result.stdout)
    lines = result.stdout.split()
    if len(lines) != 4:
        sys.exit("packaging printed: " + result.stdout)
    return lines[0], lines[1], lines[2], lines[3], result.stderr


def section(tool, binary, name, work):
    """The bytes of one section, or None when the file has none of that name."""
    out = os.path.join(work, "section.bin")
    if os.path.exists(out):
        os.remove(out)
    dumped = subprocess.run([tool, f"--dump-section={name}={out}", binary, os.path.join(work, "scratch.bin")],
                            capture_output=True)
    if dumped.returncode != 0 or not os.path.exists(out):
        return None
    with open(out, "rb") as f:
        return f.read()


def section_names(objdump, binary):
    listing = subprocess.run([objdump, "-h", binary], check=True, capture_output=True, text=True).stdout
    return [m.group(1) for m in re.finditer(r"^\s*\d+\s+(\S+)", listing, re.M)]


def check_archive_and_readme(archive_path, licenses):
    unzip = subprocess.run(["unzip", "-t", archive_path], capture_output=True, text=True)
    check(unzip.returncode == 0, "unzip -t: " + unzip.stdout[-500:])
    with zipfile.ZipFile(archive_path) as archive:
        check(archive.testzip() is None, "zipfile finds a damaged entry")
        names = archive.namelist()
        expected = (["Tazu/"] + ["Tazu/" + p for p in PROGRAMS] + ["Tazu/README.txt"]
                    + ["Tazu/LICENSE-" + f for f in licenses])
        check(names == expected, f"entries {names}")
        for library in ("zlib", "libdeflate"):
            check(f"Tazu/LICENSE-{library}.txt" in names, f"no {library} licence")

        readme = archive.read("Tazu/README.txt")
        check(readme.startswith(b"\xef\xbb\xbf"), "README.txt has no byte-order mark")
        check(b"\n" not in readme.replace(b"\r\n", b""), "README.txt has a line end other than CR LF")
        text = readme.decode("utf-8-sig")
        check("@VERSION@" not in text, "README.txt keeps the version placeholder")
        for program in PROGRAMS:
            check(program.rsplit(".", 1)[0] in text, f"README.txt does not name {program}")
        check("%APPDATA%\\zevrald\\" in text, "README.txt does not say where the settings live")
        # How to check a download and what Windows says about it, in both languages.
        for words in ("SHA256SUMS", "certutil -hashfile", "Get-FileHash", "Windows protected your PC",
                      "More info", "Run anyway", "Unblock", "Windows によって PC が保護されました", "詳細情報",
                      "許可する"):
            check(words in text, f"README.txt does not say {words!r}")
        check(text.count("certutil -hashfile") == 2, "README.txt tells the checksum in one language only")
        check(text.count("scripts/reproduce-release.sh") == 2 and "buildinfo" in text,
              "README.txt does not tell in both languages how to check a download against the source")
        zlib_text = archive.read("Tazu/LICENSE-zlib.txt").decode("utf-8-sig")
        check("Jean-loup Gailly" in zlib_text and "altered" in zlib_text, "zlib licence text incomplete")


def check_stripped_with_symbols(build_dir, archive_path, symbols_path, work):
    """Each shipped program: the built code without debug information, linked to its .debug
    file in the symbols archive, which turns an address into a source line."""
    objcopy = cache_value(build_dir, "CMAKE_OBJCOPY")
    objdump = cache_value(build_dir, "CMAKE_OBJDUMP")
    with zipfile.ZipFile(symbols_path) as symbols:
        check(symbols.namelist() == ["Tazu/"] + [f"Tazu/{p}.debug" for p in PROGRAMS],
              f"symbols entries {symbols.namelist()}")
        symbols.extractall(os.path.join(work, "symbols"))
    with zipfile.ZipFile(archive_path) as archive:
        archive.extractall(os.path.join(work, "shipped"))
    for program in PROGRAMS:
        built = os.path.join(build_dir, "bin", program)
        shipped = os.path.join(work, "shipped", "Tazu", program)
        debug = os.path.join(work, "symbols", "Tazu", program + ".debug")
        shipped_sections = section_names(objdump, shipped)
        check(not [s for s in shipped_sections if s.startswith(".debug_")],
              f"{program} ships debug sections: {shipped_sections}")
        check(os.path.getsize(shipped) * 3 < os.path.getsize(built),
              f"{program}: shipped {os.path.getsize(shipped)} bytes of {os.path.getsize(built)} built")
        check(section(objcopy, shipped, ".text", work) == section(objcopy, built, ".text", work),
              f"{program}: the shipped code differs from the built code")
        check(".debug_info" in section_names(objdump, debug) and ".debug_line" in section_names(objdump, debug),
              f"{program}.debug lacks the debug information")
        link = section(objcopy, shipped, ".gnu_debuglink", work) or b""
        name_end = link.find(b"\0")
        crc_at = (name_end + 4) & ~3
        check(name_end > 0 and link[:name_end] == (program + ".debug").encode(),
              f"{program}: debug link names {link[:name_end]!r}")
        with open(debug, "rb") as f:
            crc = zlib.crc32(f.read())
        check(len(link) >= crc_at + 4 and struct.unpack("<I", link[crc_at:crc_at + 4])[0] == crc,
              f"{program}: the debug link's CRC is not that of its .debug file")

    unsigned = subprocess.run(["osslsigncode", "verify", "-in", os.path.join(work, "shipped", "Tazu", PROGRAMS[0])],
                              capture_output=True, text=True)
    check(unsigned.returncode != 0, "a program of the unsigned packing carries a signature")

    # A crash address in TazuHere's own code, read with the symbols file alone.
    debug = os.path.join(work, "symbols", "Tazu", "TazuHere.exe.debug")
    nm = cache_value(build_dir, "CMAKE_NM")
    symbols_listing = subprocess.run([nm, "-C", debug], check=True, capture_output=True, text=True).stdout
    match = re.search(r"^([0-9a-f]+) T RunCoreAction\(", symbols_listing, re.M)
    check(match is not None, "TazuHere.exe.debug has no symbol RunCoreAction")
    if match:
        address = f"0x{int(match.group(1), 16) + 4:x}"
        addr2line = cache_value(build_dir, "CMAKE_ADDR2LINE")
        where = subprocess.run([addr2line, "-f", "-C", "-e", debug, address], check=True, capture_output=True,
                               text=True).stdout
        check("RunCoreAction" in where and re.search(r"here_core\.cpp:\d+", where) is not None,
              f"address {address} of TazuHere reads as {where!r}")


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def check_checksums(out_dir, sums_path):
    files = sorted(f for f in os.listdir(out_dir) if f != "SHA256SUMS")
    with open(sums_path, "rb") as f:
        sums = f.read().decode("ascii")
    expected = "".join(f"{sha256(os.path.join(out_dir, name))}  {name}\n" for name in files)
    check(len(files) == 3 and files[2].endswith(".buildinfo") and sums == expected,
          f"SHA256SUMS reads {sums!r} for {files}")
    verify = subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=out_dir, capture_output=True, text=True)
    check(verify.returncode == 0, "sha256sum -c: " + verify.stdout + verify.stderr)


def source_time(source_dir):
    """The time every shipped PE header and archive entry carries: that of the last commit."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch:
        epoch = subprocess.run(["git", "-C", source_dir, "log", "-1", "--format=%ct"], check=True,
                               capture_output=True, text=True).stdout.strip()
    return int(epoch)


def pe_time_stamp(path):
    with open(path, "rb") as f:
        head = f.read(4096)
    pe_header = struct.unpack_from("<I", head, 0x3C)[0]
    if head[pe_header:pe_header + 4] != b"PE\0\0":
        return None
    return struct.unpack_from("<I", head, pe_header + 8)[0]


def compile_units(objdump, debug):
    """(name, folder) of each compile unit that a debug file describes."""
    listing = subprocess.run([objdump, "--dwarf=info", "--dwarf-depth=1", debug], check=True,
                             capture_output=True, text=True).stdout
    units = []
    for unit in listing.split("Compilation Unit @")[1:]:
        name = re.search(r"DW_AT_name\s*:.*?:?\s(\S+)\s*$", unit, re.M)
        folder = re.search(r"DW_AT_comp_dir\s*:.*?:?\s(\S+)\s*$", unit, re.M)
        units.append((name.group(1) if name else "", folder.group(1) if folder else ""))
    return units


def check_nothing_of_this_build(source_dir, build_dir, archive_path, symbols_path, record, work):
    """What would make two builds of one commit differ: the link time in a PE header, and the
    folders of this checkout and its build in any file of the release or of its debug files."""
    extracted = os.path.join(work, "determinism")
    for path in (archive_path, symbols_path):
        with zipfile.ZipFile(path) as archive:
            archive.extractall(extracted)
    expected_stamp = source_time(source_dir)
    for program in PROGRAMS:
        for name in (program, program + ".debug"):
            stamp = pe_time_stamp(os.path.join(extracted, "Tazu", name))
            check(stamp == expected_stamp, f"{name}: PE time stamp {stamp}, not the commit's {expected_stamp}")

    folders = {os.path.abspath(p) for p in (source_dir, build_dir)}
    folders |= {os.path.realpath(p) for p in folders}
    needles = [f.encode(encoding) for f in folders for encoding in ("utf-8", "utf-16-le")]
    files = [os.path.join(root, name) for root, _, names in os.walk(extracted) for name in names]
    for path in files + [record]:
        with open(path, "rb") as f:
            data = f.read()
        found = [n.decode("utf-8", "replace") for n in needles if n in data]
        check(not found, f"{os.path.relpath(path, work)} names this machine's folders {found}")

    # The debug information names our sources as they lie in a checkout at /vantrel, libdeflate's
    # below its build folder, and holds no test code.
    objdump = cache_value(build_dir, "CMAKE_OBJDUMP")
    expectations = {"TazuHere.exe": [r"/vantrel/commands/here/here_core\.cpp", r"/vantrel/common/settings\.cpp"],
                    "TazuUAC.exe": [r"/vantrel/uac/\w+\.cpp", r"/vantrel/registration/\w+\.cpp"],
                    "7-zip32.dll": [r"/vantrel/archiver/archive_writer\.cpp",
                                    r"/vantrel/build/third_party/libdeflate-[^/]+/lib/deflate_compress\.c"]}
    for program in PROGRAMS:
        units = compile_units(objdump, os.path.join(extracted, "Tazu", program + ".debug"))
        names = [name for name, _ in units]
        ours = [(name, folder) for name, folder in units if name.startswith("/vantrel/")]
        check(ours, f"{program}.debug names none of our sources: {names[:5]}")
        check(all(re.fullmatch(r"/vantrel/build/win(32|64)(/.*)?", folder) for _, folder in ours),
              f"{program}.debug: our sources compiled in {sorted({f for _, f in ours})}")
        check(not [n for n in names if "gtest" in n or "googletest" in n or "/tests/" in n],
              f"{program}.debug holds test code: {[n for n in names if 'test' in n]}")
        for pattern in expectations.get(program, []):
            check(any(re.fullmatch(pattern, name) for name in names), f"{program}.debug lacks {pattern}")


def check_build_record(source_dir, record, archives):
    """The record names the commit and its time, the tools, and every shipped file's SHA-256."""
    with open(record, encoding="utf-8") as f:
        text = f.read()
    commit = subprocess.run(["git", "-C", source_dir, "rev-parse", "HEAD"], check=True, capture_output=True,
                            text=True).stdout.strip()
    check(f"\nCommit: {commit}\n" in text, f"the build record does not name commit {commit}")
    check(f"\nSource-Date-Epoch: {source_time(source_dir)} (" in text, "the build record names another time")
    for words in ("Build-System: Debian GNU/Linux", "Libdeflate-Source: libdeflate ", "GNU ld (GNU Binutils)",
                  "cmake version", "(GCC)", "Debian-Packages:\n binutils-mingw-w64-", "\n cmake (= "):
        check(words in text, f"the build record does not say {words!r}")
    for archive_path in archives:
        name = os.path.basename(archive_path)
        check(f"\n {sha256(archive_path)}  {name}\n" in text, f"the build record lacks the SHA-256 of {name}")
        with zipfile.ZipFile(archive_path) as archive:
            for info in archive.infolist():
                if not info.is_dir():
                    line = f"\n {hashlib.sha256(archive.read(info)).hexdigest()}  {info.filename}\n"
                    check(line in text, f"the build record lacks the SHA-256 of {name}: {info.filename}")


def check_reproduction_verdicts(source_dir, work):
    """scripts/reproduce-release.sh's verdict on a rebuild (here: the second packing, which it
    takes instead of building) against the release as SHA256SUMS or as a renamed download."""
    script = os.path.join(source_dir, "scripts", "reproduce-release.sh")
    release, rebuild = os.path.join(work, "a"), os.path.join(work, "b")

    def verdict(reference, built):
        env = dict(os.environ, VANTREL_REPRODUCE_BUILT=built)
        result = subprocess.run([script, "HEAD", reference], capture_output=True, text=True, env=env)
        return result.returncode, result.stdout + result.stderr

    status, output = verdict(os.path.join(release, "SHA256SUMS"), rebuild)
    check(status == 0 and "reproduced: 3 of 3 files identical" in output, f"identical rebuild: {status} {output}")
    download = os.path.join(work, "download (1).zip")
    zip_name = [n for n in os.listdir(release) if n.endswith("-test.zip")][0]
    shutil.copyfile(os.path.join(release, zip_name), download)
    status, output = verdict(download, rebuild)
    check(status == 0 and "reproduced: 1 of 1 files identical" in output, f"renamed download: {status} {output}")

    # A rebuild whose program archive differs, and one whose build record alone differs.
    with open(os.path.join(rebuild, "SHA256SUMS"), encoding="ascii") as f:
        sums = f.read()
    record_name = [n for n in os.listdir(rebuild) if n.endswith(".buildinfo")][0]
    with open(os.path.join(rebuild, record_name), encoding="utf-8") as f:
        record = f.read()
    for case, changed_name in (("archive", zip_name), ("record", record_name)):
        changed = os.path.join(work, "rebuild-" + case)
        os.makedirs(changed)
        other_sum = "0" * 64
        with open(os.path.join(changed, "SHA256SUMS"), "w", encoding="ascii") as f:
            f.write(re.sub(r"^\w{64}(?=  " + re.escape(changed_name) + "$)", other_sum, sums, flags=re.M))
        with open(os.path.join(changed, record_name), "w", encoding="utf-8") as f:
            f.write(record if case == "archive" else record.replace("\nTools:\n", "\nTools:\n another compiler 99\n"))
        status, output = verdict(os.path.join(release, "SHA256SUMS"), changed)
        if case == "archive":
            check(status == 1 and f"DIFFERS         {zip_name}" in output and "1 of 3 files differ" in output,
                  f"rebuild with another archive: {status} {output}")
        else:
            check(status == 3 and "+ another compiler 99" in output and "archives are identical" in output,
                  f"rebuild with another record: {status} {output}")


def check_signing(source_dir, build_dir, work):
    """With a certificate and key in the environment every shipped program carries an
    Authenticode signature with SHA-256 that osslsigncode verifies against that certificate."""
    cert = os.path.join(work, "signer.pem")
    key = os.path.join(work, "signer.key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=Vantrel throw-away test signer", "-addext", "extendedKeyUsage=codeSigning",
                    "-keyout", key, "-out", cert], check=True, capture_output=True)

    half = pack(source_dir, build_dir, os.path.join(work, "half"), {"VANTREL_SIGN_CERT": cert},
                expect_success=False)
    check(half.returncode != 0 and "VANTREL_SIGN_KEY" in half.stderr,
          "a certificate without its key did not stop the packing: " + half.stderr)

    archive_path, _, _, _, messages = pack(source_dir, build_dir, os.path.join(work, "signed"),
                                        {"VANTREL_SIGN_CERT": cert, "VANTREL_SIGN_KEY": key})
    check("signed 8 files" in messages and "unsigned" not in messages, "signed packing said: " + messages)
    objdump = cache_value(build_dir, "CMAKE_OBJDUMP")
    with zipfile.ZipFile(archive_path) as archive:
        archive.extractall(os.path.join(work, "signed-files"))
    for program in PROGRAMS:
        binary = os.path.join(work, "signed-files", "Tazu", program)
        verify = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", binary],
                                capture_output=True, text=True)
        output = verify.stdout + verify.stderr
        check(verify.returncode == 0 and "Signature verification: ok" in output,
              f"{program}: osslsigncode verify: {output[-800:]}")
        check(re.search(r"Message digest algorithm\s*:\s*SHA256", output) is not None,
              f"{program}: not signed with SHA-256: {output[-800:]}")
        check(".gnu_debuglink" in section_names(objdump, binary), f"{program}: signing lost the debug link")


def main():
    source_dir, build_dir = sys.argv[1:3]
    licenses = sorted(f for f in os.listdir(os.path.join(build_dir, "licenses")) if f.endswith(".txt"))
    for tool in ("osslsigncode", "openssl", "unzip", "sha256sum"):
        if not shutil.which(tool):
            sys.exit(f"{tool} is not installed (scripts/setup.sh installs it)")
    with tempfile.TemporaryDirectory() as work:
        first, symbols, record, sums, messages = pack(source_dir, build_dir, os.path.join(work, "a"))
        pack(source_dir, build_dir, os.path.join(work, "b"))
        check(os.path.basename(first).startswith("vantrel-") and first.endswith("-test.zip"),
              f"archive name {os.path.basename(first)}")
        check(symbols == first[:-len(".zip")] + "-symbols.zip", f"symbols archive name {symbols}")
        check(record == os.path.join(os.path.dirname(first), f"vantrel-{cache_value(build_dir, 'CMAKE_PROJECT_VERSION')}.buildinfo"),
              f"build record name {record}")
        check("unsigned" in messages, "an unsigned packing does not say so: " + messages)
        for name in sorted(os.listdir(os.path.join(work, "a"))):
            check(sha256(os.path.join(work, "a", name)) == sha256(os.path.join(work, "b", name)),
                  f"two packings of the same build differ in {name}")

        check_archive_and_readme(first, licenses)
        check_stripped_with_symbols(build_dir, first, symbols, work)
        check_nothing_of_this_build(source_dir, build_dir, first, symbols, record, work)
        check_build_record(source_dir, record, [first, symbols])
        check_checksums(os.path.dirname(first), sums)
        check_reproduction_verdicts(source_dir, work)
        check_signing(source_dir, build_dir, work)

    if failures:
        sys.exit(f"{len(failures)} check(s) failed")
    print("release archives ok")


if __name__ == "__main__":
    main()
