#!/usr/bin/env python3
"""Runs the extraction benchmarks and prints one table of rates and ratios.

Every ratio compares two measurements of the same run on the same machine: the in-memory zlib
baseline (uncompress of the same frames, one thread) and the real extraction paths: the job
itself, the command-line tool, and peers where installed (libdeflate-gunzip, 7z, cp -r).
"""
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(ROOT, "build", "linux", "bin")
DATA = os.path.join(ROOT, "build", "bench")
TMPFS = "/dev/shm/ozr-bench"
PASSWORD = "bench-пароль"
# p7zip refuses non-ASCII passwords for zip encryption; the peer gets an ASCII one.
ZIP_PASSWORD = "bench-password"
RUNS = 5


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, **kw)


def timed(cmd, runs=RUNS, before=None, stdout=None):
    """Median wall time of a command over several runs, and the largest peak RSS (KB) of a run.

    The peak comes from /usr/bin/time, whose own small process is what the command is forked
    from: a child forked from this Python process would start with Python's memory counted.
    """
    times = []
    peak_kb = 0
    shell = isinstance(cmd, str)
    for _ in range(runs):
        if before:
            before()
        with tempfile.NamedTemporaryFile("r") as report:
            wrapped = ["/usr/bin/time", "-o", report.name, "-f", "%M"]
            wrapped += ["sh", "-c", cmd] if shell else cmd
            start = time.perf_counter()
            subprocess.run(wrapped, check=True, stdout=stdout or subprocess.DEVNULL)
            times.append(time.perf_counter() - start)
            peak_kb = max(peak_kb, int(report.read().split()[-1]))
    return statistics.median(times), peak_kb


def fresh(path):
    shutil.rmtree(path, ignore_errors=True)
    os.makedirs(path)


def tree_bytes(path):
    return sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(path) for f in fs)


def main():
    huge = "--no-huge" not in sys.argv
    run([sys.executable, os.path.join(ROOT, "bench", "make_corpus.py"), DATA])
    corpus, small = os.path.join(DATA, "corpus"), os.path.join(DATA, "small")
    os.makedirs(TMPFS, exist_ok=True)
    work = os.path.join(DATA, "work")
    out = run([os.path.join(BIN, "extract_bench"), f"--corpus={corpus}", f"--small={small}",
               f"--work={work}", f"--out={TMPFS}/job", "--benchmark_format=json",
               "--benchmark_min_time=2"],
              stdout=subprocess.PIPE).stdout
    results = {b["name"]: b for b in json.loads(out)["benchmarks"]}
    mb = 1e6
    baseline = results["baseline/zlib_uncompress_in_memory/real_time"]["bytes_per_second"] / mb
    rows = [("zlib uncompress, same frames, in memory, 1 thread (baseline)", baseline, "1.00×")]
    job = results["extract/corpus/real_time"]["bytes_per_second"] / mb
    rows.append(("ExtractionJob → tmpfs (headless dialog)", job, f"{job / baseline:.2f}×"))
    small_job = results["extract/5000_files/real_time"]["real_time"] / 1000

    size = tree_bytes(corpus)
    ozr = os.path.join(BIN, "ozr")
    target = os.path.join(TMPFS, "out")
    notes = []
    cli = None
    if os.path.exists(ozr):
        archive = os.path.join(work, "corpus.ozr")
        cli, cli_kb = timed([ozr, "extract", archive, "-o", target, "-p", PASSWORD, "--overwrite", "yes", "-q"],
                            before=lambda: fresh(target))
        rows.append(("ozr extract → tmpfs", size / cli / mb, f"{size / cli / mb / baseline:.2f}×"))
        notes.append(f"peak resident memory of ozr extract (200 MB corpus): {cli_kb / 1024:.1f} MB")
    gz = os.path.join(work, "gz")
    if shutil.which("libdeflate-gzip"):
        if not os.path.isdir(gz):
            os.makedirs(gz)
            for name in sorted(os.listdir(corpus)):
                with open(os.path.join(gz, name + ".gz"), "wb") as f:
                    run(["libdeflate-gzip", "-6", "-c", os.path.join(corpus, name)], stdout=f)
        script = " && ".join(f"libdeflate-gunzip -c {os.path.join(gz, n)} > {os.path.join(target, n[:-3])}"
                             for n in sorted(os.listdir(gz)))
        t, _ = timed(script, before=lambda: fresh(target))
        vs = f"ozr {t / cli:.2f}× faster" if cli else ""
        rows.append(("libdeflate-gunzip -c → tmpfs (no decryption)", size / t / mb, vs))
    if shutil.which("7z"):
        zip_path = os.path.join(work, "corpus-aes.zip")
        if not os.path.exists(zip_path):
            run(["7z", "a", "-tzip", "-mx=5", "-mem=AES256", f"-p{ZIP_PASSWORD}", zip_path, corpus + "/"],
                stdout=subprocess.DEVNULL)
        t, _ = timed(["7z", "x", "-y", f"-p{ZIP_PASSWORD}", f"-o{target}", zip_path], runs=3,
                     before=lambda: fresh(target))
        vs = f"ozr {t / cli:.2f}× faster" if cli else ""
        rows.append(("7z x of an AES-256 deflate zip → tmpfs", size / t / mb, vs))

    small_rows = [("ExtractionJob, 5000 files → tmpfs", small_job)]
    copy_source = os.path.join(TMPFS, "small-source")
    if not os.path.isdir(copy_source):
        shutil.copytree(small, copy_source)
    copy_target = os.path.join(TMPFS, "small-copy")
    cp, _ = timed(["cp", "-r", copy_source, copy_target], before=lambda: shutil.rmtree(copy_target, True))
    small_rows.append(("cp -r of the same tree, tmpfs → tmpfs", cp))
    if os.path.exists(ozr):
        t, _ = timed([ozr, "extract", os.path.join(work, "small.ozr"), "-o", target, "-p", PASSWORD,
                      "--overwrite", "yes", "-q"], before=lambda: fresh(target))
        small_rows.append(("ozr extract, 5000 files → tmpfs", t))

    print(f"\nCorpus: {size / mb:.0f} MB in {len(os.listdir(corpus))} files (C headers and shared "
          f"libraries), AES-256, level 6. Machine: {os.cpu_count()} cores, "
          f"{time.strftime('%Y-%m-%d')}.\n")
    print("| Extraction of the corpus | MB/s of output | ratio |")
    print("|---|---:|---:|")
    for name, rate, ratio in rows:
        print(f"| {name} | {rate:.0f} | {ratio} |")
    print("\n| 5000 small files | seconds | × cp -r |")
    print("|---|---:|---:|")
    for name, t in small_rows:
        print(f"| {name} | {t:.3f} | {t / cp:.2f} |")
    for note in notes:
        print(f"\n{note}")
    if huge and os.path.exists(ozr):
        huge_entry(ozr)
    shutil.rmtree(TMPFS, ignore_errors=True)


def huge_entry(ozr):
    """A 4.2 GB entry through the writer, ozr test and ozr extract, with peak memory."""
    folder = os.path.join(DATA, "huge")
    source = os.path.join(folder, "in", "big.bin")
    if not os.path.exists(source):
        os.makedirs(os.path.dirname(source), exist_ok=True)
        corpus = os.path.join(DATA, "corpus")
        with open(source, "wb") as out:
            written = 0
            while written < 4_200_000_000:
                for name in sorted(os.listdir(corpus)):
                    with open(os.path.join(corpus, name), "rb") as f:
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
