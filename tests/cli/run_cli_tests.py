#!/usr/bin/env python3
"""Runs the built `ozr` as a user would, on real files: one table of command lines with their exact
stdout, stderr (or all a terminal shows), exit status and the files they leave. With --ozr: one
build (Windows through --wine); with --cross: archives made by each build are read by the other."""

import argparse, os, pty, random, re, select, shutil, signal, subprocess, sys, tempfile, time

PASSWORD = "пароль"
DONE = "Выбранные файлы успешно распакованы.\n"
SUMMARY = "В архиве файлов: 3, размер в архиве: {?}, исходный: 294.48 КБ\nСтепень сжатия: "
ENTRIES = ["дерево\\ПРОЧТИ.txt; размер в архиве: {?}, исходный: 12 байт\n",
           "дерево\\а\\б\\глубоко.txt; размер в архиве: {?}, исходный: 1.50 КБ\n",
           "дерево\\снимок.bin; размер в архиве: {?}, исходный: 292.97 КБ\n"]
TREE = {"дерево/ПРОЧТИ.txt": b"read me now\n", "дерево/а/б/глубоко.txt": b"deep line\n" * 153 +
        b"......", "дерево/снимок.bin": random.Random(5).randbytes(300000)}
WIPE = "\r" + " " * 43 + "\r"  # what clears the bar of two entries
STUB = b"MZ" + random.Random(7).randbytes(70000)
NEW = {"t/a.txt": b"new", "t/z.bin": random.Random(3).randbytes(3000000)}


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def matches(expected, actual):
    """Exact text, where "{?}" stands for any text within a line and "{*}" for any text."""
    pattern = re.escape(expected).replace(r"\{\?\}", "[^\n]+").replace(r"\{\*\}", "[\\s\\S]*")
    return re.fullmatch(pattern, actual) is not None


class Tool:
    def __init__(self, path, wine=None):
        self.path, self.windows = os.path.abspath(path), path.endswith(".exe")
        self.wine = os.path.abspath(wine) if wine and self.windows else None
        self.sep = "\\" if self.windows else "/"

    def run(self, args, cwd, code=0, out=None, err=None, path=None, prefix=()):
        command = ([self.wine] if self.wine else []) + [path or self.path] + list(args)
        done = subprocess.run(list(prefix) + command, cwd=cwd, timeout=120,
                              stdin=subprocess.DEVNULL, capture_output=True)
        # Files and pipes get "\r\n" line ends on Windows.
        got = [s.decode().replace("\r\n", "\n" if self.windows else "\r\n")
               for s in (done.stdout, done.stderr)]
        check(done.returncode == code and (out is None or matches(out, got[0])) and
              (err is None or matches(err, got[1])), f"{args}: expected {code}, {out!r}, {err!r}"
              f"\nexit {done.returncode}\n--- stdout\n{got[0]}--- stderr\n{got[1]}---")
        return got[0]


def write(path, data):
    os.makedirs(os.path.dirname(path) or ".", exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def read(path):
    return open(path, "rb").read()


def files_under(root):
    return {os.path.relpath(os.path.join(d, n), root).replace(os.sep, "/"): read(os.path.join(d, n))
            for d, _, names in os.walk(root) for n in names}


def check_files(box, after):
    """`after`: path -> bytes, None (absent), a predicate, or for a folder a dict of its files."""
    for path, want in after.items():
        full = os.path.join(box, path)
        got = files_under(full) if isinstance(want, dict) else \
            read(full) if os.path.isfile(full) else None
        check(want(got) if callable(want) else got == want,
              f"{path}: {sorted(got) if isinstance(got, dict) else got!r:.200}")


def tree(prefix="", leave=()):
    return {prefix + n: data for n, data in TREE.items() if n not in leave}


def put(files, folders=(), links=()):
    """A step that writes `files`, makes `folders` and (link, target) `links`."""
    def step(box, ozr):
        for path, data in files.items():
            write(os.path.join(box, path), data)
        for path in folders:
            os.makedirs(os.path.join(box, path))
        for path, target in links:
            os.symlink(target, os.path.join(box, path))
    return step


def beside(box, ozr):
    write(os.path.join(box, "bin", "unpacker.exe"), STUB)
    shutil.copy(ozr.path, os.path.join(box, "bin", os.path.basename(ozr.path)))


def sparse(box, ozr):
    os.makedirs(os.path.join(box, "big"))
    with open(os.path.join(box, "big", "big.bin"), "wb") as f:
        f.truncate(512 << 20)  # zeros, which a sparse file holds without disk space


def special(box, ozr):
    put({}, ["r", "r2", "r3"], [("r/file", "../g/k"), ("r/dir", "../d"), ("r2/gone", "nowhere")])(
        box, ozr)
    os.mkfifo(os.path.join(box, "r3", "pipe"))


def unreadable(box, ozr):
    write(os.path.join(box, "u", "sub", "c.txt"), b"c")
    os.chmod(os.path.join(box, "u", "sub"), 0)


def usage(args, message):
    command = args[0] + " " if args and args[0] in ("list", "test", "extract", "pack") else ""
    return args, 2, "", f"{message}\nПодробнее: ozr {command}--help\n"


def asked(folder):
    """All a terminal shows up to the question on t/a.txt in `folder`: no bar before the first
    entry, and the bar makes way for each text."""
    return f"\r[1/2] [{'.' * 30}]   0%{WIPE}Файл {folder}/t/a.txt уже существует.\n" \
        "Перезаписать? [д/н] "


def rows(ozr):
    """(command line, exit status, stdout, stderr, files afterwards, step before, how): later rows
    use what earlier ones made. A command line starting with "bin" runs the copy of the program
    there. How: a script of (text to wait for, text to type or a signal) on a terminal, whose
    whole screen is given as stderr; a signal sent while the program writes the one file of
    `afterwards`; or "unprivileged"."""
    s = ozr.sep
    refused = "Имя файла нельзя записать в архив (в Windows оно недопустимо: «:», имя " \
        "устройства, точка или пробел в конце, знак направления письма): b/a\ufffdb.\n"
    unsafe = "Недопустимое имя файла в архиве: {}.\nПрервать распаковку? нет\n"
    unwritable = "Имя файла нельзя записать в архив (в нём есть «\\» или знаки не в UTF-8): c/"
    skipped = ": это не обычный файл и не папка.\n"
    # Into folder k a file is replaced, into n one is new. Under Wine the packing ends before its
    # output is seen.
    kills = [(["extract", "big.ozr", "-o", o, "--overwrite", "yes"], o + "/big/big.bin") for o in "kn"]
    kills += [] if ozr.windows else [(["pack", o + "2/new.ozr", "big", "-l", "1"], o + "2/new.ozr")
                                     for o in "kn"]
    return [
        usage([], "Не указана команда."),
        usage(["frobnicate"], "Неизвестная команда: frobnicate."),
        usage(["list", "a.ozr", "-p", "x"], "Неизвестный аргумент: -p."),
        usage(["extract", "a.ozr", "-o"], "Не указано значение параметра --output."),
        usage(["extract", "a.ozr", "x1"], "Номер файла должен быть целым числом от 0: x1."),
        usage(["extract", "a.ozr", "-p", "😀" * 9], "Пароль длиннее 16 знаков."),  # 18 UTF-16 units
        usage(["pack"], "Не указан файл архива, который нужно создать."),
        usage(["pack", "x", "d", "-l", "10"], "Степень сжатия должна быть от 0 до 9."),
        usage(["pack", "x", "d", "-p", "x" * 17], "Пароль длиннее 16 знаков."),
        usage(["pack", "x", "d", "--comment", "c" * 200 + "\n" * 28],  # 256 with "\r\n"
              "Комментарий архива длиннее 255 знаков."),
        # Help wins over everything else; each command has its own.
        (["pack", "--help", "-l", "77"], 0, "Использование: ozr pack ВЫХОД{*}", ""),
        (["-h"], 0, "ozr — просмотр, проверка, распаковка и создание архивов .ozr\n{*}", ""),
        (["list", "нет.ozr"], 1, "", "Ошибка при открытии архива.\n({?})\n"),
        # Folders under their name, level by level in name order, then files as given; of "." only
        # the content, without the archive being written.
        (["pack", "s.ozr", ".", "g/k", "-q"], 0, "", "", {},
         put({n: b"x" for n in ("s.ozr", "g/k", "d/b", "d/a b", "d/a/z", "d/Я")})),
        (["list", "s.ozr"], 0, "s.ozr\n{?}\n{?}\n" + "".join(
            f"{n}; {{?}}\n" for n in ("d\\a\\z", "d\\a b", "d\\b", "d\\Я", "g\\k", "k")), ""),
        (["pack", "n.ozr", "p", "v/empty", "-q"], 0, "",
         f"Пустая папка не может быть записана в архив: p{s}h.\n"
         "Пустой файл не может быть записан в архив: v/empty.\n", {}, put(
             {"p/f": b"f", "v/empty": b""}, ["p/h"])),
        (["pack", "n.ozr", "d", "d"], 1, "", "Имя d\\a\\z встречается в архиве дважды.\n"),
        (["pack", "n.ozr", "b/a\u202eb"], 1, "", refused, {}, put({"b/a\u202eb": b"x"})),
        (["pack", "a.ozr", "src/дерево"], 0, SUMMARY + "6\n", "", {}, put(tree("src/"))),
        (["list", "a.ozr", "-n"], 0,
         "a.ozr\n" + SUMMARY + "6\n" + "".join(f"{i}\t{e}" for i, e in enumerate(ENTRIES)), ""),
        (["extract", "-o", "sel", "a.ozr", "2", "0", "2"], 0, DONE, "",
         {"sel": tree(leave=["дерево/а/б/глубоко.txt"])}),
        (["extract", "a.ozr", "0", "-q"], 0, "", "", {"дерево": {"ПРОЧТИ.txt": b"read me now\n"}}),
        (["test", "a.ozr", "2147483647"], 1, "", "В архиве нет файла с номером 2147483647.\n"),
        (["extract", "a.ozr", "-o", "a.ozr"], 1, "",
         "Недопустимая директория для распаковки файлов.\n"),
        (["extract", "a.ozr", "-o", "q"], 1, "",
         f"Не удалось создать директорию q{s}дерево.\nПрервать распаковку? да\n",
         {"q": {"дерево": b"file"}}, put({"q/дерево": b"file"})),
        (["pack", "e.ozr", "src/дерево", "-p", PASSWORD, "-l", "0", "--title", "Д\x1b]0;x\x07",
          "--comment", "Первая\n\x1b[2Jвторая\n"], 0, SUMMARY + "0\n", ""),
        (["list", "e.ozr"], 0, "Д\ufffd]0;x\ufffd\nПервая\n\ufffd[2Jвторая\n\n" + SUMMARY + "0\n" +
         "".join(ENTRIES), ""),
        (["extract", "e.ozr", "-o", "e", "-p", PASSWORD], 0, DONE, "", {"e": tree()}),
        (["pack", "l.ozr", "src", "-p", "😀" * 8, "-l", "9", "--title", "t" * 64, "-q"], 0, "", ""),
        (["test", "l.ozr", "-p", "😀" * 8], 0, "Все файлы архива исправны.\n", ""),
        # The default title: the file name, cut to 64 UTF-16 units, not inside a surrogate pair.
        *[row for name in ("x" + "\U0010fffd" * 40, "xy" + "\U0010fffd" * 40) for row in (
            (["pack", name, "src", "-q"], 0, "", ""), (["list", name], 0, name[:-9] + "\n{*}", "")
        )],
        (["pack", "n.ozr", "src", "test"], 1, "", "Не удалось прочитать файл test.\n",
         {"n.ozr": b"old"}, put({"n.ozr": b"old"})),
        (["pack", "n.ozr", "p/hollow"], 1, "", "Пустая папка не может быть записана в архив: "
         "p/hollow.\nНет ни одного файла, который можно записать в архив.\n", {"n.ozr": b"old"},
         put({}, ["p/hollow"])),
        # Without --stub, the unpacker beside the program.
        (["bin", "pack", "t.exe", "src", "--sfx", "-q"], 0, "", "",
         {"t.exe": lambda data: data.startswith(STUB)}, beside),
        # A signal in the middle of writing leaves the old file, or none, and no temporary one.
        (["pack", "big.ozr", "big", "-q", "-l", "1"], 0, "", "", {}, sparse),
        *[(args + ["-q"], *((None,) * 3 if ozr.windows or sig == signal.SIGKILL else
                            (130, "", "Прервано пользователем.\n")), {target: old},
           put({target: old}) if old else put({}, [os.path.dirname(target)]), sig)
          for args, target in kills for old in [target[0] == "k" and b"old" or None]
          for sig in ((signal.SIGHUP, signal.SIGTERM) if old else ()) + (signal.SIGKILL,)],
        # Whether an entry goes through a link out of the folder to a file or to a folder to be
        # made; a link that stays inside is followed.
        (["pack", "x.ozr", "x", "in", "-q"], 0, "", "", {}, put(
            {"x/f": b"evil", "x/s/g": b"evil", "in/z": b"good"}, ["dd/real", "outside"],
            [("dd/x", "../outside"), ("dd/in", "real")])),
        (["extract", "x.ozr", "-o", "dd"], 1, DONE, unsafe.format("x\\f") +
         unsafe.format("x\\s\\g"), {"outside": {}, "dd/real": {"z": b"good"}}),
    ] + ([] if ozr.windows else [
        # Names that are not UTF-8 are used byte for byte, and are no entry names.
        (["pack", "o\udcff.ozr", "p\udcff/in", "-q"], 0, "", "", {}, put({"p\udcff/in/b": b"m"})),
        (["extract", "o\udcff.ozr", "-o", "out\udcff", "-q"], 0, "", "", {"out\udcff/in/b": b"m"}),
        (["pack", "n.ozr", "c/\udcff"], 1, "", unwritable + "\ufffd.\n", {},
         put({"c/\udcff": b"x"})),
        (["pack", "n.ozr", "c/a\\b"], 1, "", unwritable + "a\\b.\n", {}, put({"c/a\\b": b"x"})),
        # Links to files are followed, to folders not (they may form cycles); others left out.
        (["pack", "n.ozr", "r", "r2", "r3", "-q"], 0, "", "Пропущена ссылка на папку r/dir.\n"
         f"Пропущен r2/gone{skipped}Пропущен r3/pipe{skipped}", {}, special),
        (["list", "n.ozr"], 0, "n.ozr\n{?}\n{?}\nr\\file; {?}\n", ""),
        (["pack", "u.ozr", "u"], 1, "", "Не удалось прочитать файл u/sub.\n", {}, unreadable,
         "unprivileged"),
        (["pack", "t.ozr", "t", "-p", PASSWORD, "-q"], 0, "", "", {}, put(NEW)),
        # The answer is echoed again after the silent password prompt.
        (["extract", "t.ozr", "-o", "o"], 0, None, "Пароль: \n" + asked("o") + "да\n{*}" + WIPE +
         DONE, {"o": NEW}, put({"o/t/a.txt": b"old"}),
         [("Пароль: ", PASSWORD + "\n"), ("[д/н] ", "да\n")]),
        # Ctrl+C at the question: answered as without a terminal; the job stops at the first
        # chunk of the next entry, whose partial file is removed.
        (["extract", "t.ozr", "-o", "o2", "-p", PASSWORD], 130, None,
         asked("o2") + f"\nнет\n\r[2/2] [{'.' * 30}]   0%{WIPE}Прервано пользователем.\n",
         {"o2": {"t/a.txt": b"old"}}, put({"o2/t/a.txt": b"old"}), [("[д/н] ", signal.SIGINT)]),
    ])


def test_table(ozr, box):
    for args, code, out, err, *more in rows(ozr):
        after, before, how = (more + [{}, None, None])[:3]
        if before:
            before(box, ozr)
        if isinstance(how, list):
            got = on_terminal(ozr, args, box, list(how))
            check(got[0] == code and matches(err, got[1]), f"{args} {how}: {got!r:.600}")
        elif isinstance(how, int):
            got = interrupt(ozr, args, box, how, *after.items())
            check(code is None or got == (code, out, err), f"{args} {how!r}: {got}")
        else:
            # root reads every folder, except from a user namespace of its own
            prefix = ["unshare", "--user"] if how and os.geteuid() == 0 else []
            copy = args[:1] == ["bin"] and os.path.join(box, "bin", os.path.basename(ozr.path))
            ozr.run(args[1:] if copy else args, box, code, out, err, path=copy, prefix=prefix)
        check_files(box, after)


def interrupt(ozr, args, box, sig, target_and_old):
    """Sends `sig` while the program writes the target: its exit status, stdout and stderr."""
    target, old = target_and_old
    folder = os.path.dirname(os.path.join(box, target))
    process = subprocess.Popen(([ozr.wine] if ozr.wine else []) + [ozr.path] + args, cwd=box,
                               stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                               stderr=subprocess.PIPE)
    wait_until(lambda: growing_output(process, folder), 60, f"{args} {sig!r}: no output")
    # Held still while the signal is sent, so that it lands in the middle of the writing.
    for each in (signal.SIGSTOP, sig, signal.SIGCONT):
        process.send_signal(each)
    out, err = process.communicate(timeout=60)
    # Under Wine the server, another process, deletes the marked file after the program.
    kept = [os.path.basename(target)] if old else []
    wait_until(lambda: os.listdir(folder) == kept, 10, f"{sig!r}: {os.listdir(folder)}")
    return process.returncode, out.decode(), err.decode()


def wait_until(condition, seconds, failure):
    deadline = time.time() + seconds
    while not condition():
        check(time.time() < deadline, failure)
        time.sleep(0.01)


def growing_output(process, folder):
    """Whether the program writes a file in `folder` not yet in place: one under a name of its
    own, or an unnamed one it holds open (Linux). Also true once it has ended."""
    held = f"/proc/{process.pid}/fd"
    paths = [os.path.join(folder, n) for n in os.listdir(folder)]
    paths += [os.path.join(held, fd) for fd in os.listdir(held)] if os.path.isdir(held) else []
    for path in paths:
        try:  # files and descriptors come and go meanwhile
            inside = not path.startswith(held) or \
                os.readlink(path).startswith(os.path.realpath(folder) + os.sep)
            if inside and os.stat(path).st_size > 3:  # more than the old file's b"old"
                return True
        except FileNotFoundError:
            pass
    return process.poll() is not None


def on_terminal(ozr, args, cwd, script):
    """Runs with a pseudo-terminal as stdin, stdout and stderr; `script` is a list of (text to
    wait for, text to type or a signal to send). Returns the exit status and all it showed."""
    pid, fd = pty.fork()
    if pid == 0:
        os.chdir(cwd)
        os.execv(ozr.path, [ozr.path] + args)
    shown, seen = b"", 0
    while select.select([fd], [], [], 30)[0]:  # silent for 30 s: stuck, and killed below
        try:
            data = os.read(fd, 4096)
        except OSError:  # how Linux ends the terminal of a program that has ended
            data = b""
        if not data:
            break
        shown += data
        if script and script[0][0].encode() in shown[seen:]:
            wait, action = script.pop(0)
            seen = shown.index(wait.encode(), seen) + len(wait.encode())
            os.kill(pid, action) if isinstance(action, int) else os.write(fd, action.encode())
    os.kill(pid, signal.SIGKILL)  # no effect once it has ended
    status = os.waitpid(pid, 0)[1]
    os.close(fd)
    return os.waitstatus_to_exitcode(status), shown.decode().replace("\r\n", "\n")


def test_cross(linux, windows, box):
    """Each build (each crypto backend) writes the same bytes and reads what the other wrote."""
    put(tree("src/"))(box, None)
    for options in ([], ["-p", PASSWORD]):
        for maker, reader in ((linux, windows), (windows, linux)):
            tag = ("w" if maker.windows else "l") + str(len(options))
            maker.run(["pack", f"{tag}.ozr", "src/дерево", "--title", "T", "-q"] + options, box)
            listed = maker.run(["list", f"{tag}.ozr"], box)
            reader.run(["list", f"{tag}.ozr"], box, 0, listed, "")
            reader.run(["extract", f"{tag}.ozr", "-o", tag] + options, box, 0, DONE, "")
            check_files(box, {tag: tree()})
        check(read(os.path.join(box, f"w{len(options)}.ozr")) ==
              read(os.path.join(box, f"l{len(options)}.ozr")), f"{options}: the builds differ")


def main():
    parser = argparse.ArgumentParser()
    for option in ("--ozr", "--wine"):
        parser.add_argument(option)
    parser.add_argument("--cross", nargs=2, metavar=("LINUX_OZR", "WINDOWS_OZR"))
    o = parser.parse_args()
    # One Wine program kept alive for the run, else each starts a wineserver holding its pipes.
    quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    keeper = o.wine and subprocess.Popen([o.wine, "cmd"], stdin=subprocess.PIPE, **quiet)
    if keeper:
        subprocess.run([o.wine, "cmd", "/c", "exit"], stdin=subprocess.DEVNULL, timeout=99, **quiet)
    box, failure = tempfile.mkdtemp(prefix="ozr-cli-"), None
    try:
        if o.cross:
            test_cross(Tool(o.cross[0]), Tool(o.cross[1], o.wine), box)
        else:
            test_table(Tool(o.ozr, o.wine), box)
    except AssertionError as error:
        failure = error
    subprocess.run(["chmod", "-R", "u+rwx", box])  # the unreadable folder too
    shutil.rmtree(box, ignore_errors=True)
    print(f"FAILED\n{failure}" if failure else "passed")
    if keeper:
        keeper.stdin.close()
        keeper.wait(timeout=30)
    return 1 if failure else 0


if __name__ == "__main__":
    sys.exit(main())
