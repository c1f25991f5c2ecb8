#!/usr/bin/env python3
"""Memory of a large central directory: qltool unzip against unzip, 7z and bsdtar.

Writes an archive of --entries central directory headers with short names, all pointing at one
small local entry (about 47 bytes of directory per entry: 450,000 entries make 21 MB), and has
every tool read its directory without extracting anything (qltool unzip with a mask that selects
nothing, unzip -l, 7z l, bsdtar -tf). Prints each tool's peak resident memory (GNU time's %M)
and ours as a multiple of the directory's bytes.

Target: memory proportional to the directory with a small constant (at most 2x plus the program).
Run: cmake --preset bench && cmake --build --preset bench --target bench_zip_directory
 or: python3 bench/zip_directory_bench.py --qltool build-bench/tools/qltool/qltool
"""
import argparse
import os
import shutil
import struct
import subprocess
import tempfile
import zlib


def write_archive(path, entries):
    data = b"x"
    name = b"a"
    crc = zlib.crc32(data)
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0x6000, 0x5A21, crc, 1, 1,
                        len(name), 0) + name + data
    central = bytearray()
    for i in range(entries):
        n = b"%x" % (i % 256)
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 0, 0x6000, 0x5A21, crc,
                               1, 1, len(n), 0, 0, 0, 0, 0x20, 0) + n
    count = min(entries, 0xFFFF)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(central), len(local), 0)
    with open(path, "wb") as f:
        f.write(local + central + end)
    return len(central)


def peak_kib(argv):
    r = subprocess.run(["/usr/bin/time", "-f", "%M"] + argv, stdout=subprocess.DEVNULL,
                       stderr=subprocess.PIPE, text=True)
    return int(r.stderr.strip().splitlines()[-1])


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--qltool", required=True)
    ap.add_argument("--entries", type=int, default=450000)
    args = ap.parse_args()
    with tempfile.TemporaryDirectory() as work:
        archive = os.path.join(work, "many.qlzip")
        directory = write_archive(archive, args.entries)
        out = os.path.join(work, "out")
        os.mkdir(out)
        print("%d entries, %d bytes of central directory, %d bytes in all"
              % (args.entries, directory, os.path.getsize(archive)))
        tools = [("qltool unzip", [args.qltool, "unzip", archive, out, "nothing-matches"])]
        if shutil.which("unzip"):
            tools.append(("unzip -l", ["unzip", "-qq", "-l", archive]))
        if shutil.which("7z"):
            tools.append(("7z l", ["7z", "l", "-tzip", archive]))
        if shutil.which("bsdtar"):
            tools.append(("bsdtar -tf", ["bsdtar", "-tf", archive]))
        base = peak_kib([args.qltool, "--help"])
        for name, argv in tools:
            kib = peak_kib(argv)
            line = "%-14s peak %7.1f MiB" % (name, kib / 1024)
            if name.startswith("qltool"):
                line += "  (%.2fx the directory above the program's own %.1f MiB)" % (
                    (kib - base) * 1024 / directory, base / 1024)
            print(line)


if __name__ == "__main__":
    main()
