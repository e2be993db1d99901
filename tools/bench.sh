# Sourced by ./dev bench: prints the figures of the benchmarks.
bench_main() {
    die "no benchmarks yet"
}
