#!/usr/bin/env bash
# The real program on a laptop screen, a smaller one and a 1920x1080 screen at 200 %, used with the
# keyboard alone:
#   - at 1280x800 with QT_SCALE_FACTOR=2 the window fits the screen (the docked piano hides);
#   - at 1280x800, 1366x768 and 1920x1080 with QT_SCALE_FACTOR=2, in each colour scheme (New Icons
#     with the custom main menu), the window and its least size fit the screen, and its least size
#     is at most 1024x640 logical pixels, every panel lies inside it whole, none over another and
#     no bar with buttons hidden in its extension menu; a screenshot of each goes to SCREENSHOT_DIR;
#   - a click into "Add.", a new step and Return: the next note keys write into the grid, that step
#     apart; "Len." refuses 300 (the pattern keeps its length) and Escape gives the keys back;
#   - Alt+O opens the Options menu (its "Options..." the dialog), F10 the File menu, Alt+F then X quits.
#   window_fit_xvfb.sh VARNEL VARNEL_CLI PROBE SONG.vnl [SCREENSHOT_DIR]
# PROBE (window_places_probe) tells where the window puts its panels, the grid's first cell and the
# fields.
# Exit codes: 0 passed, 1 failed, 77 skipped (no Xvfb, xdotool, xprop or netpbm tools).
set -u
usage="usage: window_fit_xvfb.sh VARNEL VARNEL_CLI PROBE SONG.vnl [SCREENSHOT_DIR]"
varnel="${1:?$usage}"
cli="${2:?$usage}"
probe="${3:?$usage}"
song_source="${4:?$usage}"
shots="${5:-$(dirname "$varnel")/window-fit}"
here="$(cd "$(dirname "$0")" && pwd)"

. "$here/../support/xvfb_session.sh"
need_tools Xvfb xdotool xprop xwd xwdtopnm pnmtopng
mkdir -p "$shots"

# Settings of this test only: the scheme and the main menu, nothing else stored.
settings() {
  mkdir -p "$work/config/Orvalis"
  printf '[Options]\nDefaultScheme=%s\nMainMenu=%s\n' "$1" "$2" >"$work/config/Orvalis/Varnel.conf"
}

# probe SCALE: the probe's report on this screen with these settings, in $work/places.txt.
probe() {
  XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$1" \
    "$probe" >"$work/places.txt" 2>"$work/probe.log" || fail "the probe failed"
}

# start SCALE: the program on the running X server with a fresh copy of the song; sets $window.
start() {
  cp "$song_source" "$work/fit.vnl"
  XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR="$1" \
    "$varnel" "$work/fit.vnl" >"$work/varnel.log" 2>&1 &
  varnel_pid=$!
  wait_for 30 xdotool search --onlyvisible --name '^Varnel: fit\.vnl$' || fail "no window titled 'Varnel: fit.vnl'"
  window="$(xdotool search --onlyvisible --name '^Varnel: fit\.vnl$' | head -n 1)"
  sleep 2  # the layout settles (bars on new lines, the window back on the screen)
}

stop() {
  kill "$varnel_pid"
  wait "$varnel_pid" 2>/dev/null
  varnel_pid=""
}

screen() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid"; wait "$xvfb_pid" 2>/dev/null; xvfb_pid=""; fi
  rm -f "$work/display"  # the next server's number, not the last one's
  start_xvfb "$1" || fail "Xvfb did not start at $1"
}

shot() { xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$1" 2>/dev/null; }

# ---- Every screen, every scheme: the window and its least size fit ----
for case in 1280x800:1 1366x768:1 1920x1080:2; do
  size="${case%:*}" scale="${case#*:}"
  screen_w="${size%x*}" screen_h="${size#*x}"
  screen "$size"
  for scheme in 0 1 2; do
    menu=0; [ "$scheme" = 2 ] && menu=1
    settings "$scheme" "$menu"
    probe "$scale"
    grep -q '^panel' "$work/places.txt" || fail "$size x$scale scheme $scheme: the probe found no panels"
    ! grep '^fault' "$work/places.txt" || fail "$size x$scale scheme $scheme: not every panel fits"
    start "$scale"
    eval "$(xdotool getwindowgeometry --shell "$window")"
    least="$(xprop -id "$window" WM_NORMAL_HINTS | sed -n 's/.*minimum size: \([0-9]*\) by \([0-9]*\).*/\1 \2/p')"
    [ -n "$least" ] || fail "$size x$scale scheme $scheme: no minimum size in WM_NORMAL_HINTS"
    read -r least_w least_h <<<"$least"
    echo "$size x$scale scheme $scheme: window ${WIDTH}x$HEIGHT at $X,$Y, least ${least_w}x$least_h"
    [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le "$screen_w" ] && [ $((Y + HEIGHT)) -le "$screen_h" ] ||
      fail "$size x$scale scheme $scheme: the window ${WIDTH}x$HEIGHT at $X,$Y leaves the screen"
    [ "$least_w" -le $((1024 * scale)) ] && [ "$least_h" -le $((640 * scale)) ] ||
      fail "$size x$scale scheme $scheme: least size ${least_w}x$least_h is more than 1024x640 logical pixels"
    [ "$least_w" -le "$screen_w" ] && [ "$least_h" -le "$screen_h" ] ||
      fail "$size x$scale scheme $scheme: least size ${least_w}x$least_h is larger than the screen"
    shot "$shots/fit-${size}-x${scale}-scheme${scheme}.png"
    stop
  done
done

# ---- A laptop screen at 200 % (640x400 logical pixels): the docked piano gives way ----
screen 1280x800
settings 0 0
start 2
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 1280 ] && [ $((Y + HEIGHT)) -le 800 ] ||
  fail "1280x800 x2: the window ${WIDTH}x$HEIGHT at $X,$Y leaves the screen (and the status bar with it)"
shot "$shots/fit-1280x800-x2.png"
stop

# ---- The keyboard, at 1280x800 in the default scheme ----
screen 1280x800
settings 0 0
probe 1
read -r _ cell_x cell_y < <(grep '^cell' "$work/places.txt")
read -r _ add_x add_y < <(grep '^add' "$work/places.txt")
read -r _ len_x len_y < <(grep '^len' "$work/places.txt")
[ -n "${cell_x:-}" ] && [ -n "${add_x:-}" ] && [ -n "${len_x:-}" ] || fail "the probe found no places"
start 1
xdotool windowfocus --sync "$window" || fail "cannot focus the window"
# The pattern grid's first note cell (row 00, track 1), then "Add." on the properties bar.
xdotool mousemove --window "$window" "$cell_x" "$cell_y" click 1
sleep 0.5
xdotool mousemove --window "$window" "$add_x" "$add_y" click 1
sleep 0.5
xdotool key --delay 80 ctrl+a 2 Return
sleep 0.5
xdotool key --delay 80 q w  # C-5 and D-5 at the song's octave, two rows apart
sleep 0.5
# "Len.": 300 is refused (no 30-row pattern); Escape hands the keys back to the grid.
xdotool mousemove --window "$window" "$len_x" "$len_y" click 1
sleep 0.5
xdotool key --delay 80 ctrl+a 3 0 0 Return
sleep 0.5
shot "$shots/keys-len-refused.png"
xdotool key --delay 80 Escape e  # E-5 on row 4
sleep 0.5
xdotool key ctrl+s
wait_for 10 bash -c "[ \"\$('$cli' info '$work/fit.vnl' --json --cells | python3 -c 'import json,sys; print(json.load(sys.stdin)[\"cells\"][0][0][0])')\" = 60 ]" ||
  fail "Ctrl+S did not save the note typed after Return in 'Add.'"
cells="$("$cli" info "$work/fit.vnl" --json --cells | python3 -c 'import json, sys; print(*json.load(sys.stdin)["cells"][0][0][:6])')"
case "$cells" in "60 128 62 128 64 128") ;; *) fail "the notes after Return in 'Add.' and Escape in 'Len.' are not on rows 0, 2, 4: $cells" ;; esac
rows="$("$cli" info "$work/fit.vnl" --json | python3 -c 'import json, sys; print(json.load(sys.stdin)["last_row"][0] + 1)')"
[ "$rows" = 32 ] || fail "'Len.' took 300 as $rows rows"

# Alt+O opens the Options menu; from its end, Up four times is "Options...", Return opens it.
xdotool key alt+o
sleep 0.5
xdotool key --delay 200 Up Up Up Up Return
wait_for 10 xdotool search --onlyvisible --name '^Options$' || fail "Alt+O, O did not open the Options dialog"
xdotool key Escape
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Options\$'" || fail "Escape did not close the Options dialog"
# F10 opens the File menu: its "E&xit" quits (the song is saved, so no question).
xdotool windowfocus --sync "$window"
xdotool key F10
sleep 0.5
shot "$shots/keys-f10.png"
xdotool key Escape Escape
sleep 0.5
xdotool key alt+f
sleep 0.5
xdotool key x
quit_cleanly "Alt+F, X"
echo "screenshots: $shots"
echo "PASS"
