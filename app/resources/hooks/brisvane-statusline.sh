#!/bin/sh
# The agent's status-line command. Prints one short line for the agent to show, and keeps the
# plan-usage windows the agent hands over in ~/.claude/brisvane-usage.json, where Brisvane reads
# them. Input without rate limits (API-key use, or before the first reply) leaves the file alone.
# Without jq it does nothing; it always exits 0.

command -v jq >/dev/null 2>&1 || exit 0

input=$(cat)
home="$HOME/.claude"

usage=$(printf '%s' "$input" | jq -c '
    def number: if type == "number" then . else null end;
    def window: if type == "object" then {used_percentage: (.used_percentage | number), resets_at: (.resets_at | number)} else null end;
    (.rate_limits | if type == "object" then . else {} end) as $limits
    | {five_hour: ($limits.five_hour | window), seven_day: ($limits.seven_day | window)} as $windows
    | if $windows.five_hour == null and $windows.seven_day == null then empty
      else {fetched_at: now, rate_limits: $windows} end
' 2>/dev/null)

# Written aside and renamed into place, so Brisvane never reads half a file.
if [ -n "$usage" ] && [ -d "$home" ]; then
    temporary=$(mktemp "$home/.brisvane-usage.json.XXXXXX" 2>/dev/null) && {
        if printf '%s\n' "$usage" >"$temporary" && mv -f "$temporary" "$home/brisvane-usage.json"; then
            :
        else
            rm -f "$temporary"
        fi
    }
fi

line=$(printf '%s' "$input" | jq -r '
    def percent($name): if type == "object" and (.used_percentage | type) == "number"
        then "\($name) \(.used_percentage | round)%" else empty end;
    [(.model.display_name | strings),
     (.rate_limits | objects | (.five_hour | percent("5h")), (.seven_day | percent("7d")))]
    | join(" | ") | gsub("[\r\n]+"; " ")
' 2>/dev/null)
printf '%s\n' "$line"
exit 0
