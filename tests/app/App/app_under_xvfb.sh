#!/bin/sh
# Starts the real application on a virtual X display with an empty home, grabs the screen, then
# quits it with SIGTERM: it must exit cleanly and leave no child behind.
# Usage: app_under_xvfb.sh BRISVANE GRAB_SCREEN OUT_DIR
set -u
app=$1
grab=$2
out=$3
home=$(mktemp -d)
# Under the sanitizers, leaks of system libraries the X11 platform loads are not ours.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(dirname "$0")/lsan.supp"
# The GL driver's code has no frame pointers: only the slow unwinder reaches the library that a
# suppression names.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0"
trap 'rm -rf "$home"' EXIT
mkdir -p "$out"
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share QT_QPA_PLATFORM=xcb \
xvfb-run -a -s "-screen 0 1280x800x24 -br" sh -c '
    "$0" & pid=$!
    # Until the window is drawn (the empty screen is one flat colour), at most 60 s: a loaded
    # machine or the sanitizer build starts slowly.
    tries=0
    while :; do
        kill -0 $pid || { echo "the application did not start"; exit 1; }
        "$1" "$2/app-window.png" || { echo "no screenshot"; exit 1; }
        [ "$("$1" --colours "$2/app-window.png")" -gt 1 ] && break
        tries=$((tries + 1))
        [ $tries -lt 120 ] || break
        sleep 0.5
    done
    children=$(ps -o pid= --ppid $pid)
    kill -TERM $pid
    wait $pid; status=$?
    [ $status -eq 0 ] || { echo "exit status $status after SIGTERM"; exit 1; }
    for child in $children; do
        kill -0 $child 2>/dev/null && { echo "child $child left running"; exit 1; }
    done
    exit 0
' "$app" "$grab" "$out"
status=$?
[ $status -eq 0 ] || exit $status
# The window is there: the screenshot is not one flat colour (the empty screen is all black).
colours=$("$grab" --colours "$out/app-window.png") || { echo "unreadable screenshot"; exit 1; }
[ "$colours" -gt 1 ] || { echo "the screenshot is one flat colour: no window drawn"; exit 1; }
echo "screenshot: $out/app-window.png ($colours colours)"
