# Sourced by ./dev bench: scan and comparison of growing trees, time per
# file and peak memory (both trees are listed; every file exists on both sides).
bench_scan() {
    local exe="$BUILD/helpers/bench_scan.exe"
    [ -f "$exe" ] || die "missing $exe"
    local out; out=$(mktemp)
    wine "$exe" >"$out" 2>&1 </dev/null || { cat "$out"; rm -f "$out"; die "bench_scan failed"; }
    cat "$out"
    rm -f "$out"
}
