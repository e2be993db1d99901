# Sourced by ./dev demo: a sample source tree and INI in build/demo, one run
# of tolvaren on them, and what it did.
demo_main() {
    local demo=$BUILD/demo
    rm -rf "$demo" && mkdir -p "$demo/source/bin" "$demo/source/Модули"
    printf 'demo application\r\n' > "$demo/source/readme.txt"
    printf 'library\r\n' > "$demo/source/bin/lib.dll"
    printf 'module\r\n' > "$demo/source/Модули/module.dat"
    {
        printf '[Основные параметры]\n'
        printf 'КаталогИсточник=%s\n' "$(winpath "$demo/source")"
        printf 'КаталогПриемник=%s\n' "$(winpath "$demo/destination")"
        printf 'ВыводитьСтатистикуСинхронизации=да\n'
        printf 'ВопросПриОшибке=нет\n'
    } | iconv -f UTF-8 -t CP1251 | sed 's/$/\r/' > "$demo/demo.ini"
    say "running: tolvaren.exe /n demo.ini (in $demo)"
    start_session
    (cd "$demo" && wine "$BUILD/tolvaren.exe" demo.ini /n) || true
    stop_session
    say "destination after the run:"
    (cd "$demo" && find destination | sort)
    for log in tolvaren.out tolvaren.err; do
        if [ -f "$demo/destination/$log" ]; then
            say "$log:"
            iconv -f CP1251 -t UTF-8 "$demo/destination/$log" | tr -d '\r'
        else
            say "$log: not kept (nothing was written to it)"
        fi
    done
}
