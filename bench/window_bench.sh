#!/usr/bin/env bash
# Drives the real window under Xvfb as a user would and measures it from outside:
# "Load file" through the file dialog, "Convert", "Select and copy to clipboard"
# read back with xclip, and "Save as" until its prompt shows; then the program's
# CPU time and peak memory from /usr/bin/time.
#
#   bench/window_bench.sh [PROGRAM] [SIZE_MIB...]       pages, default 20 200
#   bench/window_bench.sh --line [PROGRAM] [SIZE_MIB]   one line without a break, default 5
#
# A step ends when the program has been idle for a while (no CPU time added for
# IDLE_MS); its time is counted up to its last busy tick. The line mode reports the
# CPU the program burns while the cursor sits in the line and how long a typed
# character keeps it busy.
set -uo pipefail

HERE="$(cd "$(dirname "$0")" && pwd)"
TOOLS="${TOOLS:-$HERE/../../shared/tools}" # the shared Xvfb session and driver scripts
WORK="${BENCH_WORK:-/tmp/quillvane-window-bench}"
IDLE_MS="${IDLE_MS:-300}"
mkdir -p "$WORK"

MODE=page
if [ "${1:-}" = "--line" ]; then
    MODE=line
    shift
fi
PROGRAM="$(realpath "${1:-$HERE/../build/release/app/quillvane}")"
shift || true
if [ $# -eq 0 ]; then
    if [ "$MODE" = page ]; then set -- 20 200; else set -- 5; fi
fi

# Inside the X session from here on.
if [ -z "${WINDOW_BENCH_INSIDE:-}" ]; then
    export WINDOW_BENCH_INSIDE=1 TOOLS WORK IDLE_MS
    exec "$TOOLS/xsession.sh" run -- "$0" $([ "$MODE" = line ] && echo --line) "$PROGRAM" "$@"
fi
. "$TOOLS/xdrive.sh"

now_ms() { date +%s%3N; }
HZ=$(getconf CLK_TCK)

# CPU milliseconds the program spent since the given tick count.
cpu_ms_since() { echo $((($(cpu_ticks "$APP_PID") - $1) * 1000 / HZ)); }

# The program's user + system time in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

# Waits until the process has added no CPU time for IDLE_MS, or at most MAX_MS;
# prints the time of its last busy tick (ms since the epoch).
wait_idle() {
    local pid="$1" max_ms="${2:-600000}" last ticks busy_at quiet_since started
    last=$(cpu_ticks "$pid")
    busy_at=$(now_ms)
    started=$busy_at
    quiet_since=$busy_at
    while [ $(($(now_ms) - started)) -lt "$max_ms" ]; do
        sleep 0.02
        ticks=$(cpu_ticks "$pid")
        if [ "$ticks" != "$last" ]; then
            last=$ticks
            busy_at=$(now_ms)
            quiet_since=$busy_at
        elif [ $(($(now_ms) - quiet_since)) -ge "$IDLE_MS" ]; then
            echo "$busy_at"
            return
        fi
    done
    echo "$busy_at"
}

start_program() {
    /usr/bin/time -f '%e %U %S %M' -o "$WORK/time.txt" "$PROGRAM" >"$WORK/program.log" 2>&1 &
    TIME_PID=$!
    WID=$(xd_wait_window '^Quillvane' 20)
    APP_PID=$(pgrep -P "$TIME_PID" | head -1)
    read -r _ CLIENT_H < <(xd_size "$WID")
    MENU_H=$((CLIENT_H - 747)) # the client area below the menu bar is 747 high
    xd_activate "$WID"
    wait_idle "$APP_PID" >/dev/null
}

# Clicks a control of the converter panel at its centre; x y w h inside the panel.
# Returns at once, so that the caller's clock starts with the click.
click_control() {
    point_at "$@"
    xdotool click 1
}

# Moves the mouse over a control, so that a step can start its clock right before the click.
point_at() {
    xdotool mousemove --window "$WID" $((16 + $1 + $3 / 2)) $((MENU_H + 40 + $2 + $4 / 2))
}

# Resident and peak memory now, in MiB.
memory_now() { awk '/VmRSS|VmHWM/{v[$1]=int($2/1024)} END{printf "%d/%d", v["VmRSS:"], v["VmHWM:"]}' "/proc/$APP_PID/status"; }

stop_program() {
    wmctrl -ic "$WID" || true
    wait "$TIME_PID" || true
    read -r WALL USER SYS RSS_KB <"$WORK/time.txt"
}

load_file() {
    local path="$1" t0 done_at gone_at=""
    click_control 384 264 177 17
    xd_wait_window '^Choose a html or text file to import' 10 >/dev/null
    sleep 0.3
    xd_type "$path"
    t0=$(now_ms)
    local c0
    c0=$(cpu_ticks "$APP_PID")
    xdotool key Return
    # The dialog must leave the screen before the file is read.
    for _ in $(seq 1 200); do
        if ! xdotool search --onlyvisible --name '^Choose a html' >/dev/null 2>&1; then
            gone_at=$(now_ms)
            break
        fi
        sleep 0.01
    done
    done_at=$(wait_idle "$APP_PID")
    LOAD_MS=$((done_at - t0))
    LOAD_CPU=$(cpu_ms_since "$c0")
    DIALOG_GONE_MS=$((${gone_at:-$done_at} - t0))
}

convert_text() {
    local t0 done_at c0
    point_at 384 312 177 17
    t0=$(now_ms)
    c0=$(cpu_ticks "$APP_PID")
    xdotool click 1
    done_at=$(wait_idle "$APP_PID")
    CONVERT_MS=$((done_at - t0))
    CONVERT_CPU=$(cpu_ms_since "$c0")
}

# Until xclip has read the whole text: the program answers only once it is back
# in its event loop with the new text on the clipboard.
copy_output() {
    local t0 c0
    xclip -i -selection clipboard </dev/null # nothing there before the click
    sleep 0.1
    xdotool mousemove --window "$WID" $((16 + 24 + 88)) $((MENU_H + 40 + 664 + 8))
    t0=$(now_ms)
    c0=$(cpu_ticks "$APP_PID")
    xdotool click 1
    until timeout 120 xclip -o -selection clipboard >"$WORK/clipboard.out" 2>/dev/null && [ -s "$WORK/clipboard.out" ]; do
        sleep 0.02
    done
    COPY_MS=$(($(now_ms) - t0))
    COPY_CPU=$(cpu_ms_since "$c0")
    COPY_BYTES=$(stat -c %s "$WORK/clipboard.out")
    # What the transfer alone costs, now that the text is there.
    t0=$(now_ms)
    timeout 120 xclip -o -selection clipboard >/dev/null
    XCLIP_MS=$(($(now_ms) - t0))
}

save_prompt() {
    local t0 c0
    point_at 208 664 129 17
    t0=$(now_ms)
    c0=$(cpu_ticks "$APP_PID")
    xdotool click 1
    xd_wait_window '^Save as' 60 >/dev/null
    SAVE_PROMPT_MS=$(($(now_ms) - t0))
    SAVE_CPU=$(cpu_ms_since "$c0")
    xdotool key Escape
    sleep 0.3
    xdotool key Return # "You have to enter a path and filename!"
    wait_idle "$APP_PID" >/dev/null
}

bench_page() {
    local mib="$1" page="$WORK/page-$1.html"
    [ -s "$page" ] || {
        if [ "$mib" -ge 100 ] && [ $((mib % 20)) -eq 0 ]; then
            [ -s "$WORK/page-20.html" ] || perl "$HERE/make_page.pl" 20 >"$WORK/page-20.html"
            for _ in $(seq 1 $((mib / 20))); do cat "$WORK/page-20.html"; done >"$page"
        else
            perl "$HERE/make_page.pl" "$mib" >"$page"
        fi
    }
    start_program
    local memory="start $(memory_now)"
    load_file "$page"
    memory+=" load $(memory_now)"
    convert_text
    memory+=" convert $(memory_now)"
    copy_output
    memory+=" copy $(memory_now)"
    save_prompt
    stop_program
    local size
    size=$(stat -c %s "$page")
    printf '%5s MiB (wall/cpu ms)  load %5d/%5d (dialog gone %4d)  convert %5d/%5d  copy %5d/%5d (%d bytes, xclip alone %d)  save prompt %5d/%5d  total %5d/%5d  cpu %5.1f s  peak %5d MiB = %.1f x text  load avg %s\n' \
        "$mib" "$LOAD_MS" "$LOAD_CPU" "$DIALOG_GONE_MS" "$CONVERT_MS" "$CONVERT_CPU" "$COPY_MS" "$COPY_CPU" \
        "$COPY_BYTES" "$XCLIP_MS" "$SAVE_PROMPT_MS" "$SAVE_CPU" $((LOAD_MS + CONVERT_MS + COPY_MS)) \
        $((LOAD_CPU + CONVERT_CPU + COPY_CPU)) "$(echo "$USER + $SYS" | bc)" $((RSS_KB / 1024)) \
        "$(echo "scale=2; $RSS_KB * 1024 / $size" | bc)" "$(cut -d' ' -f1 /proc/loadavg)"
    echo "        memory (MiB resident/peak) after each step: $memory"
}

# CPU share over a few seconds while the cursor blinks in the line, then the time a
# typed character keeps the program busy.
bench_line() {
    local mib="$1" file="$WORK/line-$1.txt" t0 t1 ticks0 ticks1 hz typed
    [ -s "$file" ] || perl "$HERE/make_page.pl" line "$mib" >"$file"
    start_program
    load_file "$file"
    xd_click "$WID" $((16 + 24 + 40)) $((MENU_H + 40 + 48 + 8))
    wait_idle "$APP_PID" >/dev/null
    hz=$HZ
    ticks0=$(cpu_ticks "$APP_PID")
    t0=$(now_ms)
    sleep 5
    ticks1=$(cpu_ticks "$APP_PID")
    t1=$(now_ms)
    local idle_pct
    idle_pct=$(echo "scale=1; ($ticks1 - $ticks0) * 100000 / $hz / ($t1 - $t0)" | bc)
    local worst=0
    for key in x y z; do
        t0=$(now_ms)
        xdotool key "$key"
        typed=$(($(wait_idle "$APP_PID" 20000) - t0))
        [ "$typed" -gt "$worst" ] && worst=$typed
    done
    stop_program
    printf '%5s MiB line  load %6d ms  idle with cursor %5s %% of a core  typed key busy up to %5d ms  peak %5d MiB\n' \
        "$mib" "$LOAD_MS" "$idle_pct" "$worst" $((RSS_KB / 1024))
}

for mib in "$@"; do
    if [ "$MODE" = line ]; then bench_line "$mib"; else bench_page "$mib"; fi
done
