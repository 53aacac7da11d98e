#!/usr/bin/env python3
"""Runs the built `ozr` as a user would: real files in fresh temporary folders, and for every
command the exact stdout, stderr and exit status.

  run_cli_tests.py --ozr PATH --craft PATH [--wine RUNNER]
      the whole suite against one build (the Windows one through Wine)
  run_cli_tests.py --cross LINUX_OZR WINDOWS_OZR --wine RUNNER [--unpacker EXE]
      archives made by each build are listed, tested and extracted by the other
"""

import argparse
import os
import pty
import random
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

PASSWORD = "пароль"
SUCCESS = "Выбранные файлы успешно распакованы.\n"
TESTED = "Все файлы архива исправны.\n"
WRONG_PASSWORD = {
    "Введен неверный пароль (контрольные суммы не совпали).\n",
    "Ошибка расшифрования. Скорее всего, введен неверный пароль.\n",
}


class Result:
    def __init__(self, code, out, err):
        self.code, self.out, self.err = code, out, err

    def __repr__(self):
        return f"exit {self.code}\n--- stdout\n{self.out}--- stderr\n{self.err}---"


class Tool:
    """One build of `ozr` (or the archive crafting helper), run directly or through Wine."""

    def __init__(self, path, wine=None):
        self.path = os.path.abspath(path)
        self.windows = path.endswith(".exe")
        self.wine = os.path.abspath(wine) if wine and self.windows else None
        self.sep = "\\" if self.windows else "/"

    def command(self, args, path=None):
        return ([self.wine] if self.wine else []) + [path or self.path] + list(args)

    def run(self, args, cwd, path=None):
        done = subprocess.run(self.command(args, path), cwd=cwd, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=120)
        out, err = done.stdout.decode("utf-8"), done.stderr.decode("utf-8")
        if self.windows:  # files and pipes get "\r\n" line ends there
            out, err = out.replace("\r\n", "\n"), err.replace("\r\n", "\n")
        return Result(done.returncode, out, err)


class Failed(Exception):
    pass


def check(condition, message, result=None):
    if not condition:
        raise Failed(message + ("\n" + repr(result) if result is not None else ""))


def expect(result, code, out=None, err=None):
    check(result.code == code, f"exit status {result.code}, expected {code}", result)
    if out is not None:
        check(result.out == out, f"stdout differs, expected:\n{out}", result)
    if err is not None:
        check(result.err == err, f"stderr differs, expected:\n{err}", result)


# --- files -------------------------------------------------------------------------------------

# name -> (size, the size as the list shows it); sizes chosen so that their texts are known.
TREE = {
    "дерево/ПРОЧТИ.txt": (12, "12 байт"),
    "дерево/а/б/в/глубоко.txt": (1536, "1.50 КБ"),
    "дерево/документы/отчёт.txt": (200000, "195.31 КБ"),
    "дерево/картинки/снимок.bin": (300000, "292.97 КБ"),
}
TREE_TOTAL = "489.79 КБ"  # 501548 bytes


def content(name, size):
    rng = random.Random(name)
    if name.endswith(".bin"):
        return rng.randbytes(size)
    words = [w.encode() for w in ("архив", "отчёт", "data", "строка", "ozr", "\n")]
    out = bytearray()
    while len(out) < size:
        out += rng.choice(words) + b" "
    return bytes(out[:size])


def make_tree(root):
    for name, (size, _) in TREE.items():
        write(os.path.join(root, name), content(name, size))


def write(path, data):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def files_under(root):
    """Relative paths of all files under root, "/"-separated, sorted."""
    found = []
    for folder, _, names in os.walk(root):
        for n in names:
            found.append(os.path.relpath(os.path.join(folder, n), root).replace(os.sep, "/"))
    return sorted(found)


def same_tree(expected_root, actual_root):
    check(files_under(expected_root) == files_under(actual_root),
          f"files differ: {files_under(expected_root)} vs {files_under(actual_root)}")
    for name in files_under(expected_root):
        check(read(os.path.join(expected_root, name)) == read(os.path.join(actual_root, name)),
              f"content of {name} differs")


SIZE = r"[0-9]+(?: байт|\.[0-9]{2} (?:КБ|МБ))"


def list_pattern(title, comment, count, total, level, entries):
    """The listing as a regular expression: packed sizes are whatever the compressor made."""
    lines = [re.escape(title)] + [re.escape(c) for c in comment]
    lines.append(re.escape(f"В архиве файлов: {count}, размер в архиве: ") + SIZE +
                 re.escape(f", исходный: {total}"))
    lines.append(re.escape(f"Степень сжатия: {level}"))
    for name, unpacked in entries:
        lines.append(re.escape(f"{name}; размер в архиве: ") + SIZE +
                     re.escape(f", исходный: {unpacked}"))
    return "\n".join(lines) + "\n"


def tree_entries():
    return sorted(((n.replace("/", "\\"), text) for n, (_, text) in TREE.items()),
                  key=lambda e: e[0].split("\\"))


# --- the suite ---------------------------------------------------------------------------------

def test_usage_and_help(ozr, craft, box):
    # Each message is checked by the unit tests; here: the streams and exit statuses.
    cases = [
        ([], 2, "", "Не указана команда.\nПодробнее: ozr --help\n"),
        (["pack", "x.ozr", "d", "-l", "12"], 2, "",
         "Степень сжатия должна быть от 0 до 9.\nПодробнее: ozr pack --help\n"),
    ]
    for args, code, out, err in cases:
        expect(ozr.run(args, box), code, out, err)
    missing = ozr.run(["list", "нет.ozr"], box)
    expect(missing, 1, "")
    # The operating system's reason follows the message, in parentheses on a line of its own.
    check(re.fullmatch(r"Ошибка при открытии архива\.\n\(.+\)\n", missing.err), "no archive",
          missing)
    helped = ozr.run(["extract", "--help"], box)
    expect(helped, 0, err="")
    check(helped.out.startswith("Использование: ozr extract АРХИВ"), "extract help", helped)
    check(os.listdir(box) == [], "a failed command wrote files")


def test_round_trips(ozr, craft, box):
    make_tree(os.path.join(box, "src"))
    cases = [
        ("plain", [], "архив.ozr", [], 6),
        ("encrypted", ["-p", PASSWORD], "архив.ozr", [], 6),
        ("titled, commented, stored", ["-l", "0", "--title", "Документы", "--comment",
                                       "Первая строка\nВторая строка"], "Документы",
         ["Первая строка", "Вторая строка"], 0),
    ]
    for name, options, title, comment, level in cases:
        archive = "архив.ozr"  # packing again replaces it
        password = ["-p", PASSWORD] if "-p" in options else []
        packed = ozr.run(["pack", archive, os.path.join("src", "дерево")] + options, box)
        expect(packed, 0, err="")
        listed = ozr.run(["list", archive], box)
        expect(listed, 0, err="")
        pattern = list_pattern(title, comment, 4, TREE_TOTAL, level, tree_entries())
        check(re.fullmatch(pattern, listed.out), f"{name}: listing", listed)
        # pack reports the same summary and level lines the listing shows
        summary = listed.out.split("\n")[1 + len(comment):3 + len(comment)]
        check(packed.out == "\n".join(summary) + "\n", f"{name}: pack output", packed)
        expect(ozr.run(["test", archive] + password, box), 0, TESTED, "")
        out = f"out-{len(options)}"
        expect(ozr.run(["extract", archive, "-o", out] + password, box), 0, SUCCESS, "")
        same_tree(os.path.join(box, "src"), os.path.join(box, out))


def test_passwords(ozr, craft, box):
    make_tree(os.path.join(box, "src"))
    expect(ozr.run(["pack", "e.ozr", "src", "-p", PASSWORD, "-q"], box), 0, "", "")
    expect(ozr.run(["test", "e.ozr"], box), 1, "", "Введите пароль.\n")
    expect(ozr.run(["test", "e.ozr", "-p", ""], box), 1, "", "Введите пароль.\n")
    for command in (["test", "e.ozr"], ["extract", "e.ozr", "-o", "out"]):
        result = ozr.run(command + ["-p", "Пароль"], box)
        check(result.code == 1 and result.out == "" and result.err in WRONG_PASSWORD,
              "wrong password", result)
    check(files_under(os.path.join(box, "out")) == [], "a wrong password left files")
    # A password of 16 UTF-16 units is the longest; emoji take two units each.
    longest = "😀" * 8
    expect(ozr.run(["pack", "l.ozr", "src", "-p", longest, "-q"], box), 0, "", "")
    expect(ozr.run(["test", "l.ozr", "-p", longest, "-q"], box), 0, "", "")


def flip(path, at):
    data = bytearray(read(path))
    data[at] ^= 0x40
    write(path, bytes(data))


def test_damaged_archives(ozr, craft, box):
    write(os.path.join(box, "src", "a.txt"), content("a.txt", 150000))
    expect(ozr.run(["pack", "good.ozr", "src", "-q"], box), 0, "", "")
    size = os.path.getsize(os.path.join(box, "good.ozr"))
    cases = [
        # name, damage, command, stderr
        ("payload byte", lambda p: flip(p, 100), "test",
         "Введен неверный пароль (контрольные суммы не совпали).\n"),
        ("trailer", lambda p: flip(p, size - 2), "list", "Ошибка при чтении архива.\n"),
        ("cut short", lambda p: write(p, read(p)[:size - 30]), "test",
         "Ошибка при чтении архива.\n"),
        ("empty file", lambda p: write(p, b""), "list", "Ошибка при чтении архива.\n"),
    ]
    for name, damage, command, err in cases:
        path = os.path.join(box, "bad.ozr")
        shutil.copyfile(os.path.join(box, "good.ozr"), path)
        damage(path)
        expect(ozr.run([command, "bad.ozr"], box), 1, "", err)
    # extracting a damaged entry leaves nothing behind
    shutil.copyfile(os.path.join(box, "good.ozr"), os.path.join(box, "bad.ozr"))
    flip(os.path.join(box, "bad.ozr"), 100)
    result = ozr.run(["extract", "bad.ozr", "-o", "out"], box)
    expect(result, 1, "")
    check(files_under(os.path.join(box, "out")) == [], "a damaged entry left a file")


def test_overwrite(ozr, craft, box):
    make_tree(os.path.join(box, "src"))
    expect(ozr.run(["pack", "a.ozr", "src", "-q"], box), 0, "", "")
    existing = os.path.join("out", "src", "дерево", "ПРОЧТИ.txt")
    shown = ozr.sep.join(["out", "src", "дерево", "ПРОЧТИ.txt"])
    kept = f"Файл {shown} уже существует.\nПерезаписать? нет\n"
    cases = [
        ([], b"old", kept),  # no terminal: keep
        (["--overwrite", "ask"], b"old", kept),  # nobody to ask: keep
        (["--overwrite", "no"], b"old", kept),
        (["--overwrite", "yes"], content("дерево/ПРОЧТИ.txt", 12), ""),
    ]
    for options, expected, err in cases:
        shutil.rmtree(os.path.join(box, "out"), ignore_errors=True)
        write(os.path.join(box, existing), b"old")
        expect(ozr.run(["extract", "a.ozr", "-o", "out"] + options, box), 0, SUCCESS, err)
        check(read(os.path.join(box, existing)) == expected, f"{options}: content")
        check(len(files_under(os.path.join(box, "out"))) == 4, f"{options}: other files")


def test_selected_entries(ozr, craft, box):
    make_tree(os.path.join(box, "src"))
    expect(ozr.run(["pack", "a.ozr", os.path.join("src", "дерево"), "-q"], box), 0, "", "")
    numbered = ozr.run(["list", "a.ozr", "-n"], box)
    expect(numbered, 0, err="")
    entries = numbered.out.split("\n")[3:-1]
    check([e.split("\t")[0] for e in entries] == ["0", "1", "2", "3"], "numbers", numbered)
    check(entries[2].startswith("2\tдерево\\документы\\отчёт.txt;"), "third entry", numbered)
    expect(ozr.run(["extract", "a.ozr", "-o", "out", "2", "0", "2"], box), 0, SUCCESS, "")
    check(files_under(os.path.join(box, "out")) ==
          ["дерево/ПРОЧТИ.txt", "дерево/документы/отчёт.txt"], "selected entries")
    expect(ozr.run(["test", "a.ozr", "4"], box), 1, "", "В архиве нет файла с номером 4.\n")
    expect(ozr.run(["extract", "a.ozr", "-o", "a.ozr"], box), 1, "",
           "Недопустимая директория для распаковки файлов.\n")


def test_unsafe_names(ozr, craft, box):
    # name -> as the messages show it
    hostile = {n: n for n in ["..\\escape1.txt", "a\\..\\..\\escape2.txt", "/tmp/escape3.txt",
                              "C:\\escape4.txt", "a/../../escape5.txt",
                              "x\\..\\..\\..\\..\\escape6.txt"]}
    hostile["invoice\u202efdp.exe"] = "invoice\ufffdfdp.exe"
    hostile["..\\a\nВыбранные файлы успешно распакованы."] = \
        "..\\a\ufffdВыбранные файлы успешно распакованы."
    args = ["hostile.ozr", "ok.txt=fine", "\\rooted.txt=inside"] + [f"{n}=bad" for n in hostile]
    expect(craft.run(args, box), 0)
    os.makedirs(os.path.join(box, "deep", "er"))
    result = ozr.run(["extract", os.path.join("..", "..", "hostile.ozr"), "-o", "out"],
                     os.path.join(box, "deep", "er"))
    refused = "".join(f"Недопустимое имя файла в архиве: {n}.\nПрервать распаковку? нет\n"
                      for n in hostile.values())
    expect(result, 1, SUCCESS, refused)
    check(files_under(box) == ["deep/er/out/ok.txt", "deep/er/out/rooted.txt", "hostile.ozr"],
          f"files outside the folder: {files_under(box)}")
    check(not os.path.exists("/tmp/escape3.txt") or read("/tmp/escape3.txt") != b"bad",
          "an absolute name was written")
    # test checks every entry, reports the names apart and does not call the archive sound
    reported = "".join(f"Недопустимое имя файла в архиве: {n}.\n" for n in hostile.values())
    expect(ozr.run(["test", "hostile.ozr"], box), 1, "", reported)
    expect(craft.run(["damaged.ozr", "..\\bad.txt=" + "x" * 100, "ok.txt=fine"], box), 0)
    flip(os.path.join(box, "damaged.ozr"), 6)
    expect(ozr.run(["test", "damaged.ozr"], box), 1, "",
           "Недопустимое имя файла в архиве: ..\\bad.txt.\n"
           "Введен неверный пароль (контрольные суммы не совпали).\n")


def test_trailing_dots_and_spaces(ozr, craft, box):
    names = ["x \\f.txt", "z..\\h.txt", "w \\v \\u.txt", "after.txt"]
    expect(craft.run(["t.ozr"] + [f"{n}=data" for n in names], box), 0)
    expect(ozr.run(["extract", "t.ozr", "-o", "out"], box), 0, SUCCESS, "")
    # Windows programs could not open a level that ends in a dot or a space; Linux keeps names.
    written = ["after.txt", "w/v/u.txt", "x/f.txt", "z/h.txt"] if ozr.windows else \
        ["after.txt", "w /v /u.txt", "x /f.txt", "z../h.txt"]
    check(files_under(os.path.join(box, "out")) == written,
          f"written: {files_under(os.path.join(box, 'out'))}")


def test_links_in_the_folder(ozr, craft, box):
    # A link that leads out of the folder is refused like an unsafe name, whether the entry goes
    # through it to a file or to a folder to be made; one that stays inside is followed.
    expect(craft.run(["l.ozr", "out\\x.txt=evil", "out\\sub\\y.txt=evil", "in\\z.txt=good"],
                     box), 0)
    os.makedirs(os.path.join(box, "outside"))
    os.makedirs(os.path.join(box, "d", "real"))
    os.symlink(os.path.join("..", "outside"), os.path.join(box, "d", "out"))
    os.symlink("real", os.path.join(box, "d", "in"))
    refused = "".join(f"Недопустимое имя файла в архиве: {n}.\nПрервать распаковку? нет\n"
                      for n in ("out\\x.txt", "out\\sub\\y.txt"))
    expect(ozr.run(["extract", "l.ozr", "-o", "d"], box), 1, SUCCESS, refused)
    check(files_under(box) == ["d/real/z.txt", "l.ozr"], f"files: {files_under(box)}")
    check(os.listdir(os.path.join(box, "outside")) == [], "written outside the folder")


def test_question_stops_without_terminal(ozr, craft, box):
    expect(craft.run(["c.ozr", "d\\f.txt=data", "g.txt=more"], box), 0)
    write(os.path.join(box, "out", "d"), b"a file where a folder must be")
    result = ozr.run(["extract", "c.ozr", "-o", "out"], box)
    expect(result, 1, "", f"Не удалось создать директорию out{ozr.sep}d.\n"
                          "Прервать распаковку? да\n")
    check(files_under(os.path.join(box, "out")) == ["d"], "stopped job wrote files")


def test_pack_edges(ozr, craft, box):
    src = os.path.join(box, "src")
    write(os.path.join(src, "full.txt"), b"x")
    write(os.path.join(src, "empty.txt"), b"")
    os.makedirs(os.path.join(src, "hollow"))
    result = ozr.run(["pack", "a.ozr", "src"], box)
    warnings = {f"Пустой файл не может быть записан в архив: src{ozr.sep}empty.txt.",
                f"Пустая папка не может быть записана в архив: src{ozr.sep}hollow."}
    expect(result, 0)
    check(set(result.err.splitlines()) == warnings and len(result.err.splitlines()) == 2,
          "warnings", result)
    listed = ozr.run(["list", "a.ozr"], box)
    check(listed.out.split("\n")[3:] == ["src\\full.txt; размер в архиве: 20 байт, "
                                         "исходный: 1 байт", ""], "entries", listed)
    # nothing to pack: no archive; a failed pack keeps the file it would have replaced
    write(os.path.join(box, "a.ozr"), b"old")
    expect(ozr.run(["pack", "a.ozr", "src/hollow"], box), 1, "",
           "Пустая папка не может быть записана в архив: src/hollow.\n"  # as typed
           "Нет ни одного файла, который можно записать в архив.\n")
    expect(ozr.run(["pack", "a.ozr", "src", "нет"], box), 1, "",
           "Не удалось прочитать файл нет.\n")
    check(read(os.path.join(box, "a.ozr")) == b"old", "failed pack replaced the output")
    check(sorted(os.listdir(box)) == ["a.ozr", "src"], f"left over: {os.listdir(box)}")
    # the same tree packs into the same bytes
    for archive in ("b.ozr", "c.ozr"):
        expect(ozr.run(["pack", archive, "src", "-q", "--title", "T"], box), 0, "", None)
    check(read(os.path.join(box, "b.ozr")) == read(os.path.join(box, "c.ozr")),
          "packing is not reproducible")
    # an archive written into the folder being packed does not pack itself
    expect(ozr.run(["pack", os.path.join("src", "self.ozr"), "src", "-q"], box), 0, "", None)
    expect(ozr.run(["pack", os.path.join("src", "self.ozr"), "src", "-q"], box), 0, "", None)
    listed = ozr.run(["list", os.path.join("src", "self.ozr")], box)
    check("self.ozr;" not in listed.out, "the archive packed itself", listed)


def test_pack_names_the_folder_it_cannot_read(ozr, craft, box):
    if ozr.windows:
        return
    write(os.path.join(box, "src", "a.txt"), b"a")
    write(os.path.join(box, "src", "sub", "b.txt"), b"b")
    os.chmod(os.path.join(box, "src", "sub"), 0)
    # root reads every folder, except from a user namespace of its own
    namespace = ["unshare", "--user"] if os.geteuid() == 0 else []
    done = subprocess.run(namespace + ozr.command(["pack", "a.ozr", "src"]), cwd=box,
                          capture_output=True, timeout=120)
    os.chmod(os.path.join(box, "src", "sub"), 0o755)
    result = Result(done.returncode, done.stdout.decode(), done.stderr.decode())
    expect(result, 1, "", "Не удалось прочитать файл src/sub.\n")


def test_sfx(ozr, craft, box):
    make_tree(os.path.join(box, "src"))
    stub = b"MZ" + random.Random(7).randbytes(70000)
    write(os.path.join(box, "stub.exe"), stub)
    expect(ozr.run(["pack", "s.exe", "src", "--sfx", "--stub", "stub.exe", "-p", PASSWORD],
                   box), 0, err="")
    check(read(os.path.join(box, "s.exe")).startswith(stub), "the stub is not in front")
    listed = ozr.run(["list", "s.exe"], box)
    expect(listed, 0, err="")
    check(listed.out.startswith("s.exe\nВ архиве файлов: 4,"), "sfx listing", listed)
    expect(ozr.run(["extract", "s.exe", "-o", "out", "-p", PASSWORD], box), 0, SUCCESS, "")
    same_tree(os.path.join(box, "src"), os.path.join(box, "out", "src"))
    # without --stub, unpacker.exe next to the program
    bin_dir = os.path.join(box, "bin")
    os.makedirs(bin_dir)
    copy = os.path.join(bin_dir, os.path.basename(ozr.path))
    shutil.copy(ozr.path, copy)
    missing = ozr.run(["pack", "t.exe", "src", "--sfx"], box, path=copy)
    expect(missing, 1, "")
    check(re.fullmatch(r"Не удалось прочитать файл .*[/\\]bin[/\\]unpacker\.exe\.\n\(.+\)\n",
                       missing.err), "missing stub", missing)
    write(os.path.join(bin_dir, "unpacker.exe"), stub)
    expect(ozr.run(["pack", "t.exe", "src", "--sfx", "-q"], box, path=copy), 0, "", "")
    check(read(os.path.join(box, "t.exe")).startswith(stub), "default stub")
    expect(ozr.run(["test", "t.exe"], box), 0, TESTED, "")


def growing_output(process, folder):
    """Whether the program writes a file in `folder` that is not yet in place: one under a
    temporary name, or an unnamed one it holds open (Linux)."""
    real = os.path.realpath(folder) + os.sep
    held = f"/proc/{process.pid}/fd"
    paths = [os.path.join(folder, n) for n in os.listdir(folder) if n != "big.bin"]
    paths += [os.path.join(held, fd) for fd in os.listdir(held)] if os.path.isdir(held) else []
    for path in paths:
        try:  # files and descriptors come and go meanwhile
            if path.startswith(held) and not os.readlink(path).startswith(real):
                continue
            if os.stat(path).st_size > 0:
                return True
        except FileNotFoundError:
            pass
    return False


def test_killed_while_writing(ozr, craft, box):
    # 512 MB of zeros, which a sparse file holds without disk space.
    os.makedirs(os.path.join(box, "src"))
    with open(os.path.join(box, "src", "big.bin"), "wb") as f:
        f.truncate(512 << 20)
    expect(ozr.run(["pack", "big.ozr", "src", "-q", "-l", "1"], box), 0, "", "")
    folder = os.path.join(box, "out", "src")
    for sig in (signal.SIGHUP, signal.SIGTERM, signal.SIGKILL):
        write(os.path.join(folder, "big.bin"), b"old")
        process = subprocess.Popen(
            ozr.command(["extract", "big.ozr", "-o", "out", "--overwrite", "yes", "-q"]),
            cwd=box, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        deadline = time.time() + 60
        while not growing_output(process, folder):
            check(process.poll() is None and time.time() < deadline, f"{sig!r}: no output seen")
            time.sleep(0.001)
        # Held still while the signal is sent, so that it lands in the middle of the entry.
        process.send_signal(signal.SIGSTOP)
        process.send_signal(sig)
        process.send_signal(signal.SIGCONT)
        out, err = process.communicate(timeout=60)
        # Under Wine the server, another process, deletes the marked file a moment after the
        # program is gone.
        deadline = time.time() + 10
        while files_under(os.path.join(box, "out")) != ["src/big.bin"] and time.time() < deadline:
            time.sleep(0.01)
        check(files_under(os.path.join(box, "out")) == ["src/big.bin"],
              f"{sig!r}: left behind {files_under(os.path.join(box, 'out'))}")
        check(read(os.path.join(folder, "big.bin")) == b"old", f"{sig!r}: the old file changed")
        if sig != signal.SIGKILL and not ozr.windows:  # stopped as by Ctrl+C
            expect(Result(process.returncode, out.decode(), err.decode()), 130, "",
                   "Прервано пользователем.\n")


SUITE = [test_usage_and_help, test_round_trips, test_passwords, test_damaged_archives,
         test_overwrite, test_selected_entries, test_unsafe_names, test_trailing_dots_and_spaces,
         test_links_in_the_folder, test_question_stops_without_terminal, test_pack_edges,
         test_pack_names_the_folder_it_cannot_read, test_sfx, test_killed_while_writing]


# --- POSIX builds only: paths as bytes ---------------------------------------------------------

def test_paths_that_are_not_utf8(ozr, craft, box):
    # Each is used byte for byte: written where the user said, read from where it lies.
    write(os.path.join(box, "src", "a.txt"), b"text")
    root = os.fsencode(box)
    os.makedirs(os.path.join(root, b"p\xff", b"in"))
    write(os.path.join(root, b"p\xff", b"in", b"b.txt"), b"more")
    expect(ozr.run([b"pack", b"o\xff.ozr", b"src", b"-q"], box), 0, "", "")
    check(os.path.exists(os.path.join(root, b"o\xff.ozr")), f"archives: {os.listdir(box)}")
    listed = ozr.run([b"list", b"o\xff.ozr"], box)  # a title holds characters only
    check(listed.code == 0 and listed.out.startswith("o\ufffd.ozr\n"), "title", listed)
    shutil.copyfile(os.path.join(root, b"o\xff.ozr"), os.path.join(root, b"\xe0\xf0\xf5.ozr"))
    expect(ozr.run([b"extract", b"\xe0\xf0\xf5.ozr", b"-o", b"out\xff", b"-q"], box), 0, "", "")
    check(read(os.path.join(root, b"out\xff", b"src", b"a.txt")) == b"text", "extracted")
    expect(ozr.run([b"pack", b"p.ozr", b"p\xff/in", b"-q"], box), 0, "", "")
    listed = ozr.run(["list", "p.ozr"], box)
    check(listed.code == 0 and "\nin\\b.txt; " in listed.out,
          "a folder under a parent that is not UTF-8", listed)


# --- at a terminal (POSIX builds only: a pseudo-terminal drives the program) --------------------

def run_on_terminal(ozr, args, cwd, script, timeout=30):
    """Runs with a pseudo-terminal as stdin, stdout and stderr; `script` is a list of (text to
    wait for, text to type or a signal to send). Returns the exit status and everything the
    terminal showed."""
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(cwd)
        os.execv(ozr.path, [ozr.path] + args)
    shown, seen, deadline = b"", 0, time.time() + timeout
    script = [(w.encode(), t if isinstance(t, int) else t.encode()) for w, t in script]
    while True:
        if time.time() > deadline:
            os.kill(pid, signal.SIGKILL)
            raise Failed(f"no end on a terminal; shown so far:\n{shown.decode(errors='replace')}")
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            try:
                data = os.read(fd, 4096)
            except OSError:
                break
            if not data:
                break
            shown += data
        if script and script[0][0] in shown[seen:]:
            seen = shown.index(script[0][0], seen) + len(script[0][0])
            action = script.pop(0)[1]
            if isinstance(action, int):
                os.kill(pid, action)
            else:
                os.write(fd, action)
    _, status = os.waitpid(pid, 0)
    os.close(fd)
    return os.waitstatus_to_exitcode(status), shown.decode().replace("\r\n", "\n")


def test_terminal_password_prompt(ozr, craft, box):
    make_tree(os.path.join(box, "src"))
    expect(ozr.run(["pack", "e.ozr", "src", "-p", PASSWORD, "-q"], box), 0, "", "")
    code, shown = run_on_terminal(ozr, ["test", "e.ozr"], box, [("Пароль: ", PASSWORD + "\n")])
    check(code == 0 and shown.startswith("Пароль: \n") and shown.endswith(TESTED),
          f"prompted test: {code}\n{shown}")
    check(PASSWORD not in shown, "the password was echoed")
    code, shown = run_on_terminal(ozr, ["test", "e.ozr"], box, [("Пароль: ", "неверный\n")])
    last = re.split(r"[\r\n]", shown.rstrip("\n"))[-1] + "\n"
    check(code == 1 and last in WRONG_PASSWORD,
          f"wrong prompted password: {code}\n{shown}")


def test_terminal_questions_and_bar(ozr, craft, box):
    make_tree(os.path.join(box, "src"))
    expect(ozr.run(["pack", "a.ozr", "src", "-q"], box), 0, "", "")
    readme = os.path.join(box, "out", "src", "дерево", "ПРОЧТИ.txt")
    cases = [("н", b"old"), ("да", content("дерево/ПРОЧТИ.txt", 12))]
    for typed, expected in cases:
        shutil.rmtree(os.path.join(box, "out"), ignore_errors=True)
        write(readme, b"old")
        code, shown = run_on_terminal(ozr, ["extract", "a.ozr", "-o", "out"], box,
                                      [("[д/н] ", typed + "\n")])
        check(code == 0 and "Файл out/src/дерево/ПРОЧТИ.txt уже существует.\nПерезаписать? [д/н] "
              in shown and shown.endswith(SUCCESS), f"question: {code}\n{shown}")
        check(read(readme) == expected, f"answer {typed}: content")
        check("\r[1/4] [" in shown and "\r[4/4] [" in shown, f"no progress bar:\n{shown}")
    code, shown = run_on_terminal(ozr, ["test", "a.ozr", "-q"], box, [])
    check(code == 0 and shown == "", f"-q on a terminal: {code}\n{shown!r}")


def test_terminal_ctrl_c(ozr, craft, box):
    write(os.path.join(box, "src", "a.txt"), b"new")
    write(os.path.join(box, "src", "z.bin"), random.Random(3).randbytes(3000000))
    expect(ozr.run(["pack", "a.ozr", "src", "-q"], box), 0, "", "")
    write(os.path.join(box, "out", "src", "a.txt"), b"old")
    # Ctrl+C at the question: it is answered as without a terminal, and the job stops at the
    # first chunk of the next entry, whose partial file is removed.
    code, shown = run_on_terminal(ozr, ["extract", "a.ozr", "-o", "out"], box,
                                  [("[д/н] ", signal.SIGINT)])
    check(code == 130 and "Перезаписать? [д/н] \nнет\n" in shown and
          shown.endswith("\rПрервано пользователем.\n"),
          f"Ctrl+C: {code}\n{shown!r}")
    check(files_under(os.path.join(box, "out")) == ["src/a.txt"], "files after Ctrl+C")
    check(read(os.path.join(box, "out", "src", "a.txt")) == b"old", "kept file changed")


POSIX_SUITE = [test_paths_that_are_not_utf8, test_terminal_password_prompt,
               test_terminal_questions_and_bar, test_terminal_ctrl_c]


# --- the two builds against each other ---------------------------------------------------------

def test_cross(linux, windows, unpacker, box):
    make_tree(os.path.join(box, "src"))
    for maker, reader in ((linux, windows), (windows, linux)):
        tag = "w" if maker.windows else "l"
        archive = f"{tag}.ozr"
        expect(maker.run(["pack", archive, os.path.join("src", "дерево"), "-p", PASSWORD,
                          "--comment", "Сделано\nдругой сборкой"], box), 0, err="")
        listed = [tool.run(["list", archive], box) for tool in (maker, reader)]
        expect(listed[1], 0, listed[0].out, "")
        expect(reader.run(["test", archive, "-p", PASSWORD], box), 0, TESTED, "")
        out = f"out-{tag}"
        expect(reader.run(["extract", archive, "-o", out, "-p", PASSWORD], box), 0, SUCCESS, "")
        same_tree(os.path.join(box, "src"), os.path.join(box, out))
    if unpacker:
        expect(linux.run(["pack", "sfx.exe", "src", "--sfx", "--stub", unpacker, "-q"], box),
               0, "", "")
        check(read(os.path.join(box, "sfx.exe")).startswith(read(unpacker)), "sfx stub")
        listed = linux.run(["list", "sfx.exe"], box)
        expect(windows.run(["list", "sfx.exe"], box), 0, listed.out, "")
        expect(windows.run(["test", "sfx.exe"], box), 0, TESTED, "")


def sign(unsigned, signed, box):
    """Signs as a publisher would, with a throw-away self-signed certificate made on first use.
    The certificate chains to no trusted root, so it is given to verify as its own CA: verify then
    checks the signature and that the file's digest matches the signed one."""
    key, cert = os.path.join(box, "key.pem"), os.path.join(box, "cert.pem")
    if not os.path.exists(cert):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=ozr test publisher", "-keyout", key, "-out", cert],
                       check=True, capture_output=True)
    subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-in", unsigned,
                    "-out", signed], check=True, capture_output=True)
    verified = subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", signed],
                              capture_output=True, text=True)
    check(verified.returncode == 0 and "Signature verification: ok" in verified.stdout,
          f"{signed}: verify\n{verified.stdout}{verified.stderr}")


def test_signed(linux, windows, unpacker, box):
    make_tree(os.path.join(box, "src"))
    expect(linux.run(["pack", "sfx.exe", "src", "--sfx", "--stub", unpacker, "-p", PASSWORD,
                      "-q"], box), 0, "", "")
    check(os.path.getsize(os.path.join(box, "sfx.exe")) % 8 == 0, "sfx length")
    # Another writer: an archive appended by plain concatenation, of a length the signer pads.
    # A stored entry of n bytes makes the archive n bytes longer than one of 0 bytes would be.
    write(os.path.join(box, "one", "x.txt"), b"x")
    expect(linux.run(["pack", "x.ozr", "one", "-l", "0", "--title", "T", "-q"], box), 0, "", "")
    length = len(read(unpacker)) + os.path.getsize(os.path.join(box, "x.ozr"))
    n = 1 + (5 - length) % 8  # the file's length becomes 5 above a multiple of 8
    write(os.path.join(box, "odd", "x.txt"), b"x" * n)
    expect(linux.run(["pack", "odd.ozr", "odd", "-l", "0", "--title", "T", "-q"], box), 0, "", "")
    write(os.path.join(box, "odd.exe"), read(unpacker) + read(os.path.join(box, "odd.ozr")))
    check(os.path.getsize(os.path.join(box, "odd.exe")) % 8 == 5, "odd length")
    for name, source, password in (("sfx", "src", ["-p", PASSWORD]), ("odd", "odd", [])):
        sign(os.path.join(box, f"{name}.exe"), os.path.join(box, f"{name}-signed.exe"), box)
        listed = linux.run(["list", f"{name}.exe"], box)
        expect(listed, 0, err="")
        for tool in (linux, windows):
            tag = f"{name}-{'w' if tool.windows else 'l'}"
            expect(tool.run(["list", f"{name}-signed.exe"], box), 0, listed.out, "")
            expect(tool.run(["extract", f"{name}-signed.exe", "-o", tag] + password, box), 0,
                   SUCCESS, "")
            same_tree(os.path.join(box, source), os.path.join(box, tag, source))


# --- running -----------------------------------------------------------------------------------

class WineSession:
    """Keeps one Wine program (cmd) alive for the whole run. Otherwise each test program would
    start its own wineserver, which inherits the captured output pipes and holds them open for
    seconds after the program has ended."""

    def __init__(self, wine):
        self.keeper = None
        if not wine:
            return
        quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.keeper = subprocess.Popen([wine, "cmd"], stdin=subprocess.PIPE, **quiet)
        subprocess.run([wine, "cmd", "/c", "exit"], stdin=subprocess.DEVNULL, timeout=120,
                       **quiet)

    def close(self):
        if self.keeper:
            self.keeper.stdin.close()
            try:
                self.keeper.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.keeper.kill()

def run_all(tests, call):
    failures = 0
    started = time.time()
    for test in tests:
        box = tempfile.mkdtemp(prefix="ozr-cli-")
        try:
            call(test, box)
            print(f"ok      {test.__name__}")
        except Failed as failure:
            failures += 1
            print(f"FAILED  {test.__name__}\n{failure}")
        finally:
            shutil.rmtree(box, ignore_errors=True)
    print(f"{len(tests) - failures} of {len(tests)} passed in {time.time() - started:.1f} s")
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--ozr")
    parser.add_argument("--craft")
    parser.add_argument("--wine")
    parser.add_argument("--cross", nargs=2, metavar=("LINUX_OZR", "WINDOWS_OZR"))
    parser.add_argument("--unpacker")
    options = parser.parse_args()
    wine = WineSession(os.path.abspath(options.wine) if options.wine else None)
    try:
        return run_suite(options)
    finally:
        wine.close()


def run_suite(options):
    if options.cross:
        linux, windows = Tool(options.cross[0]), Tool(options.cross[1], options.wine)
        unpacker = os.path.abspath(options.unpacker) \
            if options.unpacker and os.path.exists(options.unpacker) else None
        tests = [test_cross] + ([test_signed] if unpacker else [])
        return run_all(tests, lambda t, box: t(linux, windows, unpacker, box))
    ozr, craft = Tool(options.ozr, options.wine), Tool(options.craft, options.wine)
    tests = SUITE + ([] if ozr.windows else POSIX_SUITE)
    return run_all(tests, lambda t, box: t(ozr, craft, box))


if __name__ == "__main__":
    sys.exit(main())
