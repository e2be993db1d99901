#!/usr/bin/env python3
"""Randomised, seeded scenarios of ordinary mistakes and accidents.

Each seed builds a sandbox: a source and a destination with sibling folders
and files outside them, links in both trees (directory and file links, hard
links, links to empty folders), names the ANSI code page cannot address, and
rule lists with hostile entries among ordinary ones. One root may lie inside
the other, named in the INI file by another name of the same place: a Unix
link, a drive letter of Wine's, or its 8.3 short name. The real tolvaren.exe
runs on it several times under Wine (/n); during the first run a directory
being removed is swapped for a link to a folder outside. After every run:
nothing outside the destination changed, the source never changed, ignored
entries never changed, and the destination mirrors the source as the rules
say.

Usage: safety_scenarios.py WINE_RUN TOLVAREN_EXE FAKEAPP_EXE [SEED...]
(SEED defaults to 1..10; each seed is printed with its failures.)
"""
import hashlib
import os
import random
import shutil
import subprocess
import sys
import tempfile
import threading
import time

WINE_RUN, TOLVAREN, FAKEAPP = sys.argv[1:4]
SEEDS = [int(s) for s in sys.argv[4:]] or list(range(1, 11))

WORDS = ["bin", "data", "Модули", "conf", "lib", "Отчёты", "plugins", "res"]
FILES = ["a.txt", "b.dll", "Файл.ini", "readme.md", "x.bin", "Сводка.doc"]
IGNORED = ["UserData", "user.cfg", "keep"]


def winpath(path):
    return "Z:" + path.replace("/", "\\")


WRITTEN = []
WINEPREFIX = os.environ.get("WINEPREFIX", os.path.join(os.path.dirname(os.path.abspath(WINE_RUN)), "..", "build",
                                                        "wineprefix"))
ALIAS_DRIVE = "m:"


def short_name(path):
    """The 8.3 spelling Wine gives a directory, read off its own dir /x."""
    parent, name = os.path.split(path)
    out = subprocess.run([WINE_RUN, "cmd", "/c", "dir", "/x", winpath(parent)], capture_output=True,
                         stdin=subprocess.DEVNULL, timeout=60).stdout.decode("cp1251", "replace")
    for line in out.splitlines():
        words = line.split()
        if len(words) >= 2 and words[-1] == name and words[-2] != name:
            return winpath(parent) + "\\" + words[-2]
    raise RuntimeError("no short name for " + path + " in:\n" + out)


def alias(kind, path, box):
    """Another name of the directory path, of the given kind."""
    if kind == "symlink":
        link = os.path.join(box, "alias")
        os.symlink(path, link)
        return winpath(link)
    if kind == "drive":
        drive = os.path.join(WINEPREFIX, "dosdevices", ALIAS_DRIVE)
        if os.path.lexists(drive):
            os.unlink(drive)
        os.symlink(path, drive)
        return ALIAS_DRIVE.upper() + "\\"
    if kind == "short":
        return short_name(path)
    return winpath(path)


def write(path, text):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    WRITTEN.append(path)


def stamp(paths, when):
    """Times far apart from every earlier copy: the 2-second match never hides a change."""
    for path in paths:
        if os.path.isfile(path) and not os.path.islink(path):
            os.utime(path, (when, when))


def snapshot(root, skip=()):
    """Every entry below root, links recorded as links (never followed)."""
    state = {}
    for here, dirs, files in os.walk(root, followlinks=False):
        rel_here = os.path.relpath(here, root)
        if any(rel_here == s or rel_here.startswith(s + "/") for s in skip):
            dirs[:] = []
            continue
        for name in dirs + files:
            full = os.path.join(here, name)
            rel = os.path.normpath(os.path.join(rel_here, name))
            if any(rel == s or rel.startswith(s + "/") for s in skip):
                continue
            if os.path.islink(full):
                state[rel] = ("link", os.readlink(full))
            elif os.path.isdir(full):
                state[rel] = ("dir",)
            else:
                with open(full, "rb") as f:
                    state[rel] = ("file", hashlib.sha1(f.read()).hexdigest(), int(os.stat(full).st_mtime))
    return state


def random_tree(rng, root, depth=0):
    for name in rng.sample(FILES, rng.randint(1, 3)):
        write(os.path.join(root, name), "%s %d" % (name, rng.random() * 1e9))
    if depth < 2:
        for name in rng.sample(WORDS, rng.randint(0, 2)):
            random_tree(rng, os.path.join(root, name), depth + 1)


class Scenario:
    def __init__(self, seed, base):
        self.rng = rng = random.Random(seed)
        self.seed = seed
        self.box = os.path.join(base, "s%d" % seed)
        outer = os.path.join(self.box, "outer")
        self.outside = os.path.join(outer, "outside")
        self.sibling = os.path.join(outer, "inner", "sibling")
        # The roots apart, the source inside the destination (the template's
        # own Update set-up) or the destination inside the source.
        # The seed picks the layout and the inner root's spelling, so that the
        # default seeds meet every kind.
        layout = ["apart", "source inside", "destination inside"][seed % 3]
        self.source_inside = layout == "source inside"
        self.dest_inside = layout == "destination inside"
        # Long names, so that their 8.3 names differ from them.
        self.dst = os.path.join(outer, "inner", "src", "local_destination") if self.dest_inside \
            else os.path.join(outer, "inner", "dst")
        self.src = os.path.join(self.dst, "app_share_long_name") if self.source_inside \
            else os.path.join(outer, "inner", "src")
        self.alias_kind = ["plain", "symlink", "drive", "short"][seed % 4] if layout != "apart" else "plain"
        self.moved = os.path.join(outer, "moved")  # a folder the administrator moved out with a link
        self.empty = os.path.join(outer, "empty")  # the target of a destination-only link
        self.swapped = False

        random_tree(rng, self.outside)
        random_tree(rng, self.sibling)
        write(os.path.join(outer, "top.txt"), "above the destination")
        random_tree(rng, self.src)
        shutil.copy(FAKEAPP, os.path.join(self.src, "app.exe"))
        if rng.random() < 0.5:
            random_tree(rng, self.dst)  # an earlier, different version
        self.clock = 1700000000

        # Items the rules protect, and odd names beside them.
        write(os.path.join(self.dst, "UserData", "profile.dat"), "mine")
        write(os.path.join(self.dst, "user.cfg"), "mine too")
        write(os.path.join(self.dst, "keep", "notes.txt"), "kept")
        write(os.path.join(self.dst, "UserData.", "stray.txt"), "stray")
        write(os.path.join(self.dst, "user.cfg "), "stray")
        write(os.path.join(self.src, "a.txt"), "real a")
        write(os.path.join(self.dst, "a.txt"), "real a, older")
        write(os.path.join(self.dst, "ä.txt"), "umlaut in the destination")
        write(os.path.join(self.src, "café.txt"), "the application would miss it")
        write(os.path.join(self.src, "pair-source.txt"), "paired")
        # Destination files that are other names of files outside: a Unix
        # link, a hard link, and a pair's target that is a link. Each is older
        # than its source, so each is replaced, never written through.
        for name in ("linked.txt", "hard.txt", "pairlink.txt"):
            write(os.path.join(self.outside, name + ".target"), "outside " + name)
            if name != "pairlink.txt":
                write(os.path.join(self.src, name), "source " + name)
        os.symlink(os.path.join(self.outside, "linked.txt.target"), os.path.join(self.dst, "linked.txt"))
        os.link(os.path.join(self.outside, "hard.txt.target"), os.path.join(self.dst, "hard.txt"))
        os.symlink(os.path.join(self.outside, "pairlink.txt.target"), os.path.join(self.dst, "pairlink.txt"))
        stamp([os.path.join(self.outside, name + ".target") for name in ("linked.txt", "hard.txt", "pairlink.txt")],
              1000000000)
        # A surplus tree removed whole in the first run; while it goes, its
        # directory a_victim is swapped for a link to a folder outside.
        for i in range(1500):
            write(os.path.join(self.dst, "surplus", "z_big", "f%04d.txt" % i), "surplus")
        write(os.path.join(self.dst, "surplus", "a_victim", "v.txt"), "surplus")
        for i in range(50):
            write(os.path.join(self.outside, "victim", "v%02d.txt" % i), "outside victim")

        # Links: destination-only ones to a full and to an empty folder, a
        # destination link where the source has a real directory (the
        # administrator moved it: kept up to date, nothing deleted there),
        # and one in the source.
        os.makedirs(self.dst, exist_ok=True)
        os.makedirs(self.empty, exist_ok=True)
        if not os.path.lexists(os.path.join(self.dst, "linkout")):
            os.symlink(self.outside, os.path.join(self.dst, "linkout"))
        os.symlink(self.empty, os.path.join(self.dst, "emptylink"))
        write(os.path.join(self.src, "data", "fresh.txt"), "from the source")
        write(os.path.join(self.moved, "own.txt"), "only in the moved folder")
        shutil.rmtree(os.path.join(self.dst, "data"), ignore_errors=True)
        os.symlink(self.moved, os.path.join(self.dst, "data"))
        os.symlink(self.sibling, os.path.join(self.src, "srclink"))

        hostile = ["../..", "./..", "sub/../..", "/", "..", ".", "keep/../..", "data/a.txt", "linkout/a.txt",
                   winpath(self.sibling) + "/..", winpath(self.outside), winpath(self.dst) + "\\..\\sibling",
                   "app_share_long_name" if self.source_inside else "..\\src", "..\\..\\src"]
        self.cut = rng.sample(hostile, rng.randint(1, 5)) + ["old"]
        write(os.path.join(self.dst, "old", "gone.txt"), "cut")
        # Everything the destination held before is older than any source file.
        stamp([os.path.join(h, f) for h, d, fs in os.walk(self.dst) for f in fs
               if not os.path.relpath(h, self.dst).startswith("app_share_long_name")], 1000000000)
        self.strict = rng.sample(["Модули", "bin", "../sibling", "conf"], rng.randint(0, 2))

    def source_skip(self):
        return ("local_destination",) if self.dest_inside else ()

    def ini(self):
        src, dst = winpath(self.src), winpath(self.dst)
        if self.source_inside:
            src = alias(self.alias_kind, self.src, self.box)
        elif self.dest_inside:
            dst = alias(self.alias_kind, self.dst, self.box)
        lines = ["[Основные параметры]",
                 "КаталогИсточник=" + src,
                 "КаталогПриемник=" + dst,
                 "УдалятьНенужныеФайлы=да",
                 "ПределУдаления=100",  # the gate is under test here, not the share of files deleted
                 "ВыводитьСтатистикуСинхронизации=да",
                 "Выполнить=app.exe",
                 "КоманднаяСтрока=0",
                 "ВопросПриОшибке=нет",
                 "[Игнорировать]"] + IGNORED + ["[Вырезать]"] + self.cut + ["[СтрогоСинхронизировать]"] + self.strict + \
                ["[Проверить пары]", "..\\..\\top.txt=pair-source.txt", "linkout\\x.txt=pair-source.txt",
                 "pair.txt=pair-source.txt", "pairlink.txt=pair-source.txt"]
        path = os.path.join(self.box, "run.ini")
        with open(path, "wb") as f:
            f.write("\r\n".join(lines).encode("cp1251"))
        return path

    def swap_during_removal(self, done):
        """As soon as the run announces the surplus tree's removal, its
        directory a_victim becomes a link to a folder outside."""
        out = os.path.join(self.dst, "tolvaren.out")
        victim = os.path.join(self.dst, "surplus", "a_victim")
        while not done.is_set():
            try:
                with open(out, "rb") as f:
                    if "surplus".encode() in f.read() and os.path.isdir(victim) and not os.path.islink(victim):
                        shutil.rmtree(victim)
                        os.symlink(os.path.join(self.outside, "victim"), victim)
                        self.swapped = True
                        return
            except OSError:
                pass
            time.sleep(0.001)

    def run(self):
        ini = self.ini()
        done = threading.Event()
        swapper = threading.Thread(target=self.swap_during_removal, args=(done,))
        swapper.start()
        try:
            subprocess.run([WINE_RUN, TOLVAREN, winpath(ini), "/n"], cwd=self.box, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        finally:
            done.set()
            swapper.join()
            for leftover in (os.path.join(self.box, "alias"), os.path.join(WINEPREFIX, "dosdevices", ALIAS_DRIVE)):
                if os.path.islink(leftover):
                    os.unlink(leftover)
        err = os.path.join(self.dst, "tolvaren.err")
        return open(err, encoding="cp1251").read() if os.path.exists(err) else ""

    def mutate(self):
        rng = self.rng
        del WRITTEN[:]
        victims = [os.path.join(h, f) for h, _, fs in os.walk(self.src, followlinks=False) for f in fs
                   if not os.path.islink(os.path.join(h, f))]
        for path in rng.sample(victims, min(2, len(victims))):
            write(path, "changed %d" % rng.random())
        random_tree(rng, os.path.join(self.src, rng.choice(WORDS)))
        self.clock += 100
        stamp(WRITTEN, self.clock)


def mirrored(scenario):
    """Differences between the source and the destination after a clean run."""
    skip = set(IGNORED) | {"old", "tolvaren.err", "tolvaren.out", "data", "linkout", "emptylink", "srclink", "pair.txt",
                           "pairlink.txt", "pair-source.txt", "surplus"}
    if scenario.source_inside:
        skip.add("app_share_long_name")
    if scenario.dest_inside:
        skip.add("local_destination")

    def files(root):
        out = {}
        for here, dirs, names in os.walk(root, followlinks=False):
            rel_here = os.path.relpath(here, root)
            if rel_here.split("/")[0] in skip:
                continue
            dirs[:] = [d for d in dirs if addressable(d)]
            for name in names:
                rel = os.path.normpath(os.path.join(rel_here, name))
                if rel in skip or not addressable(name):
                    continue
                with open(os.path.join(here, name), "rb") as f:
                    out[rel] = f.read()
        return out

    src, dst = files(scenario.src), files(scenario.dst)
    return sorted(set(src.items()) ^ set(dst.items()))


def addressable(name):
    """Whether narrow (Windows-1251) paths can name it exactly."""
    try:
        name.encode("cp1251")
    except UnicodeEncodeError:
        return False
    return not name.endswith((".", " "))


def check(scenario, label, before, err):
    problems = []
    for what, root, skip in (("outside", scenario.outside, ()), ("sibling", scenario.sibling, ()),
                             ("source", scenario.src, scenario.source_skip())):
        if snapshot(root, skip) != before[what]:
            problems.append("%s changed" % what)
    top = os.path.join(scenario.box, "outer", "top.txt")
    if not os.path.exists(top) or open(top).read() != "above the destination":
        problems.append("the file above the destination changed")
    for item in IGNORED + ["UserData.", "user.cfg ", "ä.txt", "a.txt"]:
        path = os.path.join(scenario.dst, item)
        if not os.path.lexists(path):
            problems.append("%s is gone" % item)
    if snapshot(os.path.join(scenario.dst, "UserData")) != before["UserData"]:
        problems.append("UserData changed")
    for line in err.splitlines():
        hostile_pair = line.endswith("путь вне каталога приемника")
        if ("Ошибка копирования файла" in line and not hostile_pair) or "удаления файла" in line:
            problems.append("a failure in the sandbox: " + line)
    # Other names of outside files were replaced, not written through.
    for name in ("linked.txt", "hard.txt", "pairlink.txt"):
        path = os.path.join(scenario.dst, name)
        want = open(os.path.join(scenario.src, "pair-source.txt" if name == "pairlink.txt" else name)).read()
        if os.path.islink(path) or not os.path.exists(path) or open(path).read() != want:
            problems.append("%s was not replaced by its source" % name)
    # The moved folder is kept up to date and loses nothing.
    if open(os.path.join(scenario.moved, "own.txt")).read() != "only in the moved folder":
        problems.append("the moved folder lost its own file")
    if not os.path.exists(os.path.join(scenario.moved, "fresh.txt")):
        problems.append("the moved folder was not kept up to date")
    if not os.path.isdir(scenario.empty):
        problems.append("the empty folder behind a link is gone")
    if "caf?.txt" not in err:
        problems.append("the unaddressable source name was not reported")
    if not os.path.exists(os.path.join(scenario.dst, "pair.txt")):
        problems.append("the pair inside the destination was not copied")
    if os.path.exists(os.path.join(scenario.outside, "x.txt")):
        problems.append("a pair was written through a link")
    if os.path.exists(os.path.join(scenario.dst, "old")):
        problems.append("the cut entry old is still there")
    return ["seed %d, %s: %s" % (scenario.seed, label, p) for p in problems]


def main():
    failures = []
    base = tempfile.mkdtemp(prefix="tolvaren-safety-")
    try:
        for seed in SEEDS:
            s = Scenario(seed, base)
            print("seed %d: %s, the inner root named %s" % (seed, "source inside" if s.source_inside else
                  "destination inside" if s.dest_inside else "roots apart", s.alias_kind), flush=True)
            for run in range(3):
                before = {"outside": snapshot(s.outside), "sibling": snapshot(s.sibling),
                          "source": snapshot(s.src, s.source_skip()), "UserData": snapshot(os.path.join(s.dst, "UserData"))}
                err = s.run()
                if run == 0 and not s.swapped:
                    print("seed %d: the removal ended before the swap" % seed)
                failures += check(s, "run %d" % (run + 1), before, err)
                # Refused entries and left-out links change nothing else: the
                # rest mirrors the source on every run.
                failures += ["seed %d, run %d: not mirrored: %s" % (seed, run + 1, d[0])
                             for d in mirrored(s)][:3]
                s.mutate()
    finally:
        subprocess.run(["chmod", "-R", "u+w", base])
        if not os.environ.get("KEEP"): shutil.rmtree(base, ignore_errors=True)
    for f in failures:
        print(f)
    print("%d passed, %d failed" % (len(SEEDS) - len({f.split(",")[0] for f in failures}),
                                    len({f.split(",")[0] for f in failures})))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
