#!/usr/bin/env bash
# `cmake --install` into a temporary prefix, then the installed programs run from another folder:
# varnel-cli reads and renders the installed demo song, and varnel started with /install under a
# private X server finds song73.vnl in <prefix>/share/varnel/Songs and registers the installed
# program for .vnl files in its (temporary) data folder.
#   install_prefix_test.sh BUILD_DIR
# Exit codes: 0 passed, 1 failed, 77 skipped (no Xvfb or xdotool for the window check).
set -u
build="${1:?usage: install_prefix_test.sh BUILD_DIR}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  for log in "$work"/*.log; do [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 20 "$log"; }; done
  exit 1
}

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || fail "cmake --install failed"
for file in bin/varnel-cli bin/varnel share/applications/varnel.desktop share/mime/packages/varnel.xml \
  share/icons/hicolor/scalable/apps/varnel.svg share/varnel/Songs/song73.vnl \
  share/varnel/Songs/template00.vnl share/varnel/Songs/template01.vnl share/varnel/Songs/template02.vnl \
  share/varnel/Songs/template03.vnl share/varnel/Songs/template04.vnl; do
  [ -s "$prefix/$file" ] || fail "not installed: $file"
done

mkdir -p "$work/elsewhere"
cd "$work/elsewhere" || fail "no working folder"
"$prefix/bin/varnel-cli" info "$prefix/share/varnel/Songs/song73.vnl" >"$work/info.log" 2>&1 || fail "varnel-cli info failed"
grep -q "order length 8" "$work/info.log" || fail "the installed demo song is not the demo song"
"$prefix/bin/varnel-cli" render "$prefix/share/varnel/Songs/song73.vnl" "$work/demo.wav" >"$work/render.log" 2>&1 ||
  fail "varnel-cli render failed"
[ "$(stat -c %s "$work/demo.wav")" -gt 1000000 ] || fail "the rendered demo song is too short"

for tool in Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (the command-line checks passed)"
    exit 77
  fi
done

# Inside the X server: start the installed program with /install and wait for the demo song's title.
cat >"$work/window.sh" <<'INNER'
#!/usr/bin/env bash
set -u
"$1" /install >"$2/varnel.log" 2>&1 &
pid=$!
for ((i = 0; i < 300; i++)); do
  if xdotool search --onlyvisible --name '^Varnel: song73\.vnl$' >/dev/null 2>&1; then
    kill "$pid"; wait "$pid" 2>/dev/null
    exit 0
  fi
  kill -0 "$pid" 2>/dev/null || exit 3
  sleep 0.1
done
kill "$pid"; wait "$pid" 2>/dev/null
exit 4
INNER
chmod +x "$work/window.sh"
# The server picks a free display itself: two tests asking for the same one at once would race.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
for ((i = 0; i < 200; i++)); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || fail "Xvfb did not start"
DISPLAY=":$(head -n 1 "$work/display")" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=xcb \
  "$work/window.sh" "$prefix/bin/varnel" "$work"
rc=$?
case "$rc" in
  0) ;;
  3) fail "the installed varnel ended before showing the demo song" ;;
  4) fail "no window titled 'Varnel: song73.vnl' from the installed program" ;;
  *) fail "the window check failed ($rc)" ;;
esac
grep -qF "Exec=\"$prefix/bin/varnel\" %f" "$work/data/applications/varnel.desktop" ||
  fail "the start did not register the installed program for .vnl files"
[ -s "$work/data/mime/packages/varnel.xml" ] || fail "the start did not register the song MIME type"
echo "PASS"
