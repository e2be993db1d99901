# Whole runs of tolvaren.exe on generated trees, each beside its yardstick:
# a run that changes nothing against a bare listing of both trees, the first
# full copy against xcopy under the same Wine and against native cp -a, and
# tolvaren's peak memory per file. Sourced by ./dev bench (which provides say,
# die, $BUILD, winpath and a running Wine session).

bench_generate() {  # DIR DIRS FILES_PER_DIR MIN_BYTES MAX_BYTES
    [ -f "$1.done" ] && return 0
    say "generating $1 ($2 directories x $3 files)"
    rm -rf "$1"
    python3 - "$@" <<'PY' || die "tree generation failed"
import os, random, sys
root, dirs, per, lo, hi = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
rnd = random.Random(1)
pool = os.urandom(hi + 65536)
top = max(1, int(dirs ** 0.5))
for d in range(dirs):
    path = os.path.join(root, "раздел%02d" % (d % top), "каталог%04d" % d)
    os.makedirs(path, exist_ok=True)
    for f in range(per):
        size = rnd.randint(lo, hi)
        start = rnd.randint(0, 65535)
        with open(os.path.join(path, "файл%03d.dat" % f), "wb") as out:
            out.write(pool[start:start + size])
PY
    touch "$1.done"
}

bench_ini() {  # INI SRC DST
    printf '[Основные параметры]\r\nКаталогИсточник=%s\r\nКаталогПриемник=%s\r\nВыводитьСтатистикуСинхронизации=нет\r\nВыполнить=\r\n' \
        "$(winpath "$2")" "$(winpath "$3")" | iconv -f UTF-8 -t CP1251 > "$1"
}

# Runs a Windows command line under bench_measure; prints "ms peak_ws peak_private".
bench_measure() {
    local out=$BENCH/measure.txt
    rm -f "$out"
    "$WINE" "$RUN_BUILD/helpers/bench_measure.exe" "$(winpath "$out")" "$@" </dev/null >/dev/null 2>&1
    [ -s "$out" ] || die "measurement failed: $*"
    tr -d "\r" < "$out"
}

bench_ms() {  # native command; prints its wall time in ms
    local t0 t1
    t0=$(date +%s%N)
    "$@" || die "failed: $*"
    t1=$(date +%s%N)
    echo $(( (t1 - t0) / 1000000 ))
}

bench_xcopy() {
    "$WINE" xcopy "$(winpath "$1")" "$(winpath "$2")" /E /I /Y /H /K </dev/null >"$BENCH/xcopy.log" 2>&1
}

bench_ratio() { LC_ALL=C awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }

bench_tree() {  # NAME SRC FILES
    local name=$1 src=$2 files=$3 dst=$BENCH/$1-dst xdst=$BENCH/$1-xcopy cdst=$BENCH/$1-cp ini=$BENCH/$1.ini
    local first nochange floor xcopy cpms
    rm -rf "$dst" "$xdst" "$cdst"
    bench_ini "$ini" "$src" "$dst"
    sync
    first=$(bench_measure "$(winpath "$RUN_BUILD/tolvaren.exe")" "$(winpath "$ini")" /n)
    [ -z "$(find "$dst" -name tolvaren.err)" ] || die "$name: the first copy reported errors: $(cat "$dst/tolvaren.err")"
    nochange=$(bench_measure "$(winpath "$RUN_BUILD/tolvaren.exe")" "$(winpath "$ini")" /n)
    floor=$(bench_measure "$(winpath "$RUN_BUILD/helpers/bench_list_floor.exe")" "$(winpath "$src")" "$(winpath "$dst")")
    # xcopy spins when started without a console of its own: timed from here.
    xcopy=$(bench_ms bench_xcopy "$src" "$xdst")
    cpms=$(bench_ms cp -a "$src" "$cdst")
    rm -rf "$dst" "$xdst" "$cdst"

    set -- $first; local first_ms=$1 first_ws=$2 first_pf=$3
    set -- $nochange; local none_ms=$1 none_ws=$2 none_pf=$3
    set -- $floor; local floor_ms=$1
    set -- $xcopy; local xcopy_ms=$1
    local peak=$(( first_pf > none_pf ? first_pf : none_pf ))
    local peakws=$(( first_ws > none_ws ? first_ws : none_ws ))
    printf '%s: %d files\n' "$name" "$files"
    printf '  no-change run   %7d ms   listing floor %7d ms   ratio %s (target <= 1.30)\n' \
        "$none_ms" "$floor_ms" "$(bench_ratio "$none_ms" "$floor_ms")"
    printf '  first full copy %7d ms   xcopy         %7d ms   ratio %s (target <= 1.00)\n' \
        "$first_ms" "$xcopy_ms" "$(bench_ratio "$first_ms" "$xcopy_ms")"
    printf '                                    cp -a         %7d ms   ratio %s\n' \
        "$cpms" "$(bench_ratio "$first_ms" "$cpms")"
    printf '  peak memory     private %d KiB, working set %d KiB: %s bytes per file in all,\n' \
        $(( peak / 1024 )) $(( peakws / 1024 )) "$(bench_ratio "$peak" "$files")"
    printf '                  %s bytes per file above a run on an empty tree (%d KiB) (target < 1024)\n' \
        "$(bench_ratio $(( peak - BASE_PF )) "$files")" $(( BASE_PF / 1024 ))
}

bench_run() {
    BENCH=$BUILD/bench
    mkdir -p "$BENCH"
    # 1,000 directories of 10 files, 50 to 165 KiB each: about 1 GiB.
    bench_generate "$BENCH/large" 1000 10 51200 168960
    # 100,000 small files in 1,000 directories.
    bench_generate "$BENCH/small" 1000 100 10 2000
    # What a run costs without any file: the base of the per-file figure.
    mkdir -p "$BENCH/empty-src"
    rm -rf "$BENCH/empty-dst"
    bench_ini "$BENCH/empty.ini" "$BENCH/empty-src" "$BENCH/empty-dst"
    set -- $(bench_measure "$(winpath "$RUN_BUILD/tolvaren.exe")" "$(winpath "$BENCH/empty.ini")" /n)
    BASE_PF=$3
    bench_tree large "$BENCH/large" 10000
    bench_tree small "$BENCH/small" 100000
}
