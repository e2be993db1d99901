#!/usr/bin/env bash
# A user's first start: tolvaren.exe in a Wine session of its own, where no
# desktop process runs yet. Its first window makes Wine start one, which is
# handed the standard handles of that moment, and the application it starts
# through the shell outlives it. A run that wrote nothing to its logs must
# leave none behind all the same.
#
# The other tests share one session that keeps a desktop open, which hides
# this; a session is per prefix, so this one gets a prefix of its own: the
# project's registry files copied, drive C: linked to the project's. Like a
# user's session it has its services running (wineboot) but no desktop.
#
# Usage: fresh_session.sh BUILD_DIR   (WINEPREFIX: the project's prefix)
set -euo pipefail

build=$1
wine=${TOLVAREN_WINE:-wine}
shared=${WINEPREFIX:?the project prefix}
work=$(mktemp -d)
export WINEPREFIX=$work/prefix LC_ALL=ru_RU.UTF-8 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

cleanup() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$WINEPREFIX/dosdevices"
cp "$shared"/*.reg "$shared/.update-timestamp" "$WINEPREFIX/"
ln -s "$shared/drive_c" "$WINEPREFIX/dosdevices/c:"
ln -s / "$WINEPREFIX/dosdevices/z:"

winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
fail() { echo "FAIL: $*"; exit 1; }

# Processes of this session, found by the prefix in their environment.
session_has() {
    local pid
    for pid in $(pgrep -f "$1" || true); do
        tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && return 0
    done
    return 1
}

# The server is started on its own; wine started before it listens would
# race it for the session, so its socket is waited for: Wine names its
# directory by the prefix's device and inode, below /tmp/.wine-UID or, in
# newer versions, a /tmp/wine-XXXXXX of its own.
setsid wineserver -p </dev/null >/dev/null 2>&1 &
server=server-$(printf '%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
listening() {
    local s
    for s in /tmp/.wine-"$(id -u)"/"$server"/socket /tmp/wine-*/"$server"/socket; do [ -S "$s" ] && return 0; done
    return 1
}
for _ in $(seq 100); do listening && break; sleep 0.1; done
"$wine" wineboot </dev/null >/dev/null 2>&1 || fail "wineboot failed"
for _ in $(seq 50); do session_has 'explorer.exe' || break; sleep 0.2; done
session_has 'explorer.exe' && fail "a desktop process runs before the first window"

# The application (a window program that stays a few seconds) comes with
# the source and is started from the destination as darv.exe.
mkdir -p "$work/src" "$work/dst"
echo "содержимое" > "$work/src/файл.txt"
cp "$build/helpers/demoapp.exe" "$work/src/darv.exe"
printf '[Основные параметры]\r\nКаталогИсточник=%s\r\nКаталогПриемник=%s\r\nПроверятьЗапущеноЛиУже=\r\n' \
    "$(winpath "$work/src")" "$(winpath "$work/dst")" | iconv -f UTF-8 -t CP1251 > "$work/fresh.ini"

"$wine" "$build/tolvaren.exe" "$(winpath "$work/fresh.ini")" </dev/null >"$work/stdout" 2>"$work/stderr" \
    || fail "tolvaren.exe ended with $?"

[ -f "$work/dst/файл.txt" ] || fail "the run did not synchronise"
for _ in $(seq 50); do [ -f "$work/dst/demoapp-started.txt" ] && break; sleep 0.1; done
[ -f "$work/dst/demoapp-started.txt" ] || fail "the application was not started"
session_has 'explorer.exe' || fail "no desktop process was started by the run's window"
for log in tolvaren.err tolvaren.out; do
    [ ! -e "$work/dst/$log" ] || fail "an empty $log was left behind"
done
echo "PASS: no log left behind; the desktop process and the application still run"
