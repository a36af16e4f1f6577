#!/bin/sh
# What the dashboard costs while nothing happens: the real application on a virtual X display
# with nine idle shell tiles in a 3x3 page, the last one opened holding the focus. For each caret
# style (every caret blinking, the default; then every caret steady) it reports the process's CPU
# time over the window as a percentage of one core, and its voluntary context switches a second
# (/proc/PID/status). A measurement, not a test: it asserts nothing.
# Usage: idle_cost.sh BRISVANE [SECONDS]
# With GRAB_SCREEN set to the grab_screen tool (built with the tests) and SHOTS_DIR to a folder,
# the screen of each run is kept there as idle-<style>.png. With PROFILE_DIR set, perf records
# each measured window into PROFILE_DIR/idle-<style>.perf.
set -eu
app=$(realpath "$1")
seconds=${2:-30}
grab=${GRAB_SCREEN:-}
shots=${SHOTS_DIR:-}
profile=${PROFILE_DIR:-}
[ -z "$profile" ] || { mkdir -p "$profile"; profile=$(realpath "$profile"); }
command -v xvfb-run >/dev/null || { echo "idle_cost: xvfb-run not found"; exit 1; }
command -v xdotool >/dev/null || { echo "idle_cost: xdotool not found (scripts/install-deps)"; exit 1; }
[ -n "$grab" ] && [ -n "$shots" ] && { grab=$(realpath "$grab"); mkdir -p "$shots"; shots=$(realpath "$shots"); } || shots=""


measure() {
    style=$1
    home=$(mktemp -d)
    # The onboarding seen, a 3x3 page; every shell quiet at its prompt, its caret as asked.
    # (The settings file has had more than one place; each gets the same.) An empty agent home,
    # so that no warning about it shows.
    mkdir -p "$home/.config" "$home/.claude/projects" "$home/.claude/sessions"
    for conf in "$home/.config/Brisvane.conf" "$home/.config/Brisvane/Brisvane.conf" \
        "$home/.config/Unknown Organization/Brisvane.conf"; do
        mkdir -p "$(dirname "$conf")"
        printf '[General]\nBrisvane.gridLayoutPreset=3-3-3\nBrisvane.onboardingCompletedVersion=1\nBrisvane.termsAgreedVersion=1.0\n' >"$conf"
    done
    caret=""
    [ "$style" = steady ] && caret="printf '\\033[2 q'"
    printf "PS1='\$ '\n%s\n" "$caret" >"$home/.bashrc"
    printf '. ~/.bashrc\n' >"$home/.bash_profile"
    printf "PS1='\$ '; export PS1\n%s\n" "$caret" >"$home/.profile"
    HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share ENV=$home/.profile \
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1920x1080x24" sh -c '
        app=$0 style=$1 seconds=$2 grab=$3 shots=$4 profile=$5
        "$app" >/dev/null 2>&1 & pid=$!
        window=$(xdotool search --sync --onlyvisible --pid $pid 2>/dev/null | head -n 1)
        [ -n "$window" ] || { echo "idle_cost: no window"; kill $pid; exit 1; }
        xdotool windowmove $window 0 0 windowsize --sync $window 1920 1080 2>/dev/null || true
        sleep 2
        eval "$(xdotool getwindowgeometry --shell $window)"
        # The new-terminal tile is the cell after the last tile; the grid fills the window
        # below the top bar (the cells are large, so their centres are found without it).
        top=60
        for k in 0 1 2 3 4 5 6 7 8; do
            row=$((k / 3)); col=$((k % 3))
            x=$((WIDTH * (2 * col + 1) / 6)); y=$((top + (HEIGHT - top) * (2 * row + 1) / 6))
            xdotool mousemove --window $window $x $y click 1
            sleep 1
        done
        # The window takes the keyboard (there is no window manager to give it), the last tile
        # the focus; then the pointer goes where no hover effect runs.
        xdotool windowfocus --sync $window
        xdotool mousemove --window $window $((WIDTH * 5 / 6)) $((top + (HEIGHT - top) * 5 / 6)) click 1
        xdotool mousemove --window $window 5 $((HEIGHT - 5))
        sleep 5
        shells=$(ps -o pid= --ppid $pid | wc -l)
        [ -z "$shots" ] || "$grab" "$shots/idle-$style.png" >/dev/null
        ticks() { awk "{ print \$14 + \$15 }" /proc/$pid/stat; }
        switches() { awk "/^voluntary_ctxt_switches/ { print \$2 }" /proc/$pid/status; }
        t0=$(ticks); s0=$(switches)
        if [ -n "$profile" ]; then
            perf record -q -g -p $pid -o "$profile/idle-$style.perf" -- sleep $seconds >/dev/null 2>&1
        else
            sleep $seconds
        fi
        t1=$(ticks); s1=$(switches)
        hz=$(getconf CLK_TCK)
        awk -v style="$style" -v shells=$shells -v t=$((t1 - t0)) -v s=$((s1 - s0)) -v hz=$hz -v secs=$seconds \
            "BEGIN { printf \"%-9s %d shells  CPU %.2f%% of a core  %.1f voluntary context switches/s\\n\", \
                     style, shells, 100 * t / hz / secs, s / secs }"
        kill -TERM $pid; wait $pid || true
    ' "$app" "$style" "$seconds" "$grab" "$shots" "$profile"
    rm -rf "$home"
}

echo "Idle cost, nine shell tiles, one focused, ${seconds} s each ($app)"
measure blinking
measure steady
