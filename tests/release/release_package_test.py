#!/usr/bin/env python3
"""The release archives as a Windows user receives them, checked by outside readers.

Usage: release_package_test.py SOURCE_DIR BUILD_DIR

Packs the build's programs twice with scripts/package_release.py into a temporary folder and
checks: Info-ZIP's unzip and Python's zipfile accept the archive; it holds exactly the folder
Tazu/ with the seven programs, 7-zip32.dll, README.txt and a licence text per third-party library;
README.txt is Windows text naming every program and telling how to check a download; and the two
packings are byte-identical. The shipped programs are the built ones without their debug
information: the same code, a debug link naming their file in the symbols archive with its CRC,
and that file turns an address into a source line. SHA256SUMS lists every archive. Last, a
packing with a throw-away self-signed certificate signs every program, as osslsigncode verifies.
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
    """Runs the packing; returns (archive, symbols archive, SHA256SUMS, messages)."""
    env = {k: v for k, v in os.environ.items() if not k.startswith("VANTREL_SIGN_")}
    env.update(environment or {})
    result = subprocess.run([sys.executable, os.path.join(source_dir, "scripts", "package_release.py"),
                             build_dir, out_dir, "test"], capture_output=True, text=True, env=env)
    if not expect_success:
        return result
    if result.returncode != 0:
        sys.exit("packaging failed: " + result.stderr + result.stdout)
    lines = result.stdout.split()
    if len(lines) != 3:
        sys.exit("packaging printed: " + result.stdout)
    return lines[0], lines[1], lines[2], result.stderr


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


def check_checksums(out_dir, sums_path):
    archives = sorted(f for f in os.listdir(out_dir) if f.endswith(".zip"))
    with open(sums_path, "rb") as f:
        sums = f.read().decode("ascii")
    expected = ""
    for name in archives:
        with open(os.path.join(out_dir, name), "rb") as f:
            expected += f"{hashlib.sha256(f.read()).hexdigest()}  {name}\n"
    check(len(archives) == 2 and sums == expected, f"SHA256SUMS reads {sums!r} for {archives}")
    verify = subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=out_dir, capture_output=True, text=True)
    check(verify.returncode == 0, "sha256sum -c: " + verify.stdout + verify.stderr)


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

    archive_path, _, _, messages = pack(source_dir, build_dir, os.path.join(work, "signed"),
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
        first, symbols, sums, messages = pack(source_dir, build_dir, os.path.join(work, "a"))
        second, _, _, _ = pack(source_dir, build_dir, os.path.join(work, "b"))
        check(os.path.basename(first).startswith("vantrel-") and first.endswith("-test.zip"),
              f"archive name {os.path.basename(first)}")
        check(symbols == first[:-len(".zip")] + "-symbols.zip", f"symbols archive name {symbols}")
        check("unsigned" in messages, "an unsigned packing does not say so: " + messages)
        with open(first, "rb") as a, open(second, "rb") as b:
            check(a.read() == b.read(), "two packings of the same build differ")

        check_archive_and_readme(first, licenses)
        check_stripped_with_symbols(build_dir, first, symbols, work)
        check_checksums(os.path.dirname(first), sums)
        check_signing(source_dir, build_dir, work)

    if failures:
        sys.exit(f"{len(failures)} check(s) failed")
    print("release archives ok")


if __name__ == "__main__":
    main()
