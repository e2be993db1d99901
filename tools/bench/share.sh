# Runs of tolvaren.exe over a simulated SMB share: delayfs (tools/bench/delayfs.c)
# mounts a generated tree of 5,000 small files in 555 directories read-only and
# waits a fixed time before each opendir, readdir, open and read. Beside each
# run stands its yardstick over the same mount: the first full copy against
# xcopy /E /I /Y /H /K under the same Wine, the run that changes nothing
# against a sequential listing of both trees. Every measurement gets a fresh
# mount (no warm kernel caches, and the requests it made are counted), and the
# rounds interleave the contenders.
#
# ./dev bench share [DELAY_MS...] (default 1; 0 shows the layer's own cost).
# TOLVAREN_BENCH_ROUNDS sets the number of rounds (default 3); medians are
# printed with the lowest and highest value. Sourced by ./dev bench (which
# provides say, die, setup_delayfs, $DELAYFS, $BUILD, winpath and a running
# Wine session); the helpers of run.sh are shared.

# shellcheck source=tools/bench/run.sh
. "$ROOT/tools/bench/run.sh"

# The mount is drive Y: of the type "network", as a share is on Windows, so
# that the program copies and lists over it as it does over a share. Wine reads
# drive types when its server starts: the server is started again.
SHARE_DRIVE=
share_drive_on() {  # MNT
    ln -sfn "$1" "$WINEPREFIX/dosdevices/y:"
    "$WINE" reg add 'HKLM\Software\Wine\Drives' /v y: /d network /f </dev/null >/dev/null 2>&1
    SHARE_DRIVE=$1
    wineserver -k </dev/null >/dev/null 2>&1 || true
    setsid wineserver -p </dev/null >/dev/null 2>&1 &
    "$WINE" wineboot </dev/null >/dev/null 2>&1 || true
}
share_drive_off() {
    [ -n "$SHARE_DRIVE" ] || return 0
    "$WINE" reg delete 'HKLM\Software\Wine\Drives' /v y: /f </dev/null >/dev/null 2>&1 || true
    rm -f "$WINEPREFIX/dosdevices/y:"
    SHARE_DRIVE=
}
# winpath, with the mount's own paths on drive Y:.
share_winpath() {
    if [ -n "$SHARE_DRIVE" ] && [ "${1#"$SHARE_DRIVE"}" != "$1" ]; then
        printf 'Y:%s' "${1#"$SHARE_DRIVE"}" | tr '/' '\\'
        [ "$1" = "$SHARE_DRIVE" ] && printf '\\'
    else
        printf 'Z:%s' "$1" | tr '/' '\\'
    fi
}

share_generate() {  # DIR: 5 x 10 x 10 directories below the root, 9 files in each, 5 in the root
    [ -f "$1.done" ] && return 0
    say "generating $1 (5,000 files in 555 directories)"
    rm -rf "$1"
    python3 - "$1" <<'PY' || die "tree generation failed"
import os, random, sys
root = sys.argv[1]
rnd = random.Random(2)
pool = os.urandom(8192)
def files(path, count):
    os.makedirs(path, exist_ok=True)
    for f in range(count):
        size = rnd.randint(100, 4000)
        start = rnd.randint(0, len(pool) - size)
        with open(os.path.join(path, "файл%d.dat" % f), "wb") as out:
            out.write(pool[start:start + size])
files(root, 5)
for a in range(5):
    top = os.path.join(root, "отдел%d" % a)
    files(top, 9)
    for b in range(10):
        mid = os.path.join(top, "группа%02d" % b)
        files(mid, 9)
        for c in range(10):
            files(os.path.join(mid, "каталог%03d" % c), 9)
PY
    touch "$1.done"
}

# The mount of the moment; share_unmount is safe to call at any point.
SHARE_MNT=
SHARE_PID=
share_mount() {  # SRC MNT DELAY_US STATS
    # A mount left by a run that was killed outright, live or with its
    # daemon gone, is detached first.
    fusermount3 -uz "$2" >/dev/null 2>&1 || true
    mkdir -p "$2"
    rm -f "$4"
    SHARE_MNT=$2
    setsid "$DELAYFS" "$1" "$2" -f -o "delay_us=$3,stats=$4" </dev/null >>"$BENCH/delayfs.log" 2>&1 &
    SHARE_PID=$!
    local i
    for i in $(seq 100); do
        mountpoint -q "$2" && return 0
        kill -0 "$SHARE_PID" 2>/dev/null || break
        sleep 0.05
    done
    die "delayfs did not mount $2 (see $BENCH/delayfs.log)"
}

share_unmount() {
    local i
    if [ -n "$SHARE_MNT" ]; then
        # Busy for a moment while a Wine program lets go of its handles.
        for i in $(seq 20); do
            mountpoint -q "$SHARE_MNT" || break
            fusermount3 -u "$SHARE_MNT" 2>/dev/null && break
            sleep 0.25
        done
        if mountpoint -q "$SHARE_MNT"; then fusermount3 -uz "$SHARE_MNT" 2>/dev/null || true; fi
    fi
    if [ -n "$SHARE_PID" ]; then
        for i in $(seq 40); do kill -0 "$SHARE_PID" 2>/dev/null || break; sleep 0.05; done
        kill "$SHARE_PID" 2>/dev/null || true
        wait "$SHARE_PID" 2>/dev/null || true
    fi
    SHARE_MNT=
    SHARE_PID=
}

# Runs COMMAND (which prints its time in ms first) on a fresh mount and sets
# VAR to "ms opendir readdir open read": the time and the delayed requests.
share_on_mount() {  # VAR DELAY_US COMMAND...
    local var=$1 delay=$2 out stats=$BENCH/share-stats.txt
    shift 2
    share_mount "$BENCH/share-src" "$BENCH/share-mnt" "$delay" "$stats"
    out=$("$@")
    share_unmount
    [ -s "$stats" ] || die "delayfs wrote no request counts"
    printf -v "$var" '%s %s' "${out%% *}" "$(awk '{ printf "%s ", $2 }' "$stats")"
}

share_copy() {  # DST: tolvaren's first full copy from the mount
    rm -rf "$1"
    bench_ini "$BENCH/share.ini" "$BENCH/share-mnt" "$1"
    bench_measure "$(winpath "$RUN_BUILD/tolvaren.exe")" "$(winpath "$BENCH/share.ini")" /n
    [ ! -e "$1/tolvaren.err" ] || die "share: the first copy reported errors: $(cat "$1/tolvaren.err")"
}

share_nochange() {  # DST, already equal to the source
    bench_measure "$(winpath "$RUN_BUILD/tolvaren.exe")" "$(winpath "$BENCH/share.ini")" /n
}

share_floor() {  # DST
    bench_measure "$(winpath "$RUN_BUILD/helpers/bench_list_floor.exe")" "$(winpath "$BENCH/share-mnt")" \
        "$(winpath "$1")"
}

# The same listing shared out among 4 threads: what any listing ahead in one
# process can reach here. Wine reads directories under one lock per process
# and opens each directory in its single server thread, so it stays well
# above half of the sequential listing.
share_parallel_floor() {  # DST
    bench_measure "$(winpath "$RUN_BUILD/helpers/bench_list_floor.exe")" -threads 4 "$(winpath "$BENCH/share-mnt")" \
        "$(winpath "$1")"
}

share_xcopy() {  # DST
    rm -rf "$1"
    bench_ms bench_xcopy "$BENCH/share-mnt" "$1"
}

share_target() {  # DELAY_MS TARGET: the targets are set for a share of 1 ms
    [ "$1" = 1 ] && printf '   goal <= %s' "$2" || true
}

share_delay() {  # DELAY_MS
    local ms=$1 us rounds=${TOLVAREN_BENCH_ROUNDS:-3} r
    local dst=$BENCH/share-dst xdst=$BENCH/share-xcopy
    [[ $ms =~ ^[0-9]+([.][0-9]+)?$ ]] || die "share: the delay is a number of milliseconds, not '$ms'"
    us=$(LC_ALL=C awk -v m="$ms" 'BEGIN { printf "%d", m * 1000 }')
    local copies=() xcopies=() nochanges=() floors=() parallels=() copyRatios=() runRatios=() parallelRatios=()
    local copy xcopy nochange floor parallel
    for ((r = 1; r <= rounds; r++)); do
        # The contenders take turns at going first.
        if ((r % 2)); then
            share_on_mount copy "$us" share_copy "$dst"
            share_on_mount xcopy "$us" share_xcopy "$xdst"
        else
            share_on_mount xcopy "$us" share_xcopy "$xdst"
            share_on_mount copy "$us" share_copy "$dst"
        fi
        if ((r == 1)); then
            diff -r "$BENCH/share-src" "$dst" >/dev/null || die "share: the copy differs from the source"
        fi
        if ((r % 2)); then
            share_on_mount nochange "$us" share_nochange "$dst"
            share_on_mount floor "$us" share_floor "$dst"
        else
            share_on_mount floor "$us" share_floor "$dst"
            share_on_mount nochange "$us" share_nochange "$dst"
        fi
        share_on_mount parallel "$us" share_parallel_floor "$dst"
        set -- $copy; copies+=("$1"); local copyRequests=("${@:2}")
        set -- $xcopy; xcopies+=("$1"); local xcopyRequests=("${@:2}")
        set -- $nochange; nochanges+=("$1"); local runRequests=("${@:2}")
        set -- $floor; floors+=("$1"); local floorRequests=("${@:2}")
        copyRatios+=("$(bench_ratio "${copies[-1]}" "${xcopies[-1]}")")
        runRatios+=("$(bench_ratio "${nochanges[-1]}" "${floors[-1]}")")
        set -- $parallel; parallels+=("$1")
        parallelRatios+=("$(bench_ratio "${parallels[-1]}" "${floors[-1]}")")
    done
    rm -rf "$dst" "$xdst"

    printf 'share: 5000 files in 555 directories, %s ms per opendir, readdir, open and read;\n' "$ms"
    printf '       medians of %d interleaved rounds (lowest-highest)\n' "$rounds"
    printf '  first full copy %s ms   xcopy %s ms\n' "$(bench_spread "${copies[@]}")" \
        "$(bench_spread "${xcopies[@]}")"
    printf '                  ratio %s%s\n' "$(bench_spread "${copyRatios[@]}")" "$(share_target "$ms" 0.60)"
    printf '  no-change run   %s ms   sequential listing %s ms\n' "$(bench_spread "${nochanges[@]}")" \
        "$(bench_spread "${floors[@]}")"
    printf '                  ratio %s%s\n' "$(bench_spread "${runRatios[@]}")" "$(share_target "$ms" 0.85)"
    printf '  the same listing on 4 threads %s ms\n' "$(bench_spread "${parallels[@]}")"
    printf '                  ratio %s: the least any run in one process can reach under this Wine\n' \
        "$(bench_spread "${parallelRatios[@]}")"
    printf '  delayed requests of the last round (opendir readdir open read):\n'
    printf '    first copy %s, xcopy %s, no-change run %s, listing %s\n' "${copyRequests[*]}" \
        "${xcopyRequests[*]}" "${runRequests[*]}" "${floorRequests[*]}"
}

# The generated tree, the mount point as drive Y: and the traps that undo
# them: whatever ends the benchmark, the mount goes first, then the Wine session.
share_begin() {
    BENCH=$BUILD/bench
    mkdir -p "$BENCH"
    setup_delayfs
    share_generate "$BENCH/share-src"
    : >"$BENCH/delayfs.log"
    trap 'share_unmount; share_drive_off; stop_session' EXIT
    trap 'share_unmount; share_drive_off; stop_session; exit 130' INT TERM
    share_drive_on "$BENCH/share-mnt"
    winpath() { share_winpath "$@"; }
}

bench_share() {
    share_begin
    local ms
    for ms in "${@:-1}"; do share_delay "$ms"; done
    share_unmount
    share_drive_off
    trap stop_session EXIT INT TERM
}
