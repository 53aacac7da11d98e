#!/usr/bin/env python3
"""Builds the benchmark corpora from this machine's own files, the same way on every run.

corpus/: about 200 MB in 8 files, half text (C headers), half binaries (shared libraries),
each file a concatenation in sorted path order.  small/: 5000 small headers with their folders.
"""
import os
import sys

PART = 25 * 1024 * 1024


def sorted_files(root, accept):
    for folder, dirs, files in os.walk(root):
        dirs.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            if os.path.isfile(path) and not os.path.islink(path) and accept(path):
                yield path


def concatenate(sources, out_dir, stem, parts):
    sources = iter(sources)
    for index in range(parts):
        with open(os.path.join(out_dir, f"{stem}-{index}.bin"), "wb") as out:
            written = 0
            for path in sources:
                with open(path, "rb") as f:
                    data = f.read(PART - written)
                out.write(data)
                written += len(data)
                if written >= PART:
                    break


def main():
    target = sys.argv[1]
    corpus = os.path.join(target, "corpus")
    small = os.path.join(target, "small")
    if not os.path.isdir(corpus):
        os.makedirs(corpus + ".tmp", exist_ok=True)
        concatenate(sorted_files("/usr/include", lambda p: p.endswith(".h")), corpus + ".tmp", "text", 4)
        concatenate(sorted_files("/usr/lib/x86_64-linux-gnu", lambda p: ".so" in p), corpus + ".tmp", "binary", 4)
        os.rename(corpus + ".tmp", corpus)
    if not os.path.isdir(small):
        count = 0
        for path in sorted_files("/usr/include", lambda p: 0 < os.path.getsize(p) <= 64 * 1024):
            rel = os.path.relpath(path, "/usr/include")
            dest = os.path.join(small + ".tmp", rel)
            os.makedirs(os.path.dirname(dest), exist_ok=True)
            with open(path, "rb") as f, open(dest, "wb") as out:
                out.write(f.read())
            count += 1
            if count == 5000:
                break
        os.rename(small + ".tmp", small)


if __name__ == "__main__":
    main()
