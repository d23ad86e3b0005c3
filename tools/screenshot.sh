#!/usr/bin/env bash
# The README's screenshot: the main window playing the demo song, on a private 1280x800 X server
# (a common laptop screen: the window fits it whole).
#   tools/screenshot.sh [BUILD_DIR] [OUT.png]     (defaults: build, docs/screenshot.png)
# Needs Xvfb, xdotool and the xwd/netpbm tools (./setup.sh installs them).
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
out="${2:-$root/docs/screenshot.png}"
varnel="$build/varnel"
[ -x "$varnel" ] || { echo "no $varnel: build first (./setup.sh)" >&2; exit 1; }
for tool in Xvfb xdotool xwd xwdtopnm pnmcut pnmtopng; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$tool is not installed (./setup.sh installs it)" >&2; exit 1; }
done

. "$root/tests/support/xvfb_session.sh"
screen_w=1280 screen_h=800
start_xvfb "${screen_w}x$screen_h" || { echo "Xvfb did not start" >&2; exit 1; }

# Fresh settings and data folders: the window as a first start shows it. /install plays the demo.
XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" QT_QPA_PLATFORM=xcb "$varnel" /install >"$work/varnel.log" 2>&1 &
varnel_pid=$!
wait_for 30 xdotool search --onlyvisible --name '^Varnel: song73\.vnl$' ||
  { echo "no window titled 'Varnel: song73.vnl'" >&2; tail -n 20 "$work/varnel.log" >&2; exit 1; }
window="$(xdotool search --onlyvisible --name '^Varnel: song73\.vnl$' | head -n 1)"
xdotool windowfocus --sync "$window"  # no window manager gives it the keys: the grid shows its cursor as in use
sleep 12  # into the song: the intro has passed and the groove is playing

eval "$(xdotool getwindowgeometry --shell "$window")"
# The part of the window on the screen.
X=$((X < 0 ? 0 : X)); Y=$((Y < 0 ? 0 : Y))
WIDTH=$((X + WIDTH > screen_w ? screen_w - X : WIDTH)); HEIGHT=$((Y + HEIGHT > screen_h ? screen_h - Y : HEIGHT))
mkdir -p "$(dirname "$out")"
xwd -root -silent | xwdtopnm 2>/dev/null | pnmcut -left "$X" -top "$Y" -width "$WIDTH" -height "$HEIGHT" |
  pnmtopng >"$out"
[ -s "$out" ] || { echo "no screenshot" >&2; exit 1; }
echo "$out: ${WIDTH}x${HEIGHT}"
