#!/usr/bin/env python3
"""ZIP extraction side by side: qltool unzip against Info-ZIP unzip, 7-Zip and bsdtar.

Builds a package of mixed content (text, records, random bytes) of about --size-mb megabytes in
--files files, packs it with Info-ZIP `zip -r` (Deflate) and with 7-Zip as BZip2 and LZMA ZIPs,
then extracts each package with every tool, alternating the tools round by round. Prints the
median wall time, the ratio to each peer and each tool's peak resident memory (GNU time's %M).

Where the files land matters more than one would think: in a folder just deleted on a used
ext4, the inode allocator's work dominates (most of the time is in the kernel) and the tool that
runs right after a delete loses. With --fresh-fs (as root) every extraction gets the same target:
an ext4 image made and loop-mounted for that one run, outside the timed part. Without it the
target is a fresh folder on the --work disk.

Targets: Deflate no slower than `unzip -qo` (ratio <= 1.0); BZip2 and LZMA within 1.1x of
`7z x`; peak memory under 32 MB.
Run: cmake --preset bench && cmake --build --preset bench --target bench_zip
 or: python3 bench/zip_extract_bench.py --qltool build-bench/tools/qltool/qltool --work /var/tmp/zb
     [--fresh-fs]
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

WORDS = ("update version company script trigger INSERT INTO VALUES SELECT FROM WHERE Quillora "
         "fattura cliente articolo magazzino 0 1 2 3 4 5 6 7 8 9 ; , ( ) \r\n").split(" ")


def make_tree(root, size_mb, files, seed=1):
    rng = random.Random(seed)
    text = " ".join(rng.choice(WORDS) for _ in range(400000)).encode()
    records = b"".join(b"%08d;%-20s;%12.2f;%s\r\n" % (i, rng.choice(WORDS).encode(), rng.random() * 1e6,
                                                     b"Y" if i % 3 else b"N") for i in range(40000))
    total = size_mb * 1024 * 1024
    mean = total // files
    made = 0
    for i in range(files):
        folder = os.path.join(root, "1.2.3", "dir%02d" % (i % 40), "sub%d" % (i % 7))
        os.makedirs(folder, exist_ok=True)
        size = max(1, min(int(rng.expovariate(1.0 / mean)), 20 * mean, total - made if i == files - 1 else total))
        kind = i % 3
        if kind == 0:
            start = rng.randrange(0, len(text) - 1)
            data = (text[start:] + text) [:size]
            while len(data) < size:
                data += text[: size - len(data)]
        elif kind == 1:
            start = rng.randrange(0, len(records) - 1)
            data = (records[start:] + records)[:size]
            while len(data) < size:
                data += records[: size - len(data)]
        else:
            data = rng.randbytes(size)
        with open(os.path.join(folder, "f%05d.%s" % (i, ("txt", "csv", "bin")[kind])), "wb") as f:
            f.write(data)
        made += size
    return made


def run_measured(argv):
    """Wall seconds, CPU seconds (user + system) and peak RSS (KiB) of one child process. GNU time
    reports them: a child forked from this interpreter would count the interpreter's own pages."""
    with tempfile.NamedTemporaryFile("r") as report:
        start = time.perf_counter()
        code = subprocess.call(["/usr/bin/time", "-q", "-f", "%U %S %M", "-o", report.name] + argv,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wall = time.perf_counter() - start
        if code != 0:
            sys.exit("%s failed with %d" % (" ".join(argv), code))
        user, system, rss = report.read().split()[-3:]
        return wall, float(user) + float(system), int(rss)


def tools_for(qltool, package, out):
    return {
        "qltool unzip": [qltool, "unzip", package, out],
        "unzip -qo": ["unzip", "-qo", package, "-d", out],
        "7z x -y": ["7z", "x", "-y", "-bd", "-o" + out, package],
        "bsdtar -xf": ["bsdtar", "-xf", package, "-C", out],
    }


class FreshTarget:
    """An empty folder to extract into: a new ext4 file system on a loop device per run
    (fresh=True) or a folder made after removing the last one."""

    def __init__(self, work, fresh, bytes_needed):
        self.work = work
        self.fresh = fresh
        self.image = os.path.join(work, "target.img")
        self.mount = os.path.join(work, "mnt")
        self.size = bytes_needed * 2 + 256 * 1024 * 1024

    def __enter__(self):
        if not self.fresh:
            out = os.path.join(self.work, "out")
            shutil.rmtree(out, ignore_errors=True)
            os.makedirs(out)
            return out
        with open(self.image, "wb") as f:
            f.truncate(self.size)
        subprocess.run(["mkfs.ext4", "-q", "-F", "-E", "lazy_itable_init=0,lazy_journal_init=0", self.image],
                       check=True)
        os.makedirs(self.mount, exist_ok=True)
        subprocess.run(["mount", "-o", "loop", self.image, self.mount], check=True)
        out = os.path.join(self.mount, "out")
        os.makedirs(out)
        subprocess.run(["sync"], check=True)
        return out

    def __exit__(self, *exc):
        if self.fresh:
            subprocess.run(["umount", self.mount], check=True)
            os.remove(self.image)
        return False


def compare(name, qltool, package, work, peers, rounds, fresh, tree_bytes):
    names = ["qltool unzip"] + peers
    times = {n: [] for n in names}
    cpu = {n: [] for n in names}
    peak = {n: 0 for n in names}
    for r in range(rounds):
        order = names[r % len(names):] + names[: r % len(names)]
        for n in order:
            with FreshTarget(work, fresh, tree_bytes) as out:
                # The data reaches the disk when the file system is unmounted, outside the
                # timed part: what is timed is the tool and the kernel's work for its calls.
                wall, seconds, rss = run_measured(tools_for(qltool, package, out)[n])
            times[n].append(wall)
            cpu[n].append(seconds)
            peak[n] = max(peak[n], rss)
    shutil.rmtree(os.path.join(work, "out"), ignore_errors=True)
    ours = statistics.median(times["qltool unzip"])
    ours_cpu = statistics.median(cpu["qltool unzip"])
    where = "a fresh ext4 per run" if fresh else "a fresh folder on " + work
    print("\n%s package (%.1f MB) into %s: median of %d rounds" % (name, os.path.getsize(package) / 1e6,
                                                                   where, rounds))
    print("  %-14s %9s %12s %9s %12s %9s" % ("tool", "wall s", "qltool/tool", "cpu s", "qltool/tool",
                                            "peak MiB"))
    for n in names:
        m = statistics.median(times[n])
        c = statistics.median(cpu[n])
        print("  %-14s %9.3f %12.2f %9.3f %12.2f %9.1f" % (n, m, ours / m, c, ours_cpu / c, peak[n] / 1024))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--qltool", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--size-mb", type=int, default=300)
    ap.add_argument("--files", type=int, default=5000)
    ap.add_argument("--rounds", type=int, default=3)
    ap.add_argument("--packages", default="deflate,bzip2,lzma", help="which comparisons to run")
    ap.add_argument("--fresh-fs", action="store_true",
                    help="extract into a new loop-mounted ext4 per run (root only)")
    args = ap.parse_args()
    if args.fresh_fs and os.geteuid() != 0:
        sys.exit("--fresh-fs makes and mounts file systems: run it as root")
    qltool = os.path.abspath(args.qltool)
    work = os.path.abspath(args.work)
    os.makedirs(work, exist_ok=True)
    tree = os.path.join(work, "tree")
    if not os.path.isdir(tree):
        made = make_tree(tree, args.size_mb, args.files)
        print("tree: %d files, %.1f MB" % (args.files, made / 1e6))
    tree_bytes = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(tree) for f in fs)
    packages = {
        "Deflate (Info-ZIP zip -r)": ("pkg-deflate.zip", ["zip", "-q", "-r"]),
        "BZip2 (7z -tzip -mm=BZip2)": ("pkg-bzip2.zip", ["7z", "a", "-bd", "-tzip", "-mm=BZip2"]),
        "LZMA (7z -tzip -mm=LZMA)": ("pkg-lzma.zip", ["7z", "a", "-bd", "-tzip", "-mm=LZMA"]),
    }
    for file, cmd in packages.values():
        path = os.path.join(work, file)
        if not os.path.exists(path):
            subprocess.run(cmd + [path, "1.2.3"], cwd=tree, check=True, stdout=subprocess.DEVNULL)
    pk = {k: os.path.join(work, v[0]) for k, v in packages.items()}
    wanted = args.packages.split(",")
    if "deflate" in wanted:
        compare("Deflate (Info-ZIP zip -r)", qltool, pk["Deflate (Info-ZIP zip -r)"], work,
                ["unzip -qo", "7z x -y", "bsdtar -xf"], args.rounds, args.fresh_fs, tree_bytes)
    if "bzip2" in wanted:
        compare("BZip2 (7z -tzip -mm=BZip2)", qltool, pk["BZip2 (7z -tzip -mm=BZip2)"], work, ["7z x -y"],
                args.rounds, args.fresh_fs, tree_bytes)
    if "lzma" in wanted:
        compare("LZMA (7z -tzip -mm=LZMA)", qltool, pk["LZMA (7z -tzip -mm=LZMA)"], work, ["7z x -y"], args.rounds,
                args.fresh_fs, tree_bytes)


if __name__ == "__main__":
    main()
