#!/usr/bin/env python3
"""Archives written by 7-zip32.dll (through archiver_driver under Wine), checked by readers we
did not write: unzip -t, 7zz t and Python's zipfile (names, sizes, CRCs and, after extraction,
the bytes). One case per run: check_archives.py CASE BUILD_DIR WINE_RUN DRIVER_EXE.
Exit 0 pass, 1 fail, 77 skipped (with the reason printed)."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile
import zlib

SKIP = 77
ARCHIVER_OK = 0
ARCHIVER_ERROR_WRITE = 0x8015
ARCHIVER_ERROR_LINK_LOOP = 0x8017


class Fail(Exception):
    pass


def check(cond, what):
    if not cond:
        raise Fail(what)


def win(path):
    return "Z:" + path.replace("/", "\\")


class Env:
    def __init__(self, build_dir, wine_run, driver):
        self.build_dir, self.wine_run, self.driver = build_dir, wine_run, driver

    def driver_cmd(self, *args):
        return [self.wine_run, self.build_dir, self.driver] + list(args)

    def add(self, archive, items, *options):
        """Runs the driver's add; returns (result code, output text)."""
        cmd = self.driver_cmd("add", "--hide", *options, win(archive), *[win(i) for i in items])
        p = subprocess.run(cmd, capture_output=True, timeout=900)
        out = p.stdout.decode("utf-8", "replace")
        for line in out.splitlines():
            if line.startswith("result=0x"):
                return int(line[len("result=0x"):], 16), out
        raise Fail("driver gave no result: rc=%d out=%r err=%r" % (p.returncode, out, p.stderr[-2000:]))


def outside_readers_accept(archive):
    u = subprocess.run(["unzip", "-tqq", archive], capture_output=True)
    check(u.returncode == 0, "unzip -t refused %s: %s" % (archive, (u.stdout + u.stderr)[-1500:]))
    s = subprocess.run(["7zz", "t", archive], capture_output=True)
    text = s.stdout.decode("utf-8", "replace")
    check(s.returncode == 0 and "Everything is Ok" in text and "Warning" not in text,
          "7zz t refused %s: %s" % (archive, text[-1500:]))
    with zipfile.ZipFile(archive) as z:
        bad = z.testzip()
        check(bad is None, "zipfile: bad CRC in %s" % bad)


def expected_entries(root_items):
    """Archive names -> ('dir', None) or ('file', path), as the items should appear."""
    want = {}
    for item in root_items:
        base = os.path.basename(item.rstrip("/"))
        if os.path.isdir(item):
            want[base + "/"] = ("dir", item)
            for dirpath, dirnames, filenames in os.walk(item, followlinks=True):
                rel = os.path.relpath(dirpath, os.path.dirname(item))
                for d in dirnames:
                    want[rel + "/" + d + "/"] = ("dir", os.path.join(dirpath, d))
                for f in filenames:
                    want[rel + "/" + f] = ("file", os.path.join(dirpath, f))
        else:
            want[base] = ("file", item)
    return want


def contents_match(archive, root_items, workdir):
    want = expected_entries(root_items)
    with zipfile.ZipFile(archive) as z:
        infos = z.infolist()
        names = [i.filename for i in infos]
        check(len(names) == len(set(names)), "duplicate names")
        check(set(names) == set(want), "entries differ: missing %s extra %s" % (
            sorted(set(want) - set(names))[:5], sorted(set(names) - set(want))[:5]))
        for info in infos:
            kind, src = want[info.filename]
            check(info.flag_bits & 0x800, "%s: UTF-8 flag (bit 11) missing" % info.filename)
            if kind == "dir":
                check(info.external_attr & 0x10, "%s: folder attribute missing" % info.filename)
                continue
            data = open(src, "rb").read()
            check(info.file_size == len(data), "%s: size %d, file has %d" % (info.filename, info.file_size, len(data)))
            check(info.CRC == zlib.crc32(data), "%s: CRC differs" % info.filename)
            if info.compress_type == zipfile.ZIP_DEFLATED:
                check(info.compress_size < info.file_size, "%s: deflated but did not shrink" % info.filename)
        out = os.path.join(workdir, "extracted")
        z.extractall(out)
    for name, (kind, src) in want.items():
        path = os.path.join(out, name)
        if kind == "dir":
            check(os.path.isdir(path), "extracted folder missing: " + name)
        else:
            check(open(path, "rb").read() == open(src, "rb").read(), "extracted bytes differ: " + name)
    shutil.rmtree(out)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def text_bytes(n, seed):
    words = [b"backup", b"archive", b"folder", b"Vantrel", b"zip", b"deflate", b"%d" % seed, b"\n", b"data"]
    # One pseudo-random page of words, repeated with a varying line number: compressible, not trivial.
    page, i, length = [], seed, 0
    while length < 65536:
        i = (i * 1103515245 + 12345) & 0x7FFFFFFF
        word = words[i % len(words)] + b" "
        page.append(word)
        length += len(word)
    page = b"".join(page)
    out = bytearray()
    line = 0
    while len(out) < n:
        out += b"%d " % line + page[line % 4096:]
        line += 1
    return bytes(out[:n])


def case_tree(env, work):
    src = os.path.join(work, "Project")
    write(os.path.join(src, "empty.txt"), b"")
    os.makedirs(os.path.join(src, "empty folder"))
    write(os.path.join(src, "a", "b", "c", "deep.txt"), b"deep\n" * 100)
    os.makedirs(os.path.join(src, "a", "b", "empty inside"))
    write(os.path.join(src, "日本語のフォルダ", "報告書.txt"), "こんにちは\n".encode() * 500)
    write(os.path.join(src, "emoji 😀🎉.txt"), "😀".encode() * 1000)
    write(os.path.join(src, "big text.log"), text_bytes(5 * 1024 * 1024 + 12345, 7))   # several blocks
    write(os.path.join(src, "random.bin"), os.urandom(3 * 1024 * 1024 + 5))          # stored fallback
    write(os.path.join(src, "exact block.bin"), text_bytes(1024 * 1024, 3))         # largest whole file
    write(os.path.join(src, "just over.bin"), text_bytes(1024 * 1024 + 1, 4))       # two blocks, the last of one byte
    write(os.path.join(src, "small random.bin"), os.urandom(1000))                  # stored, one block
    single = os.path.join(work, "report 2024.txt")
    write(single, text_bytes(20000, 11))
    rows = [
        ("folder, all cores", [src], []),
        ("folder, one thread", [src], ["--mmt", "off"]),
        ("folder, stored (-mx0)", [src], ["--mx", "0"]),
        ("folder, best (-mx9), three threads", [src], ["--mx", "9", "--mmt", "3"]),
        ("single file", [single], []),
        ("empty file alone", [os.path.join(src, "empty.txt")], []),
        ("empty folder alone", [os.path.join(src, "empty folder")], []),
        ("two items", [single, os.path.join(src, "a")], []),
    ]
    for i, (label, items, options) in enumerate(rows):
        archive = os.path.join(work, "out%d.zip" % i)
        try:
            rc, out = env.add(archive, items, *options)
            check(rc == ARCHIVER_OK, "result 0x%x: %s" % (rc, out))
            outside_readers_accept(archive)
            contents_match(archive, items, work)
            check(sorted(os.listdir(work)) == sorted(["Project", "report 2024.txt"] + ["out%d.zip" % k for k in range(i + 1)]),
                  "stray files beside the archive: %s" % os.listdir(work))
            if "-mx0" in label:
                with zipfile.ZipFile(archive) as z:
                    check(all(i.compress_type == zipfile.ZIP_STORED for i in z.infolist()), "-mx0 must store")
        except Fail as e:
            raise Fail("%s: %s" % (label, e))
    # The same folder gives the same bytes from run to run (the first run moved the files' access
    # times) and whatever the thread count and timing: a thread per core, one thread, three.
    first = open(os.path.join(work, "out0.zip"), "rb").read()
    for label, options in (("again", []), ("one thread", ["--mmt", "off"]), ("three threads", ["--mmt", "3"])):
        again = os.path.join(work, "again.zip")
        rc, out = env.add(again, [src], *options)
        check(rc == ARCHIVER_OK, "%s: result 0x%x: %s" % (label, rc, out))
        data = open(again, "rb").read()
        os.remove(again)
        if data != first:
            at = next((i for i in range(min(len(data), len(first))) if data[i] != first[i]), min(len(data), len(first)))
            raise Fail("%s: archive differs from the first run at byte %d (%d vs %d bytes)" % (label, at, len(data), len(first)))


def case_existing_archive(env, work):
    src = os.path.join(work, "item.txt")
    write(src, b"new content\n")
    archive = os.path.join(work, "exists.zip")
    write(archive, b"not to be touched")
    rc, out = env.add(archive, [src])
    check(rc == 0x8013, "existing archive: result 0x%x: %s" % (rc, out))
    check(open(archive, "rb").read() == b"not to be touched", "existing archive was modified")
    check(sorted(os.listdir(work)) == ["exists.zip", "item.txt"], "stray files: %s" % os.listdir(work))


def case_held_open(env, work):
    log = os.path.join(work, "service.log")
    write(log, text_bytes(2 * 1024 * 1024, 5))
    holder = subprocess.Popen(env.driver_cmd("hold", win(log)), stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    try:
        check(holder.stdout.readline().strip() == b"held", "holder did not open the file")
        probe = subprocess.run(env.driver_cmd("probe", win(log)), capture_output=True)
        check(probe.returncode == 1, "the holder's write access does not block a read-only-sharing open: %r" % probe.stdout)
        archive = os.path.join(work, "log.zip")
        rc, out = env.add(archive, [log])
        check(rc == ARCHIVER_OK, "held file: result 0x%x: %s" % (rc, out))
        outside_readers_accept(archive)
        contents_match(archive, [log], work)
        with zipfile.ZipFile(archive) as z:
            check(z.read("service.log").endswith(b"appended by the holder\n"), "holder's bytes missing")
    finally:
        holder.stdin.close()
        holder.wait(timeout=60)


def case_disk_full(env, work):
    mnt = os.path.join(work, "small drive")
    os.makedirs(mnt)
    m = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", mnt], capture_output=True)
    if m.returncode != 0:
        print("SKIP: cannot mount a small tmpfs here (%s)" % m.stderr.decode().strip())
        return SKIP
    try:
        src = os.path.join(work, "incompressible.bin")
        write(src, os.urandom(4 * 1024 * 1024))
        archive = os.path.join(mnt, "full.zip")
        rc, out = env.add(archive, [src])
        check(rc == ARCHIVER_ERROR_WRITE, "disk full: result 0x%x: %s" % (rc, out))
        check(os.listdir(mnt) == [], "left on the full drive: %s" % os.listdir(mnt))
        # A small archive still fits afterwards: the space was given back.
        small = os.path.join(work, "small.txt")
        write(small, b"fits\n" * 100)
        rc, out = env.add(os.path.join(mnt, "small.zip"), [small])
        check(rc == ARCHIVER_OK, "after disk full: result 0x%x: %s" % (rc, out))
        outside_readers_accept(os.path.join(mnt, "small.zip"))
    finally:
        subprocess.run(["umount", mnt])
    return 0


def central_records(archive):
    """(name, local header offset, zip64 extra data or None) of every central directory record."""
    with open(archive, "rb") as f:
        f.seek(-22, 2)
        end = f.read(22)
        count, size, offset = struct.unpack_from("<HII", end, 10)
        if offset == 0xFFFFFFFF:
            f.seek(-22 - 20, 2)
            locator = f.read(20)
            f.seek(struct.unpack_from("<Q", locator, 8)[0])
            record = f.read(56)
            count, size, offset = struct.unpack_from("<QQQ", record, 32)
        f.seek(offset)
        raw = f.read(size)
    out, p = [], 0
    while p < len(raw):
        name_len, extra_len, comment_len = struct.unpack_from("<HHH", raw, p + 28)
        header_offset = struct.unpack_from("<I", raw, p + 42)[0]
        name = raw[p + 46:p + 46 + name_len].decode("utf-8")
        extra, q, zip64 = raw[p + 46 + name_len:p + 46 + name_len + extra_len], 0, None
        while q + 4 <= len(extra):
            tag, length = struct.unpack_from("<HH", extra, q)
            if tag == 1:
                zip64 = extra[q + 4:q + 4 + length]
            q += 4 + length
        out.append((name, header_offset, zip64))
        p += 46 + name_len + extra_len + comment_len
    return out


def case_big_file(env, work):
    # Over 4 GiB, sparse: zip64 sizes. Data at the start, across the 4 GiB line and at the end.
    folder = os.path.join(work, "disk")
    os.makedirs(folder)
    big = os.path.join(folder, "huge.img")
    size = 4 * 1024 ** 3 + 3 * 1024 * 1024 + 17
    marks = {0: text_bytes(300000, 1), 2 ** 32 - 1000: text_bytes(5000, 2), size - 4096: os.urandom(4096)}
    with open(big, "wb") as f:
        f.truncate(size)
        for off, data in marks.items():
            f.seek(off)
            f.write(data)
    archive = os.path.join(work, "huge.zip")
    rc, out = env.add(archive, [big], "--mx", "1")
    check(rc == ARCHIVER_OK, "big file: result 0x%x: %s" % (rc, out))
    outside_readers_accept(archive)
    with zipfile.ZipFile(archive) as z:
        (info,) = z.infolist()
        check(info.filename == "huge.img" and info.file_size == size, "name/size: %s %d" % (info.filename, info.file_size))
        crc, seen, found = 0, 0, {}
        with z.open(info) as f:
            while True:
                chunk = f.read(16 << 20)
                if not chunk:
                    break
                for off, data in marks.items():
                    if seen <= off < seen + len(chunk):
                        found[off] = chunk[off - seen:off - seen + len(data)]
                crc = zlib.crc32(chunk, crc)
                seen += len(chunk)
        check(seen == size and crc == info.CRC, "extracted size or CRC differs")
        for off, data in marks.items():
            check(found.get(off, b"")[:len(data)] == data[:len(found.get(off, b""))], "bytes at %d differ" % off)
    raw = open(archive, "rb").read(64)
    check(struct.unpack_from("<I", raw, 18)[0] == 0xFFFFFFFF, "local header sizes should point to zip64")
    os.remove(archive)

    # Stored, the file puts the entry after it past 4 GiB in the archive: that entry's offset
    # needs a zip64 field of its own.
    write(os.path.join(folder, "zz after.txt"), b"after the big one\n")
    archive = os.path.join(work, "stored.zip")
    rc, out = env.add(archive, [folder], "--mx", "0")
    check(rc == ARCHIVER_OK, "stored big file: result 0x%x: %s" % (rc, out))
    outside_readers_accept(archive)
    records = central_records(archive)
    check([r[0] for r in records] == ["disk/", "disk/huge.img", "disk/zz after.txt"], "entries %s" % records)
    _, low_offset, zip64 = records[2]
    check(low_offset == 0xFFFFFFFF and zip64 is not None and len(zip64) == 8,
          "the entry after the big file needs its offset in a zip64 field: %r %r" % (low_offset, zip64))
    real_offset = struct.unpack("<Q", zip64)[0]
    check(real_offset > size, "offset %d" % real_offset)
    with open(archive, "rb") as f:
        f.seek(real_offset)
        check(f.read(4) == b"PK\x03\x04", "no local header at the zip64 offset")
    with zipfile.ZipFile(archive) as z:
        check(z.read("disk/zz after.txt") == b"after the big one\n", "the file after the big one")
        check(z.getinfo("disk/huge.img").file_size == size, "stored size")


def case_links(env, work):
    # Under Wine a Unix symbolic link to a folder is a folder with the reparse-point attribute, as
    # a junction or a folder symbolic link is on Windows.
    shared = os.path.join(work, "Shared")
    write(os.path.join(shared, "common.txt"), b"shared by two projects\n" * 50)
    write(os.path.join(shared, "deeper", "notes.txt"), b"notes\n")
    src = os.path.join(work, "Project")
    write(os.path.join(src, "own.txt"), b"own file\n")
    os.symlink(shared, os.path.join(src, "linked shared"))
    os.makedirs(os.path.join(src, "sub"))
    os.symlink(os.path.join("..", "own.txt"), os.path.join(src, "sub", "file link.txt"))
    archive = os.path.join(work, "linked.zip")
    rc, out = env.add(archive, [src])
    check(rc == ARCHIVER_OK, "links: result 0x%x: %s" % (rc, out))
    outside_readers_accept(archive)
    contents_match(archive, [src], work)
    with zipfile.ZipFile(archive) as z:
        check(z.read("Project/linked shared/deeper/notes.txt") == b"notes\n", "the link's target was not archived")

    # The folder the run starts from is itself a link: its target's contents, under its name.
    alias = os.path.join(work, "Alias")
    os.symlink(src, alias)
    rc, out = env.add(os.path.join(work, "alias.zip"), [alias])
    check(rc == ARCHIVER_OK, "item that is a link: result 0x%x: %s" % (rc, out))
    with zipfile.ZipFile(os.path.join(work, "alias.zip")) as z:
        check("Alias/linked shared/common.txt" in z.namelist(), "item link not followed: %s" % z.namelist()[:5])
    os.remove(os.path.join(work, "alias.zip"))

    # The archive written into the tree, directly and through a link to its folder: the run does
    # not take in its own temporary file.
    backups = os.path.join(work, "Backups")
    os.makedirs(backups)
    os.symlink(backups, os.path.join(src, "to backups"))
    for label, archive in (("inside the item", os.path.join(src, "sub", "inner.zip")),
                           ("through a link", os.path.join(backups, "linked.zip"))):
        rc, out = env.add(archive, [src])
        check(rc == ARCHIVER_OK, "%s: result 0x%x: %s" % (label, rc, out))
        with zipfile.ZipFile(archive) as z:
            names = z.namelist()
        check(not [n for n in names if n.endswith(".part")], "%s: the archive took in its own temporary file: %s" % (
            label, [n for n in names if n.endswith(".part")]))
        check("Project/own.txt" in names, "%s: %s" % (label, names[:5]))
        os.remove(archive)
    os.remove(os.path.join(src, "to backups"))

    # Links back into a folder being archived would never end: an error, and nothing written.
    rows = [
        ("link to its own folder", os.path.join(src, "sub", "self"), os.path.join(src, "sub")),
        ("link to the item", os.path.join(src, "sub", "up"), src),
        ("link to the item's parent", os.path.join(shared, "deeper", "top"), work),
    ]
    for label, link, target in rows:
        os.symlink(target, link)
        try:
            before = sorted(os.listdir(work))
            rc, out = env.add(os.path.join(work, "loop.zip"), [src])
            check(rc == ARCHIVER_ERROR_LINK_LOOP, "%s: result 0x%x: %s" % (label, rc, out))
            check("A folder link leads back into a folder being archived: " in out, "%s: text %r" % (label, out))
            check(sorted(os.listdir(work)) == before, "%s: left %s" % (label, sorted(set(os.listdir(work)) - set(before))))
        except Fail as e:
            raise Fail("%s: %s" % (label, e))
        finally:
            os.remove(link)


def case_many_files(env, work):
    src = os.path.join(work, "many")
    os.makedirs(src)
    count = 65536 + 10
    for i in range(count):
        with open(os.path.join(src, "f%05d.txt" % i), "wb") as f:
            f.write(b"%d\n" % i)
    archive = os.path.join(work, "many.zip")
    rc, out = env.add(archive, [src], "--mx", "1")
    check(rc == ARCHIVER_OK, "many files: result 0x%x: %s" % (rc, out))
    outside_readers_accept(archive)
    with zipfile.ZipFile(archive) as z:
        infos = z.infolist()
        check(len(infos) == count + 1, "entry count %d" % len(infos))
        check(infos[0].filename == "many/", "first entry " + infos[0].filename)
        for i in (0, 1, 65534, 65535, count - 1):
            check(z.read("many/f%05d.txt" % i) == b"%d\n" % i, "content of file %d" % i)
    tail = open(archive, "rb").read()[-22:]
    check(struct.unpack_from("<H", tail, 10)[0] == 0xFFFF, "end record count should point to zip64")


CASES = {
    "tree": case_tree,
    "existing_archive": case_existing_archive,
    "held_open": case_held_open,
    "disk_full": case_disk_full,
    "big_file": case_big_file,
    "links": case_links,
    "many_files": case_many_files,
}


def main():
    case, build_dir, wine_run, driver = sys.argv[1:5]
    env = Env(build_dir, wine_run, driver)
    work = tempfile.mkdtemp(prefix="vantrel-archiver-%s-" % case, dir="/tmp")
    # Wine winds its session down when no program runs for a moment and the next start then
    # takes seconds: one waiting program keeps it up between the calls.
    keeper = subprocess.Popen(env.driver_cmd("wait"), stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    keeper.stdout.readline()
    try:
        rc = CASES[case](env, work) or 0
        if rc == SKIP:
            return SKIP
        print("PASS", case)
        return 0
    except Fail as e:
        print("FAIL %s: %s" % (case, e))
        return 1
    finally:
        keeper.stdin.close()
        keeper.wait(timeout=60)
        subprocess.run(["umount", os.path.join(work, "small drive")], capture_output=True)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
