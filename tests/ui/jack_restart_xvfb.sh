#!/usr/bin/env bash
# The real program on a private X server and a JACK server of the test's own: the song plays into a
# capture port (jack_midi_dump) and, on MIDI channels 17-32, through the embedded synth on JACK
# audio; the JACK server stops and starts again under it; the port's notes flow again; a port
# started after all this is in the Options menu's device list and, chosen there, gets the song; the
# program quits through the File menu: exit status 0, settings written.
#   jack_restart_xvfb.sh VARNEL [SONG.vnl] [SCREENSHOT_FOLDER]
# Exit codes: 0 passed, 1 failed, 77 skipped (no Xvfb, xdotool, xwd tools or JACK).
set -u
varnel="${1:?usage: jack_restart_xvfb.sh VARNEL [SONG.vnl] [SCREENSHOT_FOLDER]}"
here="$(cd "$(dirname "$0")" && pwd)"
song_source="${2:-$here/data/smoke.vnl}"
shots="${3:-}"

for tool in Xvfb xdotool xwd xwdtopnm pnmtopng jackd jack_wait jack_midi_dump jack_lsp; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

. "$here/../support/xvfb_session.sh"
jack_pid=""
dump_pid=""
stop_jack() {
  if [ -n "$dump_pid" ]; then kill "$dump_pid" 2>/dev/null; wait "$dump_pid" 2>/dev/null; dump_pid=""; fi
  if [ -n "$jack_pid" ]; then kill "$jack_pid" 2>/dev/null; wait "$jack_pid" 2>/dev/null; jack_pid=""; fi
  rm -f /dev/shm/jack_sem.*"_${server}_"* 2>/dev/null
}
trap 'stop_jack; cleanup' EXIT
fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 30 "$log"; }; done
  exit 1
}
shot() {
  [ -n "$shots" ] || return 0
  mkdir -p "$shots"
  xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$shots/$1.png" 2>/dev/null
}

# JACK names a client's socket after the client alone: one JACK test at a time on this machine.
exec 9>"${TMPDIR:-/tmp}/varnel-jack-tests.lock"
flock 9

server="varnel-xvfb-$$"
export JACK_DEFAULT_SERVER="$server"
start_jack() {
  jackd -R -n "$server" -d dummy -r 48000 -p 1024 >>"$work/jackd.log" 2>&1 &
  jack_pid=$!
  jack_wait -s "$server" -w -t 5 >/dev/null 2>&1 || return 1
  # What reaches the capture port, one file per life of the server.
  jack_midi_dump -a VarnelCapture >"$work/dump$1.txt" 2>>"$work/dump.log" &
  dump_pid=$!
  wait_for 5 bash -c "jack_lsp 2>/dev/null | grep -q '^VarnelCapture:input$'"
}
note_ons() { grep -cE '^ *[0-9]+: 9[0-9a-f] [0-9a-f]{2} ([1-9a-f][0-9a-f]|0[1-9a-f])' "$1" 2>/dev/null; }

start_jack 1 || { echo "SKIP: jackd did not start"; exit 77; }
start_xvfb 1280x800 || fail "Xvfb did not start"

cp "$song_source" "$work/song.vnl"
mkdir -p "$work/config/Orvalis"
cat >"$work/config/Orvalis/Varnel.conf" <<EOF
[Options]
Device=VarnelCapture:input
Device2=MIDI Mapper
EOF
XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=xcb "$varnel" "$work/song.vnl" >"$work/varnel.log" 2>&1 &
varnel_pid=$!
wait_for 30 xdotool search --onlyvisible --name '^Varnel: song\.vnl$' || fail "no window titled 'Varnel: song.vnl'"
window="$(xdotool search --onlyvisible --name '^Varnel: song\.vnl$' | head -n 1)"
xdotool windowfocus --sync "$window" || fail "cannot focus the window"
sleep 1.5

xdotool key space  # play
wait_for 10 bash -c "[ \"\$(grep -cE '^ *[0-9]+: 9' '$work/dump1.txt')\" -gt 0 ]" || fail "no notes reached the capture port"
shot 1-playing

stop_jack  # the server goes while the song plays
sleep 3
kill -0 "$varnel_pid" 2>/dev/null || fail "varnel ended when the JACK server stopped"
shot 2-server-gone

start_jack 2 || fail "jackd did not start again"
wait_for 15 bash -c "[ \"\$(grep -cE '^ *[0-9]+: 9' '$work/dump2.txt')\" -gt 0 ]" || fail "no notes after the server returned"
kill -0 "$varnel_pid" 2>/dev/null || fail "varnel ended when the JACK server returned"
shot 3-server-back

# A port started now, long after the program.
jack_midi_dump -a VarnelLate >"$work/late.txt" 2>>"$work/dump.log" &
late_pid=$!
wait_for 5 bash -c "jack_lsp 2>/dev/null | grep -q '^VarnelLate:input$'" || fail "the late port did not start"

# Options (the seventh menu) > MIDI Out Device, from the File menu by the arrow keys: MIDI Mapper,
# VarnelCapture:input, VarnelLate:input, Varnel's virtual port.
xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" 20 10 click 1
sleep 0.5
xdotool key --delay 100 Right Right Right Right Right Right Right Return
sleep 0.3
shot 4-device-menu
xdotool key --delay 100 Down Down Return  # the late port
wait_for 10 bash -c "[ \"\$(grep -cE '^ *[0-9]+: 9' '$work/late.txt')\" -gt 0 ]" || fail "the late port, chosen in the menu, got no notes"
kill -0 "$varnel_pid" 2>/dev/null || fail "varnel ended when the device changed"
shot 5-device-changed

# File > E&xit.
xdotool windowfocus --sync "$window"
xdotool mousemove --window "$window" 20 10 click 1
sleep 0.5
xdotool key x
quit_cleanly "File > Exit"
kill "$late_pid" 2>/dev/null; wait "$late_pid" 2>/dev/null
grep -q '^Device=VarnelLate:input$' "$work/config/Orvalis/Varnel.conf" || fail "settings not written: $(grep Device "$work/config/Orvalis/Varnel.conf")"
echo "PASS"
