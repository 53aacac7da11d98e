#!/usr/bin/env python3
"""Builds the benchmark corpora from this machine's own files, the same way on every run.

real/: three compiler and LLVM binaries and about 50 MB of C headers as a tree, names unique
without regard to case (the Windows builds extract it too). sample/: about 24 MB in two files, a
slice of a binary and concatenated headers, for the archives of other writers (some of them are
slow). small/: 5000 small headers with their folders.
"""
import os
import shutil
import sys

HEADERS = 50_000_000
SAMPLE_PART = 12_000_000
# Preferred binaries; the largest shared libraries stand in where they are missing.
BINARIES = ["/usr/lib/x86_64-linux-gnu/libLLVM-14.so.1", "/usr/lib/llvm-14/lib/libclang-cpp.so.14",
            "/usr/lib/gcc/x86_64-linux-gnu/12/cc1plus"]


def sorted_files(root, accept):
    for folder, dirs, files in os.walk(root):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path) and accept(path):
                yield path


def binaries():
    found = [p for p in BINARIES if os.path.isfile(p)]
    if len(found) < 3:
        others = sorted((os.path.getsize(p), p) for p in sorted_files("/usr/lib", lambda p: ".so" in p))
        found += [p for _, p in reversed(others) if p not in found][:3 - len(found)]
    return found


def headers(limit):
    """Header files under /usr/include in path order, up to `limit` bytes, names unique without
    regard to case."""
    seen, total = set(), 0
    for path in sorted_files("/usr/include", lambda p: p.endswith(".h") and os.path.getsize(p) > 0):
        rel = os.path.relpath(path, "/usr/include")
        size = os.path.getsize(path)
        if rel.lower() in seen or total + size > limit:
            continue
        seen.add(rel.lower())
        total += size
        yield path, rel


def build(target, fill):
    if os.path.isdir(target):
        return
    shutil.rmtree(target + ".tmp", ignore_errors=True)
    os.makedirs(target + ".tmp")
    fill(target + ".tmp")
    os.rename(target + ".tmp", target)


def fill_real(dest):
    os.makedirs(os.path.join(dest, "bin"))
    for path in binaries():
        shutil.copyfile(path, os.path.join(dest, "bin", os.path.basename(path)))
    for path, rel in headers(HEADERS):
        os.makedirs(os.path.dirname(os.path.join(dest, "include", rel)), exist_ok=True)
        shutil.copyfile(path, os.path.join(dest, "include", rel))


def fill_sample(dest):
    with open(binaries()[0], "rb") as f, open(os.path.join(dest, "binary.bin"), "wb") as out:
        out.write(f.read(SAMPLE_PART))
    with open(os.path.join(dest, "headers.txt"), "wb") as out:
        for path, _ in headers(SAMPLE_PART):
            with open(path, "rb") as f:
                out.write(f.read())


def fill_small(dest):
    count = 0
    for path in sorted_files("/usr/include", lambda p: 0 < os.path.getsize(p) <= 64 * 1024):
        rel = os.path.relpath(path, "/usr/include")
        os.makedirs(os.path.dirname(os.path.join(dest, rel)), exist_ok=True)
        shutil.copyfile(path, os.path.join(dest, rel))
        count += 1
        if count == 5000:
            break


def main():
    target = sys.argv[1]
    build(os.path.join(target, "real"), fill_real)
    build(os.path.join(target, "sample"), fill_sample)
    build(os.path.join(target, "small"), fill_small)


if __name__ == "__main__":
    main()
