#!/usr/bin/env bash
# Smoke test of the real program on a private X server: start varnel with a song, type notes into
# the pattern grid, play, take a screenshot, quit through the File menu and answer "Sure to quit?"
# (the typed notes modified the song, so the question must come).
#   smoke_xvfb.sh VARNEL [SONG.vnl] [SCREENSHOT.png]
# Exit codes: 0 passed, 1 failed, 77 skipped (no Xvfb, xdotool or netpbm tools).
set -u
varnel="${1:?usage: smoke_xvfb.sh VARNEL [SONG.vnl] [SCREENSHOT.png]}"
here="$(cd "$(dirname "$0")" && pwd)"
song_source="${2:-$here/data/smoke.vnl}"
screenshot="${3:-$(dirname "$varnel")/smoke-screenshot.png}"

. "$here/../support/xvfb_session.sh"
need_tools Xvfb xdotool xwd xwdtopnm pnmtopng

start_xvfb 1280x800 || fail "Xvfb did not start"

cp "$song_source" "$work/smoke.vnl"
# Settings and recovery copies go to the test's own folders, never the user's.
XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=xcb "$varnel" "$work/smoke.vnl" >"$work/varnel.log" 2>&1 &
varnel_pid=$!

wait_for 30 xdotool search --onlyvisible --name '^Varnel: smoke\.vnl$' || fail "no window titled 'Varnel: smoke.vnl'"
window="$(xdotool search --onlyvisible --name '^Varnel: smoke\.vnl$' | head -n 1)"
xdotool windowfocus --sync "$window" || fail "cannot focus the window"
# A loaded machine (the tests run two at a time) needs a moment before the grid takes keys.
sleep 1.5

# Step 1 on the number pad (a window-level key), then notes of the lower and upper key rows.
xdotool key --delay 60 KP_1 z x c v q w e r
sleep 0.5
kill -0 "$varnel_pid" 2>/dev/null || fail "varnel ended while notes were typed"

# Space plays; the screenshot shows the moving play highlight and counter. Space again stops.
xdotool key space
sleep 1.5
kill -0 "$varnel_pid" 2>/dev/null || fail "varnel ended while playing"
xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$screenshot" 2>/dev/null
[ -s "$screenshot" ] || fail "no screenshot"
echo "screenshot: $screenshot"
xdotool key space

# File > E&xit: the File menu is the first on the menu bar.
xdotool mousemove --window "$window" 20 10 click 1
sleep 0.5
xdotool key x
wait_for 10 xdotool search --onlyvisible --name '^Varnel$' || fail "no 'Sure to quit?' question after typing notes"
question="$(xdotool search --onlyvisible --name '^Varnel$' | head -n 1)"
xdotool windowfocus --sync "$question"
xdotool key Return

quit_cleanly "File > Exit"
echo "PASS"
