# Sourced by ./dev bench: scan and comparison of growing trees (every file on
# both sides), time per file and peak memory. The trees are built on the Unix
# side, which is far faster than creating files through Wine.
bench_scan_tree() {  # dir files per_dir depth
    local root=$1 files=$2 per=$3 depth=$4 made=0 d path level
    mkdir -p "$root"
    for ((d = 0; made < files; d++)); do
        path=$root
        for ((level = 0; level < depth; level++)); do
            if ((level == depth - 1)); then path+=/d$d; else path+=/d$((d % 4)); fi
        done
        mkdir -p "$path"
        local n=$(( files - made < per ? files - made : per ))
        (cd "$path" && seq -f 'файл%g.dat' 0 $((n - 1)) | xargs touch)
        made=$((made + n))
    done
}

bench_scan() {
    local exe="$RUN_BUILD/helpers/bench_scan.exe" work
    [ -f "$exe" ] || die "missing $exe"
    work=$(mktemp -d /tmp/tolvaren-bench-scan.XXXXXX)
    local shape label files per depth out="$work/out.txt"
    for shape in "tree:1000:100:2" "tree:10000:100:2" "tree:30000:100:2" "tree:100000:100:2" \
                "flat:50000:50000:1" "10-levels:20000:50:10"; do
        IFS=: read -r label files per depth <<<"$shape"
        bench_scan_tree "$work/src" "$files" "$per" "$depth"
        cp -a "$work/src" "$work/dst"
        "$WINE" "$exe" "$label" "Z:${work//\//\\}\\src" "Z:${work//\//\\}\\dst" >"$out" 2>&1 </dev/null \
            || { cat "$out"; rm -rf "$work"; die "bench_scan failed"; }
        cat "$out"
        rm -rf "$work/src" "$work/dst"
    done
    rm -rf "$work"
}
