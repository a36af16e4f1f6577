#!/bin/sh
# Started with no window system at all, the application says in one line what it needs and how
# to start it anyway, and exits with a failure status before Qt aborts.
# Usage: no_display.sh BRISVANE
set -u
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$home" XDG_CONFIG_HOME="$home/.config" "$1" 2>&1)
status=$?
[ $status -ne 0 ] || { echo "exit status 0 without a display"; exit 1; }
[ "$(printf '%s\n' "$out" | wc -l)" -eq 1 ] || { echo "not one line:"; printf '%s\n' "$out"; exit 1; }
case $out in
*"needs a desktop session"*DISPLAY*WAYLAND_DISPLAY*"xvfb-run make run"*) ;;
*) echo "unexpected message: $out"; exit 1 ;;
esac
case $out in *Reinstalling*) echo "Qt's abort message: $out"; exit 1 ;; esac
echo "no display: status $status, message: $out"
