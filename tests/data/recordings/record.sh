#!/bin/bash
# How the fixtures beside this script were made: the command runs under `script` (which
# records the raw bytes it writes) inside an 80x24 tmux pane; after the keys are sent, the
# pane is captured with `capture-pane -p` (the .screen file) and the raw bytes so far are kept
# (the .raw file, without the typescript header line). Usage: record.sh NAME "command" keys...
# record.sh NAME "command" key1 key2 ... : runs the command inside script inside an 80x24 tmux pane
name=$1; cmd=$2; shift 2
tmux kill-session -t rec 2>/dev/null
tmux new-session -d -x 80 -y 24 -s rec "env TERM=xterm-256color LANG=C.UTF-8 script -q -f -c \"$cmd\" /tmp/rec/$name.typescript"
sleep 1
for k in "$@"; do tmux send-keys -t rec "$k"; sleep 0.7; done
sleep 1
tmux capture-pane -p -t rec > /tmp/rec/$name.screen
cp /tmp/rec/$name.typescript /tmp/rec/$name.snapshot
tmux kill-session -t rec
