# What one client start asks of the share, with and without the root-only
# check (ПроверятьТолькоКорень): the share benchmark's tree (5,000 files in
# 555 directories, tools/bench/share.sh) on delayfs, and a destination that a
# first copy made equal to it. Three kinds of start, each on a fresh mount
# whose request counts are printed per start:
#   - ПроверятьТолькоКорень=нет, nothing changed: the whole tree is listed;
#   - ПроверятьТолькоКорень=да, nothing changed: only the top directory;
#   - ПроверятьТолькоКорень=да, one file of the top directory changed (the
#     first start after a publication): the whole tree, and that file copied.
#     The share is read-only, so the destination's copy of the file is given
#     an older time instead, which the run tells from a change the same way.
#
# ./dev bench starts [DELAY_MS] (default 1). TOLVAREN_BENCH_ROUNDS sets the
# number of rounds (default 3); times are medians with the lowest and highest
# value, and a count that varied between rounds is printed with its spread.
# Sourced by ./dev bench; the helpers of share.sh and run.sh are shared.

# shellcheck source=tools/bench/share.sh
. "$ROOT/tools/bench/share.sh"

starts_ini() {  # INI DST ROOT_ONLY (да or нет)
    printf '[Основные параметры]\r\nКаталогИсточник=%s\r\nКаталогПриемник=%s\r\nВыводитьСтатистикуСинхронизации=нет\r\nВыполнить=\r\nПроверятьТолькоКорень=%s\r\n' \
        "$(winpath "$BENCH/share-mnt")" "$(winpath "$2")" "$3" | iconv -f UTF-8 -t CP1251 > "$1"
}

starts_run() {  # INI DST: one quiet start; prints "ms peak_ws peak_private"
    bench_measure "$(winpath "$RUN_BUILD/tolvaren.exe")" "$(winpath "$1")" /n
    [ ! -e "$2/tolvaren.err" ] || die "starts: a run reported errors: $(iconv -f CP1251 -t UTF-8 "$2/tolvaren.err")"
}

# "median (low-high)" of counts, or the count alone when every round agreed.
starts_count() {
    if [ "$(printf '%s\n' "$@" | sort -u | wc -l)" = 1 ]; then printf '%s' "$1"; else bench_spread "$@"; fi
}

bench_starts() {
    share_begin

    local ms=${1:-1} us rounds=${TOLVAREN_BENCH_ROUNDS:-3} r kind
    [[ $ms =~ ^[0-9]+([.][0-9]+)?$ ]] || die "starts: the delay is a number of milliseconds, not '$ms'"
    us=$(LC_ALL=C awk -v m="$ms" 'BEGIN { printf "%d", m * 1000 }')
    local dst=$BENCH/starts-dst marker=файл0.dat
    starts_ini "$BENCH/starts-full.ini" "$dst" нет
    starts_ini "$BENCH/starts-root.ini" "$dst" да

    # The destination, made equal to the source by a first copy without delay.
    rm -rf "$dst"
    local first
    share_on_mount first 0 starts_run "$BENCH/starts-full.ini" "$dst"
    diff -r "$BENCH/share-src" "$dst" >/dev/null || die "starts: the first copy differs from the source"

    local -A times=() opendirs=() readdirs=() opens=() reads=()
    local result
    for ((r = 1; r <= rounds; r++)); do
        for kind in full root published; do
            case $kind in
                full) share_on_mount result "$us" starts_run "$BENCH/starts-full.ini" "$dst" ;;
                root) share_on_mount result "$us" starts_run "$BENCH/starts-root.ini" "$dst" ;;
                published)
                    touch -d '2001-01-01 00:00' "$dst/$marker"
                    share_on_mount result "$us" starts_run "$BENCH/starts-root.ini" "$dst"
                    [ "$(stat -c %Y "$dst/$marker")" = "$(stat -c %Y "$BENCH/share-src/$marker")" ] \
                        || die "starts: the changed top-directory file was not copied"
                    ;;
            esac
            set -- $result
            times[$kind]+="$1 "; opendirs[$kind]+="$2 "; readdirs[$kind]+="$3 "
            opens[$kind]+="$4 "; reads[$kind]+="$5 "
        done
    done
    diff -r "$BENCH/share-src" "$dst" >/dev/null || die "starts: the destination differs from the source"
    rm -rf "$dst"

    printf 'starts: 5000 files in 555 directories on the share, a destination equal to it;\n'
    printf '        %s ms per opendir, readdir, open and read; %d rounds, each start on a fresh mount\n' "$ms" "$rounds"
    printf '  %-44s %8s %8s %6s %6s  %s\n' "requests to the share per start" opendir readdir open read "time, ms"
    local label
    for kind in full root published; do
        case $kind in
            full) label="ПроверятьТолькоКорень=нет, no change" ;;
            root) label="ПроверятьТолькоКорень=да, no change" ;;
            published) label="ПроверятьТолькоКорень=да, a top file changed" ;;
        esac
        # printf pads by bytes: the Cyrillic label is padded by hand.
        printf '  %s%*s %8s %8s %6s %6s  %s\n' "$label" $((44 - ${#label})) '' \
            "$(starts_count ${opendirs[$kind]})" "$(starts_count ${readdirs[$kind]})" \
            "$(starts_count ${opens[$kind]})" "$(starts_count ${reads[$kind]})" "$(bench_spread ${times[$kind]})"
    done

    share_unmount
    share_drive_off
    trap stop_session EXIT INT TERM
}
