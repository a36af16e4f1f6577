#!/bin/sh
# The agent's Stop hook. Leaves the spoken summary of the answer that just ended in
# ~/.claude/brisvane-say/<pid>.json, where Brisvane reads it aloud when the session's task is done:
# the text after the last "【音声】" of the answer, or else the answer's last line. <pid> is the
# agent's process id, the key under which Brisvane looks the summary up.
# It must never keep the agent from stopping: it prints nothing and always exits 0.

exec >/dev/null 2>&1
command -v jq >/dev/null 2>&1 || exit 0

input=$(cat)
home="$HOME/.claude"

session_id=$(printf '%s' "$input" | jq -r '.session_id | strings') || exit 0

# The agent's pid: from the session file that names this session.
pid=
if [ -n "$session_id" ]; then
    for file in "$home"/sessions/*.json; do
        [ -f "$file" ] || continue
        pid=$(jq -r --arg id "$session_id" 'select(.sessionId == $id) | .pid | numbers' "$file" 2>/dev/null)
        case $pid in
            '' | *[!0-9]*) pid= ;;
            *) break ;;
        esac
    done
fi

parent_of() {
    if [ -r "/proc/$1/stat" ]; then
        # The field after the state; the command name before it may hold spaces and ")".
        sed -n 's/^.*) [^ ]* \([0-9]*\) .*$/\1/p' "/proc/$1/stat"
    else
        ps -o ppid= -p "$1" | tr -d ' '
    fi
}

# Failing that, the nearest ancestor that has a session file: the agent may run this script
# through a shell, so $PPID alone need not be the agent.
if [ -z "$pid" ]; then
    candidate=$PPID
    hops=0
    while [ -n "$candidate" ] && [ "$candidate" -gt 1 ] 2>/dev/null && [ "$hops" -lt 64 ]; do
        if [ -f "$home/sessions/$candidate.json" ]; then
            pid=$candidate
            break
        fi
        candidate=$(parent_of "$candidate")
        hops=$((hops + 1))
    done
fi
[ -n "$pid" ] || exit 0

record=$(printf '%s' "$input" | jq -c --argjson pid "$pid" '
    def clean: gsub("[*`]"; "") | gsub("^[\\s#>-]+|\\s+$"; "");
    (.last_assistant_message | strings | split("\n")) as $lines
    | ([$lines[] | select(contains("【音声】"))] | last) as $marked
    | (if $marked != null then ($marked | split("【音声】") | .[1:] | join("【音声】"))
       else ([$lines[] | select(test("\\S"))] | last // "") end
       | clean | .[0:200]) as $text
    | select($text != "")
    | {pid: $pid, sessionId: (.session_id | if type == "string" then . else null end), text: $text, capturedAt: now}
') || exit 0
[ -n "$record" ] || exit 0

directory="$home/brisvane-say"
mkdir -p "$directory" || exit 0
temporary=$(mktemp "$directory/.$pid.json.XXXXXX") || exit 0
if printf '%s\n' "$record" >"$temporary" && mv -f "$temporary" "$directory/$pid.json"; then
    :
else
    rm -f "$temporary"
fi
exit 0
