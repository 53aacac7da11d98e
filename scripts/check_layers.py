#!/usr/bin/env python3
"""Checks that every quoted include of the product's code points down the layers (or stays in its
own folder), never up and never sideways between folders of one layer. Prints file:line for each
include that does not, and fails then."""
import pathlib
import re
import sys

# Bottom to top. Folders in one layer may not include each other; a platform subfolder (posix/,
# win32/) belongs to its parent folder.
LAYERS = [
    ["base"],
    ["platform"],
    ["archive"],
    ["codec"],
    ["extract", "pack"],
    ["ui", "cli"],
    ["app"],
]
RANK = {folder: rank for rank, folders in enumerate(LAYERS) for folder in folders}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    failures = []
    for folder in RANK:
        for path in sorted((root / folder).rglob("*")):
            if path.suffix not in (".h", ".cpp", ".rc"):
                continue
            for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = match.group(1).split("/")[0]
                where = f"{path.relative_to(root)}:{number}"
                if "/" not in match.group(1):
                    # Files beside the includer (resources) name no folder.
                    if path.parent.joinpath(match.group(1)).exists():
                        continue
                    failures.append(f"{where}: include without its folder: {match.group(1)}")
                elif target not in RANK:
                    failures.append(f"{where}: include outside the product's layers: {match.group(1)}")
                elif target != folder and RANK[target] >= RANK[folder]:
                    direction = "sideways" if RANK[target] == RANK[folder] else "up"
                    failures.append(f"{where}: {folder}/ includes {direction} into {match.group(1)}")
    for failure in failures:
        print(failure, file=sys.stderr)
    if failures:
        print("layers: includes above point up or sideways", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
