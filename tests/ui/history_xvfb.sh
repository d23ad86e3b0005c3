#!/usr/bin/env bash
# Undo and redo of a long mixed edit, with the real program on a private X server and real keys:
# notes with a step of 1, Caps Lock releases, values in a volume track, order digits, a paste, a
# transpose, a chord that adds tracks, a fill, an added pattern, a BPM change and more notes, each
# one step. Saved, then a damaged module imported through the File menu is refused and changes
# nothing; undone step by step and saved again, the song equals the starting song; redone and
# saved, it equals the edited song. Songs are compared by varnel-cli's JSON without the editor's
# own state (current pattern, step, octave, mode, channels switched off).
#   history_xvfb.sh VARNEL VARNEL-CLI PROBE [SONG.vnl]
# Exit codes: 0 passed, 1 failed, 77 skipped (no Xvfb, xdotool or python3).
set -u
varnel="${1:?usage: history_xvfb.sh VARNEL VARNEL-CLI PROBE [SONG.vnl]}"
cli="${2:?usage: history_xvfb.sh VARNEL VARNEL-CLI PROBE [SONG.vnl]}"
probe="${3:?usage: history_xvfb.sh VARNEL VARNEL-CLI PROBE [SONG.vnl]}"
here="$(cd "$(dirname "$0")" && pwd)"
song_source="${4:-$here/data/smoke.vnl}"

for tool in Xvfb xdotool python3; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done
for program in "$varnel" "$cli" "$probe"; do [ -x "$program" ] || { echo "FAIL: no program at $program"; exit 1; }; done

. "$here/../support/xvfb_session.sh"
fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 30 "$log"; }; done
  exit 1
}

# The song as JSON without what only the editor keeps in the file.
song_json() {
  "$cli" info "$1" --json --cells | python3 -c '
import json, sys
song = json.load(sys.stdin)
for key in ("grid_add", "current_pattern", "song_mode", "octave", "channel_on"):
    song.pop(key, None)
print(json.dumps(song, sort_keys=True))'
}
same_song() { [ "$(song_json "$1")" = "$2" ]; }
describe() { "$cli" info "$1" | head -n 12; }

start_xvfb 1280x800 || fail "Xvfb did not start"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=xcb
cp "$song_source" "$work/song.vnl"
start_json="$(song_json "$work/song.vnl")" || fail "varnel-cli cannot read the song"

"$probe" >"$work/places.txt" 2>"$work/probe.log" || fail "the probe failed"
read -r _ bpm_x bpm_y < <(grep '^bpm' "$work/places.txt")
read -r _ cell_x cell_y < <(grep '^cell' "$work/places.txt")
[ -n "${bpm_x:-}" ] && [ -n "${cell_x:-}" ] || fail "the probe found no places"

"$varnel" "$work/song.vnl" >"$work/varnel.log" 2>&1 &
varnel_pid=$!
wait_for 30 xdotool search --onlyvisible --name '^Varnel: song\.vnl$' || fail "no window titled 'Varnel: song.vnl'"
window="$(xdotool search --onlyvisible --name '^Varnel: song\.vnl$' | head -n 1)"
xdotool windowfocus --sync "$window" || fail "cannot focus the window"
sleep 1.5
keys() { xdotool key --delay 90 "$@"; sleep 0.3; kill -0 "$varnel_pid" 2>/dev/null || fail "varnel ended at: $*"; }
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.4; }
steps=0
step() { steps=$((steps + $1)); }

click "$cell_x" "$cell_y"                # track 0, row 0
keys ctrl+1                              # "Add." 1: each note steps one row on
keys q w e r t y u i; step 8             # eight notes
keys Caps_Lock Caps_Lock; step 2         # two releases
keys z x c; step 3
keys ctrl+y; step 1                      # a volume track after track 0
keys Right 1 0 0; step 1                 # one value typed digit by digit: one step
keys Down 6 4; step 1
keys Down 5; step 1
keys Down 9 9; step 1
keys F12 Down 0 Down 0 Down 1 2; step 3  # order digits: patterns 0, 0 and 12
keys Down Caps_Lock Down Caps_Lock; step 2  # order releases
keys F11 Left shift+F4                   # copy track 0
keys Right Right shift+F5; step 1        # paste it onto the next channel's track
keys shift+F2; step 1                    # transpose that track up
keys Left Left Down shift+q; step 1      # a chord: two more note tracks for channel 0
keys Right shift+Down shift+Down shift+Down shift+Down
keys ctrl+f
sleep 1
keys Return; step 1                      # the fill dialog's OK
xdotool windowfocus --sync "$window"
keys KP_Add; step 1                      # one pattern past the last: a new pattern
keys Left q w e; step 3
keys KP_Subtract
click "$bpm_x" "$bpm_y"
keys ctrl+a 1 4 0 Return; step 1         # BPM 140
click "$cell_x" "$cell_y"
keys o p 2 3 5 6 7 9 0; step 9
keys Up Up Delete; step 1                # clear a note
keys alt+Insert; step 1                  # the column turns down a row
[ "$steps" -ge 40 ] || fail "only $steps steps"

keys ctrl+s
edited="$(song_json "$work/song.vnl")"
[ "$edited" != "$start_json" ] || fail "the edits did not reach the saved song"
describe "$work/song.vnl" >"$work/edited.log"

# File > Import > FastTracker module with random bytes after a module's id: refused in a message
# box ("Varnel"); the song and its history stay (the undos below must find every step).
python3 -c 'import random, sys; sys.stdout.buffer.write(b"Extended Module: " + random.Random(7).randbytes(600))' \
  >"$work/damaged.xm"
click 20 10
keys Down Down Down Down Down Down Down Down Right Return  # File, ..., Song Info, Import >
wait_for 20 xdotool search --onlyvisible --name '^Open$' || fail "File > Import > FastTracker module opened no file dialog"
sleep 0.5
xdotool type --delay 20 "$work/damaged.xm"
keys Return
wait_for 20 xdotool search --onlyvisible --name '^Varnel$' || fail "the damaged module was not refused in a message box"
sleep 0.5
keys Return
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Varnel\$'" || fail "the message box stayed"
xdotool search --onlyvisible --name '^Varnel: song\.vnl$' >/dev/null || fail "the window no longer shows song.vnl"
xdotool windowfocus --sync "$window"
keys ctrl+s
sleep 0.5
same_song "$work/song.vnl" "$edited" || fail "the refused module changed the open song"

# Undo every step (and one more, which finds nothing), then save.
for ((i = 0; i <= steps; i++)); do keys ctrl+z; done
keys ctrl+s
sleep 0.5
same_song "$work/song.vnl" "$start_json" || { describe "$work/song.vnl" >"$work/undone.log"; fail "after $steps undos the saved song is not the starting song"; }

for ((i = 0; i <= steps; i++)); do keys ctrl+shift+z; done
keys ctrl+s
sleep 0.5
same_song "$work/song.vnl" "$edited" || { describe "$work/song.vnl" >"$work/redone.log"; fail "after redoing the saved song is not the edited song"; }

# Saved: File > E&xit asks nothing.
click 20 10
xdotool key x
quit_cleanly "File > Exit"
echo "PASS ($steps steps)"
