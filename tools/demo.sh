# Sourced by ./dev demo: a sample source tree (with a demo application as
# darv.exe and a splash picture), a demo INI in build/demo, one run of
# tolvaren under Wine with a screenshot of its splash window, and what it did.
demo_tree() {
    local src=$1 i
    mkdir -p "$src/bin/plugins" "$src/Модули/Отчёты" "$src/Справка" "$src/LOGS"
    cp "$RUN_BUILD/helpers/demoapp.exe" "$src/darv.exe"
    python3 "$ROOT/tools/demo_picture.py" "$src/demo.splash"
    printf 'Демонстрационный клиент\r\n' | iconv -f UTF-8 -t CP1251 > "$src/readme.txt"
    printf 'log of the source, ignored\r\n' > "$src/LOGS/source.log"
    for i in $(seq 1 600); do head -c 6000 /dev/urandom > "$src/bin/lib$i.dll"; done
    for i in $(seq 1 400); do head -c 3000 /dev/urandom > "$src/bin/plugins/plugin$i.dat"; done
    for i in $(seq 1 300); do printf 'отчёт %s\r\n' "$i" | iconv -f UTF-8 -t CP1251 > "$src/Модули/Отчёты/отчёт$i.txt"; done
    printf 'справка\r\n' | iconv -f UTF-8 -t CP1251 > "$src/Справка/index.html"
}

demo_ini() {
    {
        printf '[Основные параметры]\r\n'
        printf 'КаталогИсточник=%s\r\n' "$(winpath "$1")"
        printf 'КаталогПриемник=%s\r\n' "$(winpath "$2")"
        printf 'ВыводитьСтатистикуСинхронизации=да\r\n'
        printf 'УдалятьНенужныеФайлы=да\r\n'
        printf 'ВопросПриОшибке=нет\r\n'
        printf '[Игнорировать]\r\ntolvaren.err\r\ntolvaren.out\r\nLOGS\r\n'
        printf '[Оформление]\r\nФоноваяКартинка=demo.splash\r\n'
    } | iconv -f UTF-8 -t CP1251
}

# Waits for a top-level window of this title and saves the screen.
demo_screenshot() {
    local title=$1 out=$2 i
    for i in $(seq 1 100); do
        if xwininfo -root -tree 2>/dev/null | grep -q "$title"; then
            sleep 0.4
            import -window root "$out" 2>/dev/null && say "screenshot: $out" && return 0
        fi
        sleep 0.1
    done
    say "no window \"$title\" appeared for a screenshot"
    return 1
}

demo_main() {
    local demo=$BUILD/demo
    rm -rf "$demo" && mkdir -p "$demo"
    say "making a sample source tree in $demo/source"
    demo_tree "$demo/source"
    mkdir -p "$demo/destination/old"
    printf 'left over from an earlier version\r\n' > "$demo/destination/old/obsolete.dll"
    demo_ini "$demo/source" "$demo/destination" > "$demo/demo.ini"
    say "source: $(find "$demo/source" -type f | wc -l) files; destination before the run:"
    (cd "$demo/destination" && find . -type f | sed 's/^/  /')

    start_session
    say "previewing: tolvaren.exe demo.ini /l (changes nothing; first lines and the summary)"
    (cd "$demo" && "$WINE" "$RUN_BUILD/tolvaren.exe" demo.ini /l </dev/null 2>/dev/null) \
        | iconv -f CP1251 -t UTF-8 | tr -d '\r' > "$demo/preview.txt" || true
    sed -n '1,6p;$p' "$demo/preview.txt" | sed 's/^/  /'
    [ -e "$demo/destination/tolvaren.out" ] && die "the preview wrote into the destination"
    say "running: tolvaren.exe demo.ini (in $demo, display $DISPLAY)"
    (cd "$demo" && "$WINE" "$RUN_BUILD/tolvaren.exe" demo.ini) &
    local run=$!
    demo_screenshot "Синхронизация файлов и каталогов" "$demo/splash.png" || true
    wait "$run" || true
    demo_screenshot "ДАРВ Клиент (демо)" "$demo/application.png" || true
    stop_session

    say "destination after the run:"
    local d
    (cd "$demo/destination" && for d in *; do
        if [ -d "$d" ]; then printf '  %s/  (%s files below)\n' "$d" "$(find "$d" -type f | wc -l)"
        else printf '  %s\n' "$d"; fi
    done)
    say "files copied: $(grep -c '^Копирование файла' <(iconv -f CP1251 -t UTF-8 "$demo/destination/tolvaren.out"))"
    say "old/obsolete.dll (only in the destination) is gone: $([ -e "$demo/destination/old" ] && echo no || echo yes)"
    local log
    for log in tolvaren.out tolvaren.err; do
        if [ -f "$demo/destination/$log" ]; then
            say "$log (first and last lines):"
            iconv -f CP1251 -t UTF-8 "$demo/destination/$log" | tr -d '\r' | sed -n '1,12p;$p'
        else
            say "$log: not kept (nothing was written to it)"
        fi
    done
    if [ -f "$demo/destination/demoapp-started.txt" ]; then
        say "the application was started from the destination:"
        iconv -f CP1251 -t UTF-8 "$demo/destination/demoapp-started.txt"
    else
        die "the application was not started"
    fi
}
