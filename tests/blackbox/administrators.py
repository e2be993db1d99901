#!/usr/bin/env python3
"""What administrators use beyond a plain run: the list-only run "/l", the
deletion limit and the summary line, on real trees with the real program.

Usage: administrators.py WINE_RUN TOLVAREN_EXE
"""
import hashlib
import os
import re
import subprocess
import sys
import tempfile

WINE_RUN, TOLVAREN = sys.argv[1:3]
ACTIONS = ("Удаление файла", "Удаление каталога", "Создание каталога", "Копирование файла")
failures = []


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def put(path, text, mtime=1600000000):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write(text)
    os.utime(path, (mtime, mtime))


def write_ini(box, src, dst, extra=""):
    ini = os.path.join(box, "run.ini")
    with open(ini, "wb") as f:
        f.write(("[Основные параметры]\r\nКаталогИсточник=%s\r\nКаталогПриемник=%s\r\nВыполнить=\r\n"
                 "ВопросПриОшибке=нет\r\nУдалятьНенужныеФайлы=да\r\nВыводитьСтатистикуСинхронизации=да\r\n%s"
                 % (winpath(src), winpath(dst), extra)).encode("cp1251"))
    return ini


def run(box, ini, *options, stdout=subprocess.DEVNULL):
    return subprocess.run([WINE_RUN, TOLVAREN, winpath(ini), "/n", *options], cwd=box, stdin=subprocess.DEVNULL,
                          stdout=stdout, stderr=subprocess.DEVNULL, timeout=180)


def snapshot(top):
    state = {}
    for here, dirs, files in os.walk(top):
        for name in dirs + files:
            path = os.path.join(here, name)
            st = os.lstat(path)
            body = hashlib.sha1(open(path, "rb").read()).hexdigest() if name in files else "dir"
            state[os.path.relpath(path, top)] = (body, int(st.st_mtime))
    return state


def lines_of(path):
    with open(path, "rb") as f:
        return f.read().decode("cp1251").splitlines()


def summary_numbers(line):
    return re.findall(r"\d+", line.split(", время")[0]) if line.startswith("Итого: ") else None


def check(condition, text):
    if not condition:
        failures.append(text)


def list_only_matches_the_run(box):
    src, dst = os.path.join(box, "l-src"), os.path.join(box, "l-dst")
    put(os.path.join(src, "same.txt"), "same")
    put(os.path.join(dst, "same.txt"), "same")
    put(os.path.join(src, "newer.txt"), "new", 1600000100)
    put(os.path.join(dst, "newer.txt"), "old")
    put(os.path.join(src, "новый\\вложен\\файл.txt".replace("\\", "/")), "n")
    put(os.path.join(dst, "лишний.txt"), "x")
    put(os.path.join(dst, "старый/a.txt"), "x")
    put(os.path.join(src, "pair.src"), "pair", 1600000100)
    put(os.path.join(dst, "pair.dst"), "old pair")
    ini = write_ini(box, src, dst, "[Проверить пары]\r\npair.dst=pair.src\r\n")
    before = snapshot(dst)

    listed = run(box, ini, "/l", stdout=subprocess.PIPE)
    out = listed.stdout.decode("cp1251").splitlines()
    check(listed.returncode == 0, "/l ended with %d" % listed.returncode)
    check(snapshot(dst) == before, "/l changed the destination")
    check(out and out[-1].startswith("Итого: "), "/l printed no summary line: %r" % out[-1:])

    run(box, ini)
    log = lines_of(os.path.join(dst, "tolvaren.out"))
    actions = [l for l in log if l.startswith(ACTIONS)]
    check(out[:-1] == actions, "/l listed\n  %s\nthe run did\n  %s" % ("\n  ".join(out[:-1]), "\n  ".join(actions)))
    check(len(actions) == 7, "expected 7 actions, the run took %d" % len(actions))
    check(log[-1].startswith("Итого: "), "tolvaren.out does not end with the summary: %r" % log[-1:])
    counted = [sum(l.startswith(p) for l in actions) for p in ("Копирование файла", "Удаление файла",
                                                               "Удаление каталога", "Создание каталога")]
    check(summary_numbers(log[-1]) == [str(n) for n in counted] + ["0"],
          "summary %r does not match the actions %r" % (log[-1], counted))
    check(summary_numbers(out[-1]) == summary_numbers(log[-1]), "the /l summary differs: %r" % out[-1])
    check(re.search(r"время \d+,\d с$", log[-1]) is not None, "no run time in %r" % log[-1])


def deletion_limit(box):
    src, dst = os.path.join(box, "d-src"), os.path.join(box, "d-dst")
    for i in range(100):
        put(os.path.join(src, "f%03d.txt" % i), "f")
        put(os.path.join(dst, "f%03d.txt" % i), "f")
    put(os.path.join(dst, "gone/inner.txt"), "x")
    ini = write_ini(box, src, dst)
    for i in range(80):  # the share now lists only part of its tree
        os.remove(os.path.join(src, "f%03d.txt" % i))
    put(os.path.join(src, "changed.txt"), "c")
    run(box, ini)
    left = sorted(os.listdir(dst))
    check(all(os.path.exists(os.path.join(dst, "f%03d.txt" % i)) for i in range(80)) and "gone" in left,
          "the limit let files go: %d left" % len(left))
    check(os.path.exists(os.path.join(dst, "changed.txt")), "the limit stopped the copies too")
    errors = [l for l in lines_of(os.path.join(dst, "tolvaren.err")) if l.startswith("Ошибка")]
    check(len(errors) == 1 and "81 файлов из 101" in errors[0], "limit error lines: %r" % errors)

    with open(ini, "ab") as f:
        f.write("ПределУдаления=100\r\n".encode("cp1251"))
    run(box, ini)
    check(sorted(os.listdir(dst)) == sorted(["changed.txt", "tolvaren.out"] + ["f%03d.txt" % i for i in range(80, 100)]),
          "with the limit off the surplus stayed: %r" % sorted(os.listdir(dst))[:5])

    # A few files go whatever their share.
    ini = write_ini(box, src, dst)
    for i in range(80, 85):
        os.remove(os.path.join(src, "f%03d.txt" % i))
    run(box, ini)
    check(not any(os.path.exists(os.path.join(dst, "f%03d.txt" % i)) for i in range(80, 85)),
          "five surplus files of twenty were held back")


def main():
    box = tempfile.mkdtemp(prefix="tolvaren-admin-")
    try:
        list_only_matches_the_run(box)
        deletion_limit(box)
    finally:
        if not os.environ.get("KEEP"):
            subprocess.run(["rm", "-rf", box])
    for f in failures:
        print(f)
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
