#!/usr/bin/env python3
"""Randomised, seeded scenarios of ordinary mistakes and accidents.

Each seed builds a sandbox: a source and a destination with sibling folders
and files outside them, links in both trees, names the ANSI code page cannot
address, and rule lists with hostile entries among ordinary ones. The real
tolvaren.exe runs on it several times under Wine (/n), and after every run:
nothing outside the destination changed, the source never changed, ignored
entries never changed, and after a run without errors the destination
mirrors the source as the rules say.

Usage: safety_scenarios.py WINE_RUN TOLVAREN_EXE FAKEAPP_EXE [SEED...]
"""
import hashlib
import os
import random
import shutil
import subprocess
import sys
import tempfile

WINE_RUN, TOLVAREN, FAKEAPP = sys.argv[1:4]
SEEDS = [int(s) for s in sys.argv[4:]] or list(range(1, 9))

WORDS = ["bin", "data", "Модули", "conf", "lib", "Отчёты", "plugins", "res"]
FILES = ["a.txt", "b.dll", "Файл.ini", "readme.md", "x.bin", "Сводка.doc"]
IGNORED = ["UserData", "user.cfg", "keep"]


def winpath(path):
    return "Z:" + path.replace("/", "\\")


WRITTEN = []


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
        layout = rng.choice(["apart", "source inside", "destination inside"])
        self.source_inside = layout == "source inside"
        self.dest_inside = layout == "destination inside"
        self.dst = os.path.join(outer, "inner", "src", "local") if self.dest_inside else os.path.join(outer, "inner", "dst")
        self.src = os.path.join(self.dst, "distr") if self.source_inside else os.path.join(outer, "inner", "src")

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

        # Links: destination-only, a destination link where the source has a
        # real directory, and one in the source.
        os.makedirs(self.dst, exist_ok=True)
        if not os.path.lexists(os.path.join(self.dst, "linkout")):
            os.symlink(self.outside, os.path.join(self.dst, "linkout"))
        write(os.path.join(self.src, "data", "fresh.txt"), "from the source")
        shutil.rmtree(os.path.join(self.dst, "data"), ignore_errors=True)
        os.symlink(self.outside, os.path.join(self.dst, "data"))
        os.symlink(self.sibling, os.path.join(self.src, "srclink"))

        hostile = ["../..", "./..", "sub/../..", "/", "..", ".", "keep/../..", "data/a.txt", "linkout/a.txt",
                   winpath(self.sibling) + "/..", winpath(self.outside), winpath(self.dst) + "\\..\\sibling",
                   "distr" if self.source_inside else "..\\src", "..\\..\\src"]
        self.cut = rng.sample(hostile, rng.randint(1, 5)) + ["old"]
        write(os.path.join(self.dst, "old", "gone.txt"), "cut")
        # Everything the destination held before is older than any source file.
        stamp([os.path.join(h, f) for h, d, fs in os.walk(self.dst) for f in fs
               if not os.path.relpath(h, self.dst).startswith("distr")], 1000000000)
        self.strict = rng.sample(["Модули", "bin", "../sibling", "conf"], rng.randint(0, 2))

    def source_skip(self):
        return ("local",) if self.dest_inside else ()

    def ini(self):
        lines = ["[Основные параметры]",
                 "КаталогИсточник=" + winpath(self.src),
                 "КаталогПриемник=" + winpath(self.dst),
                 "УдалятьНенужныеФайлы=да",
                 "ВыводитьСтатистикуСинхронизации=да",
                 "Выполнить=app.exe",
                 "КоманднаяСтрока=0",
                 "ВопросПриОшибке=нет",
                 "[Игнорировать]"] + IGNORED + ["[Вырезать]"] + self.cut + ["[СтрогоСинхронизировать]"] + self.strict + \
                ["[Проверить пары]", "..\\..\\top.txt=a.txt", "linkout\\x.txt=a.txt", "pair.txt=a.txt"]
        path = os.path.join(self.box, "run.ini")
        with open(path, "wb") as f:
            f.write("\r\n".join(lines).encode("cp1251"))
        return path

    def run(self):
        ini = self.ini()
        subprocess.run([WINE_RUN, TOLVAREN, winpath(ini), "/n"], cwd=self.box, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
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
    skip = set(IGNORED) | {"old", "tolvaren.err", "tolvaren.out", "data", "linkout", "srclink", "pair.txt"}
    if scenario.source_inside:
        skip.add("distr")
    if scenario.dest_inside:
        skip.add("local")

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
        if "Ошибка копирования файла" in line or "удаления файла" in line:
            problems.append("a failure in the sandbox: " + line)
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
            for run in range(3):
                before = {"outside": snapshot(s.outside), "sibling": snapshot(s.sibling),
                          "source": snapshot(s.src, s.source_skip()), "UserData": snapshot(os.path.join(s.dst, "UserData"))}
                err = s.run()
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
