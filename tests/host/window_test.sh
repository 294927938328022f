#!/usr/bin/env bash
# The window on a real X display (run under xvfb-run): a click on the left currency button
# opens the picker, and a screenshot taken from the display itself shows the list darkened by
# the overlay; the window's record, replayed headless, gives the same pixels.
#
#   window_test.sh TESSARY-SIM BUNDLE-DIR
set -euo pipefail
sim=$1
bundle=$2
for tool in xdotool import convert compare; do
  command -v "$tool" >/dev/null || { echo "window test: $tool is missing (scripts/install-deps)"; exit 77; }
done
[[ -n "${DISPLAY:-}" ]] || { echo "window test: no display; run it under xvfb-run -a"; exit 1; }

work=$(mktemp -d)
pid=
cleanup() {
  if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then kill "$pid"; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "window test: $*" >&2; [[ -f "$work/window.err" ]] && cat "$work/window.err" >&2; exit 1; }

# A whole minute, so the status bar's time cannot turn during the test.
clock=799999980
"$sim" --root "$work/root" --bundle "$bundle" install
cp -a "$work/root" "$work/replay-root"  # the replay starts from what the window started from

point=$(printf 'clock %s\nshow\nwait 1\nlocate button:EUR\n' "$clock" |
  "$sim" --root "$work/replay-root" --headless --script -) || fail "cannot locate the left button"
rm -rf "$work/replay-root" && cp -a "$work/root" "$work/replay-root"
x=${point%,*}
y=${point#*,}

mkfifo "$work/events"
"$sim" --root "$work/root" --scale 1 --clock "$clock" --record "$work/record.txt" --report-idle \
  >"$work/events" 2>"$work/window.err" &
pid=$!
exec 3<"$work/events"

# Waits until the window has drawn everything after an action matching `$1` and waits for
# input: every animation it started has ended.
wait_idle() {
  local line
  while read -r -t 20 line <&3; do
    [[ "$line" =~ ^idle\ after\ $1 ]] && return 0
  done
  fail "the window did not come to rest after: $1"
}
wait_idle 'show$'
wid=$(timeout 10 xdotool search --sync --name '^Tessary$' | head -1) || fail "no window named Tessary"

import -window "$wid" "$work/before.png"
xdotool mousemove --window "$wid" "$x" "$y" click 1
wait_idle 'touch up'
import -window "$wid" "$work/after.png"
xdotool key --window "$wid" ctrl+q 2>/dev/null || true
# Quitting writes the record's last wait; ctest's timeout guards a window that never ends.
wait "$pid" || fail "the window ended with status $?"
pid=

grep -q '^touch down' "$work/record.txt" || fail "the click is not in the record"

# The overlay darkens the list: a sample notification's row far below the widget.
luminance() { convert "$1" -crop "1x1+$2+$3" -format '%[fx:luminance]' info:; }
before=$(luminance "$work/before.png" 160 400)
after=$(luminance "$work/after.png" 160 400)
awk -v b="$before" -v a="$after" 'BEGIN { exit !(b > 0.05 && a < b * 0.5) }' ||
  fail "the list is not darkened by the overlay (luminance $before before, $after after)"

# The replay draws what the display showed, pixel for pixel; the help line is the window's own.
{ cat "$work/record.txt"; echo "snapshot $work/replay.png"; } |
  "$sim" --root "$work/replay-root" --headless --script - || fail "the replay failed"
size=$(convert "$work/replay.png" -format '%wx%h' info:)
convert "$work/after.png" -crop "$size+0+0" +repage "$work/after-screen.png"
differing=$(compare -metric AE "$work/after-screen.png" "$work/replay.png" null: 2>&1 || true)
[[ "$differing" == 0 ]] || fail "the replay differs from the window in $differing pixels"
echo "window test: the overlay darkened the list ($before to $after) and the replay matches"
