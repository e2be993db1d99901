#!/usr/bin/env python3
"""The splash window comes up while the share does not answer.

The source's root is a delayfs mount that waits DELAY seconds before each
directory or file request. Under Wine such a request stalls the session's
server and with it every window call, so the window comes only after a few
delays (on Windows after the 1.5 s the picture is waited for); looking for
the picture before the window took about twenty. The run has a Wine session
and an X display of its own: its stalls hold up no other test, and no other
program's window is taken for its own.

Usage: hanging_share_splash.py WINE_RUN TOLVAREN_EXE FAKEAPP_EXE BUILD_DIR
(exit 77: no FUSE, delayfs or Xvfb here)
"""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

WINE_RUN, TOLVAREN, FAKEAPP, BUILD_DIR = sys.argv[1:5]
DELAY = 3           # seconds before each request
LIMIT = 12 * DELAY  # the window must be up by then
TITLE = "Синхронизация файлов и каталогов"
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def winpath(path):
    return "Z:" + path.replace("/", "\\")


def wait_for(done, seconds):
    end = time.monotonic() + seconds
    while not done():
        if time.monotonic() > end:
            return False
        time.sleep(0.1)
    return True


def splash_size(env):
    """The size of this session's splash window on the display, None while there is none."""
    tree = subprocess.run(["xwininfo", "-root", "-tree"], env=env, capture_output=True).stdout
    for line in tree.decode("utf-8", "replace").splitlines():
        if '"%s": ("tolvaren' % TITLE in line:
            return line.split(")")[-1].split()[0].split("+")[0]
    return None


def main():
    delayfs = next((p for p in (os.path.join(b, "tools", "delayfs") for b in (BUILD_DIR, os.path.dirname(BUILD_DIR)))
                    if os.access(p, os.X_OK)), None)
    if not (delayfs and os.path.exists("/dev/fuse") and shutil.which("fusermount3") and shutil.which("Xvfb")):
        print("no delayfs, FUSE or Xvfb here: skipped")
        return 77
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))  # a time-out of ctest still cleans up
    box = tempfile.mkdtemp(prefix="tolvaren-hanging-")
    tree, mnt, prefix = (os.path.join(box, n) for n in ("tree", "share", "prefix"))
    env = dict(os.environ, WINEPREFIX=prefix, LC_ALL="ru_RU.UTF-8")
    started = []
    failures = []
    try:
        os.makedirs(tree)
        os.makedirs(mnt)
        shutil.copy(FAKEAPP, os.path.join(tree, "darv.exe"))  # without bitmap 101: the root is searched too
        with open(os.path.join(tree, "a.txt"), "w") as f:
            f.write("a")
        started.append(subprocess.Popen([delayfs, tree, mnt, "-f", "-o", "delay_us=%d" % (DELAY * 1000000)],
                                        start_new_session=True, **QUIET))
        display = 500 + os.getpid() % 300
        while os.path.exists("/tmp/.X%d-lock" % display):
            display += 1
        started.append(subprocess.Popen(["Xvfb", ":%d" % display, "-screen", "0", "1024x768x24", "-nolisten",
                                         "tcp"], start_new_session=True, **QUIET))
        env["DISPLAY"] = ":%d" % display
        if not (wait_for(lambda: os.path.ismount(mnt), 10) and
                wait_for(lambda: os.path.exists("/tmp/.X11-unix/X%d" % display), 10)):
            print("delayfs or Xvfb did not start: skipped")
            return 77
        # A prefix of its own (a session is per prefix) with the project's registry and drive C:.
        shared = os.environ["WINEPREFIX"]
        os.makedirs(os.path.join(prefix, "dosdevices"))
        for name in os.listdir(shared):
            if name.endswith(".reg") or name == ".update-timestamp":
                shutil.copy(os.path.join(shared, name), prefix)
        os.symlink(os.path.join(shared, "drive_c"), os.path.join(prefix, "dosdevices", "c:"))
        os.symlink("/", os.path.join(prefix, "dosdevices", "z:"))
        subprocess.run(["wineserver", "-p"], env=env, timeout=60, **QUIET)  # returns once the server is up

        ini = os.path.join(box, "run.ini")
        with open(ini, "wb") as f:
            f.write(("[Основные параметры]\r\nКаталогИсточник=%s\r\nКаталогПриемник=%s\r\nВыполнить=\r\n"
                     % (winpath(mnt), winpath(os.path.join(box, "dst")))).encode("cp1251"))
        start = time.monotonic()
        started.insert(0, subprocess.Popen([WINE_RUN, TOLVAREN, winpath(ini)], env=env, cwd=box, **QUIET))
        size = None
        while size is None and time.monotonic() - start < LIMIT:
            time.sleep(0.2)
            size = splash_size(env)
        print("window after %.1f s (a request waits %d s)" % (time.monotonic() - start, DELAY))
        if size is None:
            failures.append("no splash window within %d s" % LIMIT)
        elif size != "420x400":
            failures.append("the window is %s, not the built-in 420x400" % size)
    finally:
        if started and started[0].args[0] == WINE_RUN:
            started[0].kill()
        # Waits while the server is still held up by a request on the mount.
        subprocess.run(["wineserver", "-k"], env=env, timeout=120, **QUIET)
        for _ in range(20):
            if not os.path.ismount(mnt) or subprocess.run(["fusermount3", "-u", mnt], **QUIET).returncode == 0:
                break
            time.sleep(0.5)
        if os.path.ismount(mnt):
            subprocess.run(["fusermount3", "-uz", mnt], **QUIET)
        for process in started:
            process.terminate()
            process.wait()
        shutil.rmtree(box, ignore_errors=True)
    for f in failures:
        print(f)
    print("%d passed, %d failed" % (0 if failures else 1, 1 if failures else 0))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
