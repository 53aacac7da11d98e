#!/usr/bin/env python3
"""Runs every speed measurement of the project in one go and prints the tables of the README.

Every ratio compares two measurements of the same run on the same machine. The yardstick of an
extraction is the decode limit of the same archive (bench/decode_limit.cpp: read, checksum,
decrypt, inflate with libdeflate on two threads, in memory, nothing written). Archives come from a
plain zlib writer of the bench's own (whole 128000-byte chunks, compress2 level 6), from other
writers (bench/foreign_writer.cpp) and from `ozr pack`. Options: --no-wine skips ozr.exe and the
dialog under Wine; --huge adds a 4.2 GB entry round trip.
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(ROOT, "build", "linux", "bin")
WIN = os.path.join(ROOT, "build", "win32", "bin")
DATA = os.path.join(ROOT, "build", "bench")
WORK = os.path.join(DATA, "work")
TMPFS = "/dev/shm/ozr-bench"
PASSWORD = "bench-пароль"
# p7zip refuses non-ASCII passwords for zip encryption; the peer gets an ASCII one.
ZIP_PASSWORD = "bench-password"
WRITERS = ["zlib-1", "zlib-6", "zlib-9", "zlib-6-filtered", "zlib-6-huffman", "zlib-6-rle",
           "zlib-6-fixed", "libdeflate-1", "libdeflate-6", "libdeflate-12", "zopfli", "pigz-sync",
           "7zip"]
RUNS = 3
MB = 1e6


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, **kw)


def timed(cmd, runs=RUNS, before=None, env=None):
    """Median wall time of a command over several runs, and the largest peak RSS (KB) of a run.

    The peak comes from /usr/bin/time, whose own small process is what the command is forked
    from: a child forked from this Python process would start with Python's memory counted.
    """
    times = []
    peak_kb = 0
    for _ in range(runs):
        if before:
            before()
        with tempfile.NamedTemporaryFile("r") as report:
            wrapped = ["/usr/bin/time", "-o", report.name, "-f", "%M"]
            wrapped += ["sh", "-c", cmd] if isinstance(cmd, str) else cmd
            start = time.perf_counter()
            subprocess.run(wrapped, check=True, stdout=subprocess.DEVNULL, env=env)
            times.append(time.perf_counter() - start)
            peak_kb = max(peak_kb, int(report.read().split()[-1]))
    return statistics.median(times), peak_kb


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)


def tree_bytes(path):
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(path) for f in fs)


def once(path, make):
    """Makes a file the first time only; later runs reuse it."""
    if not os.path.exists(path):
        make(path + ".tmp")
        os.rename(path + ".tmp", path)
    return path


def wine_path(path):
    return "Z:" + path.replace("/", "\\")


def decode_limit(archive, password=PASSWORD):
    out = run([os.path.join(BIN, "decode_limit"), archive, password, "5"],
              stdout=subprocess.PIPE, text=True).stdout.split()
    return int(out[0]) / float(out[1]) / MB


def ozr_extract(ozr, archive, size, wine=False, password=PASSWORD):
    target = os.path.join(TMPFS, "out")
    args = [wine_path(archive), "-o", wine_path(target)] if wine else [archive, "-o", target]
    cmd = ([os.path.join(ROOT, "scripts", "wine-run")] if wine else []) + [ozr, "extract"] + args
    cmd += ["-p", password, "--overwrite", "yes", "-q"]
    t, peak = timed(cmd, before=lambda: fresh(target))
    return size / t / MB, peak


def table(title, header, rows):
    print(f"\n| {title} | " + " | ".join(header) + " |")
    print("|---|" + "---:|" * len(header))
    for row in rows:
        print("| " + " | ".join(row) + " |")


def main():
    wine = "--no-wine" not in sys.argv
    run([sys.executable, os.path.join(ROOT, "bench", "make_corpus.py"), DATA])
    real, sample, small = (os.path.join(DATA, n) for n in ("real", "sample", "small"))
    os.makedirs(WORK, exist_ok=True)
    os.makedirs(TMPFS, exist_ok=True)
    ozr = os.path.join(BIN, "ozr")
    writer = os.path.join(BIN, "foreign_writer")
    size = tree_bytes(real)

    def write(name, tree, password=PASSWORD):
        return lambda path: run([writer, name, tree, path] + ([password] if password else []))

    zlib_archive = once(os.path.join(WORK, "real-zlib6.ozr"), write("zlib-6", real))
    zlib_open = once(os.path.join(WORK, "real-zlib6-open.ozr"), write("zlib-6", real, None))

    # Packing: ozr pack against tar | gzip -6 of the same tree, speed and size.
    packed = os.path.join(WORK, "real-pack.ozr")
    t_pack, _ = timed([ozr, "pack", packed, real, "-p", PASSWORD, "-q"], runs=2,
                      before=lambda: os.path.exists(packed) and os.remove(packed))
    tgz = os.path.join(WORK, "real.tar.gz")
    t_gzip, _ = timed(f"tar -C {DATA} -cf - real | gzip -6 > {tgz}", runs=2)
    pack_rows = [("`tar \\| gzip -6` (one thread)", size / t_gzip / MB, os.path.getsize(tgz), "1.00×", "1.00×"),
                 (f"`ozr pack -p` ({os.cpu_count()} threads)", size / t_pack / MB, os.path.getsize(packed),
                  f"{t_gzip / t_pack:.2f}×", f"{os.path.getsize(packed) / os.path.getsize(tgz):.3f}×")]

    # Extraction on the real tree: each archive against its own decode limit, and the peers.
    rows = []
    ozr_rates = {}
    notes = []
    for label, archive in (("plain zlib writer (compress2 level 6, whole chunks)", zlib_archive),
                           ("`ozr pack`", packed)):
        limit = decode_limit(archive)
        rate, peak = ozr_extract(ozr, archive, size)
        ozr_rates[archive] = rate
        notes.append(f"peak resident memory of ozr extract ({label}): {peak / 1024:.1f} MB")
        rows.append((f"{label}: decode limit", f"{limit:.0f}", "1.00"))
        rows.append((f"{label}: `ozr extract` → tmpfs", f"{rate:.0f}", f"{rate / limit:.2f}"))
    peers = []
    ozr_rate = ozr_rates[zlib_archive]
    target = os.path.join(TMPFS, "out")
    if shutil.which("libdeflate-gunzip"):
        t, _ = timed(f"libdeflate-gunzip -c {tgz} | tar -x -C {target}", before=lambda: fresh(target))
        peers.append(("`libdeflate-gunzip -c` of the gzip -6 tar `\\| tar -x` → tmpfs (no decryption)",
                      f"{size / t / MB:.0f}", f"ozr {ozr_rate / (size / t / MB):.2f}× faster"))
    if shutil.which("7z"):
        zip_path = once(os.path.join(WORK, "real-aes.zip"), lambda p: run(
            ["7z", "a", "-tzip", "-mx=5", "-mem=AES256", f"-p{ZIP_PASSWORD}", p + ".zip", real + "/"],
            stdout=subprocess.DEVNULL) and os.rename(p + ".zip", p))
        t, _ = timed(["7z", "x", "-y", f"-p{ZIP_PASSWORD}", f"-o{target}", zip_path],
                     before=lambda: fresh(target))
        peers.append(("`7z x` of an AES-256 deflate zip → tmpfs", f"{size / t / MB:.0f}",
                      f"ozr {ozr_rate / (size / t / MB):.2f}× faster"))

    # Other writers, on the smaller sample: each against its own decode limit.
    writer_rows = []
    sample_size = tree_bytes(sample)
    for name in WRITERS:
        command = {"zopfli": "zopfli", "pigz-sync": "pigz", "7zip": "7z"}.get(name)
        if command and not shutil.which(command):
            continue
        archive = once(os.path.join(WORK, f"sample-{name}.ozr"), write(name, sample))
        limit = decode_limit(archive)
        rate, _ = ozr_extract(ozr, archive, sample_size)
        writer_rows.append((name, f"{limit:.0f}", f"{rate:.0f}", f"{rate / limit:.2f}"))

    # Windows programs under Wine, against the Linux program on the same archives.
    wine_rows = []
    if wine and os.path.exists(os.path.join(WIN, "ozr.exe")):
        exe = os.path.join(WIN, "ozr.exe")
        for label, archive in (("without encryption", zlib_open), ("encrypted", zlib_archive)):
            linux, _ = ozr_extract(ozr, archive, size)
            windows, _ = ozr_extract(exe, archive, size, wine=True)
            wine_rows.append((f"`ozr.exe` under Wine vs Linux `ozr`, {label}", f"{windows:.0f}",
                              f"{linux:.0f}", f"{windows / linux:.2f}"))
        dialog = dialog_seconds(zlib_archive)
        console = size / ozr_extract(exe, zlib_archive, size, wine=True)[0] / MB
        wine_rows.append(("`unpacker.exe` dialog (click to success message) vs `ozr.exe`, encrypted",
                          f"{size / dialog / MB:.0f}", f"{size / console / MB:.0f}",
                          f"{dialog / console:.2f}× the time"))

    # 5000 small files: the job, ozr and cp -r.
    out = run([os.path.join(BIN, "extract_bench"), f"--small={small}", f"--work={WORK}",
               f"--out={TMPFS}/job", "--benchmark_format=csv", "--benchmark_min_time=2"],
              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True).stdout
    job_ms = next(float(line.split(",")[2]) for line in out.splitlines() if "5000_files" in line)
    copy_source = os.path.join(TMPFS, "small-source")
    if not os.path.isdir(copy_source):
        shutil.copytree(small, copy_source)
    copy_target = os.path.join(TMPFS, "small-copy")
    cp, _ = timed(["cp", "-r", copy_source, copy_target], before=lambda: shutil.rmtree(copy_target, True))
    t_small, _ = timed([ozr, "extract", os.path.join(WORK, "small.ozr"), "-o", target, "-p", PASSWORD,
                        "--overwrite", "yes", "-q"], before=lambda: fresh(target))
    small_rows = [("`ExtractionJob`, 5000 files → tmpfs", job_ms / 1000),
                  ("`cp -r` of the same tree, tmpfs → tmpfs", cp),
                  ("`ozr extract`, 5000 files → tmpfs", t_small)]

    print(f"\nReal content: {size / MB:.0f} MB (three compiler and LLVM binaries and C headers), "
          f"AES-256. Other writers: a {sample_size / MB:.0f} MB sample of it. Machine: "
          f"{os.cpu_count()} cores, {time.strftime('%Y-%m-%d')}; output into tmpfs.")
    table("Extraction of the real content", ["MB/s of output", "× decode limit"], rows)
    table("Peers, same tree", ["MB/s of output", "vs `ozr extract`"], peers)
    table("Archives of other writers (sample)", ["decode limit MB/s", "`ozr extract` MB/s", "ratio"],
          writer_rows)
    if wine_rows:
        table("Windows programs under Wine", ["MB/s (Windows)", "MB/s (other)", "ratio"], wine_rows)
    table("Packing the tree", ["MB/s of input", "bytes", "speed", "size"],
          [(n, f"{r:.1f}", f"{b}", s, z) for n, r, b, s, z in pack_rows])
    table("5000 small files", ["seconds", "× `cp -r`"], [(n, f"{t:.3f}", f"{t / cp:.2f}") for n, t in small_rows])
    for note in notes:
        print(f"\n{note}")
    if "--huge" in sys.argv:
        huge_entry(ozr)
    shutil.rmtree(TMPFS, ignore_errors=True)


def dialog_seconds(archive):
    """The unpacker's dialog on a self-extracting copy of the archive, driven by
    bench/dialog_timing.cpp: seconds from the click on the extract button to the success message."""
    sfx = os.path.join(TMPFS, "timing.exe")
    with open(sfx, "wb") as out:
        for part in (os.path.join(WIN, "unpacker.exe"), archive):
            with open(part, "rb") as f:
                shutil.copyfileobj(f, out)
    seconds = []
    for _ in range(RUNS):
        destination = os.path.join(TMPFS, "dialog-out")
        fresh(destination)
        env = dict(os.environ, OZR_TIMING_SFX=wine_path(sfx), OZR_TIMING_PASSWORD=PASSWORD,
                   OZR_TIMING_DESTINATION=wine_path(destination))
        result = subprocess.run([os.path.join(ROOT, "scripts", "e2e"), "--timing"], env=env,
                                stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True)
        if result.returncode != 0:
            sys.exit(f"the dialog's timing failed:\n{result.stdout}")
        seconds.append(float(result.stdout.split("dialog seconds:")[1].split()[0]))
    os.remove(sfx)
    return statistics.median(seconds)


def huge_entry(ozr):
    """A 4.2 GB entry through the writer, ozr test and ozr extract, with peak memory."""
    folder = os.path.join(DATA, "huge")
    source = os.path.join(folder, "in", "big.bin")
    if not os.path.exists(source):
        os.makedirs(os.path.dirname(source), exist_ok=True)
        parts = sorted(os.path.join(d, f) for d, _, fs in os.walk(os.path.join(DATA, "real")) for f in fs)
        with open(source, "wb") as out:
            written = 0
            while written < 4_200_000_000:
                for name in parts:
                    with open(name, "rb") as f:
                        data = f.read(4_200_000_000 - written)
                    out.write(data)
                    written += len(data)
                    if written >= 4_200_000_000:
                        break
    archive = os.path.join(folder, "big.ozr")
    t_pack, _ = timed([ozr, "pack", archive, os.path.join(folder, "in"), "-p", PASSWORD, "-l", "1", "-q"],
                      runs=1, before=lambda: os.path.exists(archive) and os.remove(archive))
    t_test, _ = timed([ozr, "test", archive, "-p", PASSWORD, "-q"], runs=1)
    target = os.path.join(TMPFS, "huge-out")
    t_extract, peak = timed([ozr, "extract", archive, "-o", target, "-p", PASSWORD, "--overwrite", "yes", "-q"],
                            runs=1, before=lambda: fresh(target))
    # A folder is stored under its own name: the entry is in\big.bin.
    same = subprocess.run(["cmp", source, os.path.join(target, "in", "big.bin")]).returncode == 0
    shutil.rmtree(target, ignore_errors=True)
    print(f"\n4.2 GB entry: pack {t_pack:.1f} s, test {t_test:.1f} s, extract {t_extract:.1f} s, "
          f"{'byte-identical' if same else 'DIFFERENT'}; peak resident memory of ozr extract "
          f"{peak / 1024:.1f} MB")
    if not same:
        sys.exit(1)


if __name__ == "__main__":
    main()
