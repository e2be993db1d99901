# Sourced by ./dev bench: runs every benchmark of tools/bench/*.sh (each
# defines bench_<name>) and prints its figures. ./dev bench NAME [ARGS] runs
# one, handing it the arguments.
bench_main() {
    local only=${1:-} ran=0 f name
    [ $# -gt 0 ] && shift
    start_session
    for f in "$ROOT"/tools/bench/*.sh; do
        [ -e "$f" ] || continue
        name=$(basename "$f" .sh)
        [ -n "$only" ] && [ "$only" != "$name" ] && continue
        # shellcheck source=/dev/null
        . "$f"
        say "benchmark: $name"
        "bench_$name" "$@"
        ran=1
    done
    stop_session
    [ $ran = 1 ] || die "no benchmark${only:+ named $only}"
}
