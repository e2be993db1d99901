# Whole runs of tolvaren.exe on generated local trees, each beside its
# yardstick under the same Wine: the run that changes nothing against a bare
# listing of both trees (10,000 and 100,000 files), the first full copy of
# 2,000 files of 64 KiB against xcopy, and the peak memory per file of a first
# copy of 100,000 files; one flat directory of 50,000 files as the source root,
# its no-change run against the floor and the run's peak memory per file, each
# beside its goal. `./dev bench run flat small` runs only the named parts.
# Single figures here vary by a fifth from run to run,
# so the contenders take turns for TOLVAREN_BENCH_ROUNDS rounds (default 5)
# and the medians are printed with the lowest and highest value. Sourced by
# ./dev bench (which provides say, die, $BUILD, winpath and a running Wine
# session).

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

# One directory of FILES small files: the source root itself, so that the
# whole root is what a start could list.
bench_generate_flat() {  # DIR FILES
    [ -f "$1.done" ] && return 0
    say "generating $1 (one directory of $2 files)"
    rm -rf "$1"
    python3 - "$@" <<'PY' || die "tree generation failed"
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
rnd = random.Random(1)
pool = os.urandom(65536 + 2000)
os.makedirs(root)
for f in range(count):
    start = rnd.randint(0, 65535)
    with open(os.path.join(root, "файл%05d.dat" % f), "wb") as out:
        out.write(pool[start:start + rnd.randint(10, 2000)])
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

# Median, lowest and highest of the numbers given: "median (low-high)".
bench_spread() {
    printf '%s\n' "$@" | LC_ALL=C sort -g | LC_ALL=C awk '{ v[NR] = $1 }
        END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
              if (v[1] ~ /\./) printf "%.2f (%.2f-%.2f)", m, v[1], v[NR]
              else printf "%d (%d-%d)", m, v[1], v[NR] }'
}

bench_rounds() { echo "${TOLVAREN_BENCH_ROUNDS:-5}"; }

bench_run_tolvaren() {  # INI: prints "ms peak_ws peak_private"
    bench_measure "$(winpath "$RUN_BUILD/tolvaren.exe")" "$(winpath "$1")" /n
}

# The run that changes nothing against the listing of both trees. The
# destination is made by a first run, which also gives the peak memory, or
# with MADE=unix by a Unix copy. With GOAL_RATIO and GOAL_BYTES the figures
# are printed beside those goals.
bench_nochange() {  # NAME SRC FILES [GOAL_RATIO GOAL_BYTES [MADE]]
    local name=$1 src=$2 files=$3 dst=$BENCH/$1-dst ini=$BENCH/$1.ini r
    local goal_ratio=${4:-} goal_bytes=${5:-} made=${6:-run}
    local runs=() floors=() ratios=() peaks=() run floor first
    rm -rf "$dst"
    bench_ini "$ini" "$src" "$dst"
    if [ "$made" = unix ]; then
        # A first copy into one directory of many files costs minutes under
        # Wine (each new name is looked up in every letter case by listing the
        # directory): the destination is copied on the Unix side instead.
        cp -a "$src" "$dst"
        first="0 0 0"
    else
        first=$(bench_run_tolvaren "$ini")
    fi
    [ ! -e "$dst/tolvaren.err" ] || die "$name: the first copy reported errors: $(cat "$dst/tolvaren.err")"
    for ((r = 1; r <= $(bench_rounds); r++)); do
        if ((r % 2)); then
            run=$(bench_run_tolvaren "$ini")
            floor=$(bench_measure "$(winpath "$RUN_BUILD/helpers/bench_list_floor.exe")" "$(winpath "$src")" "$(winpath "$dst")")
        else
            floor=$(bench_measure "$(winpath "$RUN_BUILD/helpers/bench_list_floor.exe")" "$(winpath "$src")" "$(winpath "$dst")")
            run=$(bench_run_tolvaren "$ini")
        fi
        runs+=("${run%% *}")
        floors+=("${floor%% *}")
        ratios+=("$(bench_ratio "${runs[-1]}" "${floors[-1]}")")
        set -- $run
        peaks+=("$(( ($3 - BASE_PF) / files ))")
    done
    [ ! -e "$dst/tolvaren.err" ] || die "$name: a run that changes nothing reported errors"
    rm -rf "$dst"
    set -- $first
    local first_ms=$1 first_pf=$3
    printf '%s: %d files\n' "$name" "$files"
    printf '  no-change run %s ms   listing floor %s ms\n' "$(bench_spread "${runs[@]}")" "$(bench_spread "${floors[@]}")"
    printf '                ratio %s%s\n' "$(bench_spread "${ratios[@]}")" "${goal_ratio:+   goal <= $goal_ratio}"
    [ "$made" = unix ] ||
        printf '  first copy    %d ms, peak private memory %d KiB: %s bytes per file above a run on empty trees\n' \
            "$first_ms" $(( first_pf / 1024 )) "$(bench_ratio $(( first_pf - BASE_PF )) "$files")"
    printf '  no-change run peak private memory, bytes per file above a run on empty trees: %s%s\n' \
        "$(bench_spread "${peaks[@]}")" "${goal_bytes:+   goal <= $goal_bytes}"
}

# The first full copy against xcopy /E /I /Y /H /K, both into an empty
# folder; with GOAL_RATIO the ratio is printed beside it.
bench_first_copy() {  # NAME SRC FILES [GOAL_RATIO]
    local name=$1 src=$2 files=$3 goal_ratio=${4:-} dst=$BENCH/$1-dst xdst=$BENCH/$1-xcopy ini=$BENCH/$1.ini r
    local copies=() xcopies=() ratios=() copy xcopy
    bench_ini "$ini" "$src" "$dst"
    for ((r = 1; r <= $(bench_rounds); r++)); do
        rm -rf "$dst" "$xdst"
        sync
        if ((r % 2)); then
            copy=$(bench_run_tolvaren "$ini")
            xcopy=$(bench_ms bench_xcopy "$src" "$xdst")
        else
            xcopy=$(bench_ms bench_xcopy "$src" "$xdst")
            copy=$(bench_run_tolvaren "$ini")
        fi
        [ ! -e "$dst/tolvaren.err" ] || die "$name: the first copy reported errors: $(cat "$dst/tolvaren.err")"
        copies+=("${copy%% *}")
        xcopies+=("$xcopy")
        ratios+=("$(bench_ratio "${copies[-1]}" "${xcopies[-1]}")")
    done
    diff -r "$src" "$dst" >/dev/null || die "$name: the copy differs from the source"
    rm -rf "$dst" "$xdst"
    printf '%s: %d files\n' "$name" "$files"
    printf '  first full copy %s ms   xcopy %s ms\n' "$(bench_spread "${copies[@]}")" "$(bench_spread "${xcopies[@]}")"
    printf '                  ratio %s%s\n' "$(bench_spread "${ratios[@]}")" "${goal_ratio:+   goal <= $goal_ratio}"
}

bench_wanted() {  # PART [NAMES...]: true when no names were given or PART is among them
    local part=$1
    shift
    [ $# -eq 0 ] && return 0
    local name
    for name in "$@"; do [ "$name" = "$part" ] && return 0; done
    return 1
}

bench_run() {  # [large small flat copy ...]
    BENCH=$BUILD/bench
    mkdir -p "$BENCH"
    local part parts=("$@")  # kept: the loop below reuses the positional parameters
    for part in "${parts[@]}"; do
        case $part in large | small | flat | copy) ;; *) die "run: no part named $part" ;; esac
    done
    # 1,000 directories of 10 files, 50 to 165 KiB each: about 1 GiB.
    ! bench_wanted large "$@" || bench_generate "$BENCH/large" 1000 10 51200 168960
    # 100,000 small files in 1,000 directories.
    ! bench_wanted small "$@" || bench_generate "$BENCH/small" 1000 100 10 2000
    # 50,000 small files in the source root itself.
    ! bench_wanted flat "$@" || bench_generate_flat "$BENCH/flat" 50000
    # 2,000 files of 64 KiB in 200 directories.
    ! bench_wanted copy "$@" || bench_generate "$BENCH/copy" 200 10 65536 65536
    # What a run costs without any file: the base of the per-file figure.
    mkdir -p "$BENCH/empty-src"
    rm -rf "$BENCH/empty-dst"
    bench_ini "$BENCH/empty.ini" "$BENCH/empty-src" "$BENCH/empty-dst"
    local r empties=()
    for ((r = 1; r <= $(bench_rounds); r++)); do
        set -- $(bench_run_tolvaren "$BENCH/empty.ini")
        empties+=("$1")
        BASE_PF=$3
    done
    printf 'local trees, %d CPUs shared by every thread of the program, Wine and the X server; %d rounds\n' \
        "$(nproc)" "$(bench_rounds)"
    printf 'a run on empty trees: %s ms\n' "$(bench_spread "${empties[@]}")"
    ! bench_wanted large "${parts[@]}" || bench_nochange large "$BENCH/large" 10000
    ! bench_wanted small "${parts[@]}" || bench_nochange small "$BENCH/small" 100000 1.12 150
    ! bench_wanted flat "${parts[@]}" || bench_nochange flat "$BENCH/flat" 50000 1.30 300 unix
    ! bench_wanted copy "${parts[@]}" || bench_first_copy copy "$BENCH/copy" 2000 0.80
}
