# Sourced by the scripts that run the real program on a private X server (the Xvfb tests and
# tools/screenshot.sh). Gives: $work (a temporary folder, removed at exit), wait_for, start_xvfb,
# need_tools, fail, quit_cleanly, and a clean-up that stops only what the script started:
# $varnel_pid (set it) and the X server.

work="$(mktemp -d)"
xvfb_pid=""
varnel_pid=""
cleanup() {
  if [ -n "$varnel_pid" ] && kill -0 "$varnel_pid" 2>/dev/null; then kill "$varnel_pid"; wait "$varnel_pid" 2>/dev/null; fi
  if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then kill "$xvfb_pid"; wait "$xvfb_pid" 2>/dev/null; fi
  rm -rf "$work"
}
trap cleanup EXIT

# wait_for SECONDS COMMAND...: retries the command every 0.1 s.
wait_for() {
  local tenths=$(($1 * 10)); shift
  for ((i = 0; i < tenths; i++)); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

# start_xvfb WIDTHxHEIGHT: a server on a free display, exported as DISPLAY; non-zero if it fails.
# -noreset: when the last client goes (the program killed on purpose), the server would reset and
# briefly refuse the next program's connection.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 "$1x24" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  wait_for 20 test -s "$work/display" || return 1
  export DISPLAY=":$(head -n 1 "$work/display")"
}

# need_tools TOOL...: the test is skipped (exit 77) when one of them is not installed.
need_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
  done
}

# fail MESSAGE: the test fails, showing the end of each log in $work.
fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 30 "$log"; }; done
  exit 1
}

# quit_cleanly WHAT: $varnel_pid ends within 15 s of WHAT (a quit by the keys or the menu), with 0.
quit_cleanly() {
  wait_for 15 bash -c "! kill -0 $varnel_pid" || fail "$1 did not quit"
  wait "$varnel_pid"
  local rc=$?
  varnel_pid=""
  [ "$rc" -eq 0 ] || fail "varnel exited with $rc"
}
