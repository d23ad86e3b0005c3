#!/usr/bin/env bash
# Recovery after a crash, with the real program on a private X server: start varnel with a song,
# type notes, wait for the recovery copy, kill the program with SIGKILL, start it again, answer the
# restore question with Enter, save with Ctrl+S, and check with varnel-cli that the saved song holds
# the typed notes. The song file itself is untouched until that save.
#   recovery_xvfb.sh VARNEL VARNEL-CLI [SONG.vnl]
# Exit codes: 0 passed, 1 failed, 77 skipped (no Xvfb, xdotool or python3).
set -u
varnel="${1:?usage: recovery_xvfb.sh VARNEL VARNEL-CLI [SONG.vnl]}"
cli="${2:?usage: recovery_xvfb.sh VARNEL VARNEL-CLI [SONG.vnl]}"
here="$(cd "$(dirname "$0")" && pwd)"
song_source="${3:-$here/data/smoke.vnl}"

for tool in Xvfb xdotool python3; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

[ -x "$varnel" ] || { echo "FAIL: no program at $varnel"; exit 1; }
[ -x "$cli" ] || { echo "FAIL: no varnel-cli at $cli"; exit 1; }

. "$here/../support/xvfb_session.sh"
fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 30 "$log"; }; done
  exit 1
}

# The cells of pattern 0, track 0 of a song, as one line of numbers.
cells() { "$cli" info "$1" --json --cells | python3 -c 'import json, sys; print(*json.load(sys.stdin)["cells"][0][0])'; }

start_xvfb 1280x800 || fail "Xvfb did not start"

# Settings and the recovery copy in folders of this test only; a copy every second.
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" VARNEL_RECOVERY_SECONDS=1
recovery="$XDG_DATA_HOME/Orvalis/Varnel"
cp "$song_source" "$work/song.vnl"
original_sum="$(cksum <"$work/song.vnl")"
original_cells="$(cells "$work/song.vnl")" || fail "varnel-cli cannot read the song"

QT_QPA_PLATFORM=xcb "$varnel" "$work/song.vnl" >"$work/varnel1.log" 2>&1 &
varnel_pid=$!
wait_for 30 xdotool search --onlyvisible --name '^Varnel: song\.vnl$' || fail "no window titled 'Varnel: song.vnl'"
window="$(xdotool search --onlyvisible --name '^Varnel: song\.vnl$' | head -n 1)"
xdotool windowfocus --sync "$window" || fail "cannot focus the window"
# A loaded machine (the tests run two at a time) needs a moment before the grid takes keys.
sleep 1.5
xdotool key --delay 60 q w e r
kill -0 "$varnel_pid" 2>/dev/null || fail "varnel ended while notes were typed"

# The copy holds the typed notes (a slow machine copies some of them first: wait for all four).
copy_has_edit() {
  [ -s "$recovery/recovery.vnl" ] || return 1
  case "$(cells "$recovery/recovery.vnl")" in "60 62 64 65 "*) return 0 ;; *) return 1 ;; esac
}
wait_for 15 copy_has_edit || fail "no recovery copy with the typed notes in $recovery"
copied_cells="$(cells "$recovery/recovery.vnl")"
grep -qx "$work/song.vnl" "$recovery/recovery.txt" || fail "the marker does not name the song"

kill -KILL "$varnel_pid"
wait "$varnel_pid" 2>/dev/null
varnel_pid=""
[ "$(cksum <"$work/song.vnl")" = "$original_sum" ] || fail "the song file changed before it was saved"
[ -s "$recovery/recovery.vnl" ] || fail "the recovery copy did not survive the kill"

# The next start asks (a box titled "Varnel" over "Varnel: song.vnl"); Enter answers Yes.
QT_QPA_PLATFORM=xcb "$varnel" "$work/song.vnl" >"$work/varnel2.log" 2>&1 &
varnel_pid=$!
wait_for 30 xdotool search --onlyvisible --name '^Varnel$' || fail "no restore question after the crash"
question="$(xdotool search --onlyvisible --name '^Varnel$' | head -n 1)"
xdotool windowfocus --sync "$question"
sleep 1
xdotool key Return
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^Varnel\$'" || fail "the restore question stayed"

# The restored song keeps its name: Ctrl+S writes it there.
window="$(xdotool search --onlyvisible --name '^Varnel: song\.vnl$' | head -n 1)"
[ -n "$window" ] || fail "the restored song is not titled 'Varnel: song.vnl'"
xdotool windowfocus --sync "$window"
sleep 1
xdotool key ctrl+s
wait_for 10 bash -c "[ \"\$(cksum <'$work/song.vnl')\" != '$original_sum' ]" || fail "Ctrl+S did not save the song"
saved_cells="$(cells "$work/song.vnl")"
[ "$saved_cells" = "$copied_cells" ] || fail "saved cells differ from the typed ones: $saved_cells / $copied_cells"
# q w e r on a US layout at the song's octave: C, D, E, F of octave 5.
case "$saved_cells" in "60 62 64 65 "*) ;; *) fail "the typed notes are not in the saved song: $saved_cells" ;; esac
wait_for 5 test ! -e "$recovery/recovery.vnl" || fail "the recovery copy stayed after saving"

# File > E&xit: nothing unsaved, so no question; the program ends in order.
xdotool mousemove --window "$window" 20 10 click 1
sleep 0.5
xdotool key x
quit_cleanly "File > Exit"
leftover="$(ls "$recovery" 2>/dev/null | grep -v '^$' || true)"
[ -z "$leftover" ] || fail "left in the recovery folder: $leftover"
echo "PASS"
