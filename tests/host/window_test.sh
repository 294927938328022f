#!/usr/bin/env bash
# The window on a real X display (run under xvfb-run), driven with xdotool, its screenshots
# taken from the X server itself:
#   picker     a click on the left currency button opens the picker, and the list shows
#              darkened by the overlay;
#   clipboard  the computer's clipboard pastes into a field with Ctrl+V, and the bar's Copy
#              puts the amount on the computer's clipboard;
#   keys       the on-screen key under the held button is drawn pressed, the press follows
#              the pointer to another key, and the key under the release types;
#   outside    a key held and the pointer dragged out of the window: the touch is cancelled,
#              the key no longer looks pressed and nothing is typed, in the window and in the
#              replay of its record;
#   glow       the clear button glows while the button is held on it, and stops once released;
#   resized    in a window resized to 500x700 the picture keeps its proportions between bars,
#              and a click on the drawn "Next" lands on it, not on the key under it unscaled;
#   delayed    against a quote service that answers 3 s late, a second digit typed before
#              the first reply: the record places each reply where it arrived;
#   stopped    a forced refresh answered, then one after the service stopped (its alert),
#              then typing: the record's replies stand in for the service.
# Except where the window was resized, its record, replayed headless, draws the same pixels as
# the display showed at the end, and in the last two at every step, with no service running.
#
#   window_test.sh TESSARY-SIM BUNDLE-DIR picker|clipboard|keys|outside|glow|resized|delayed|stopped
#                  [TESSARY-QUOTED]
set -euo pipefail
sim=$1
bundle=$2
scenario=$3
quoted=${4:-}
for tool in xdotool import convert compare xclip; do
  command -v "$tool" >/dev/null || { echo "window test: $tool is missing (scripts/install-deps)"; exit 77; }
done
[[ -n "${DISPLAY:-}" ]] || { echo "window test: no display; run it under xvfb-run -a"; exit 1; }

work=$(mktemp -d)
pid=
service=
stop_service() {
  if [[ -n "$service" ]] && kill -0 "$service" 2>/dev/null; then kill "$service"; wait "$service" 2>/dev/null || true; fi
  service=
}
cleanup() {
  if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then kill "$pid"; wait "$pid" 2>/dev/null || true; fi
  stop_service
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "window test: $scenario: $*" >&2; [[ -f "$work/window.err" ]] && cat "$work/window.err" >&2; exit 1; }

# A whole minute, so the status bar's time cannot turn during the test.
clock=799999980
"$sim" --root "$work/root" --bundle "$bundle" install
data="$work/root/var/mobile/Library/Tessary"
# A fresh rate, so that typing converts without asking the network.
echo '<plist version="1.0"><dict><key>EUR-USD</key><string>1.25</string></dict></plist>' >"$data/Rates.plist"
echo "<plist version=\"1.0\"><dict><key>EUR-USD</key><real>$clock</real></dict></plist>" >"$data/Dates.plist"

# Where targets lie on the screen, asked of a headless run on a copy of the root.
locate() {
  rm -rf "$work/scratch" && cp -a "$work/root" "$work/scratch"
  printf 'clock %s\nshow\nwait 1\n%s\n' "$clock" "$1" |
    "$sim" --root "$work/scratch" --headless --script - | tail -n "$2"
}

start_window() {
  cp -a "$work/root" "$work/replay-root"  # the replay starts from what the window started from
  mkfifo "$work/events"
  # Under the sanitizers the window's process leaves out the leak check: SDL's D-Bus and X
  # libraries keep allocations past exit, in libraries already unloaded, which no suppression
  # can name. The headless replay is still checked.
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "$sim" --root "$work/root" --scale 1 --clock "$clock" --record "$work/record.txt" \
    --report-idle >"$work/events" 2>"$work/window.err" &
  pid=$!
  exec 3<"$work/events"
  wait_idle 'show$'
  wid=$(timeout 10 xdotool search --sync --name '^Tessary$' | head -1) || fail "no window named Tessary"
}

# Waits until the window has drawn everything after an action matching `$1` and waits for
# input: every animation it started has ended.
wait_idle() {
  local line
  while read -r -t 20 line <&3; do
    [[ "$line" =~ ^idle\ after\ $1 ]] && return 0
  done
  fail "the window did not come to rest after: $1"
}

click() {
  xdotool mousemove --window "$wid" "${1%,*}" "${1#*,}" click 1
  wait_idle "touch up ${1%,*},${1#*,}"
}

quit_window() {
  import -window "$wid" "$work/shown.png"
  xdotool key --window "$wid" ctrl+q 2>/dev/null || true
  # Quitting writes the record's last wait; ctest's timeout guards a window that never ends.
  wait "$pid" || fail "the window ended with status $?"
  pid=
}

# The replay draws what the display showed, pixel for pixel; the help line is the window's own.
replay_matches() {
  { cat "$work/record.txt"; echo "snapshot $work/replay.png"; echo "dump"; } |
    "$sim" --root "$work/replay-root" --headless --script - >"$work/replay.out" ||
    fail "the replay failed"
  local size differing
  size=$(convert "$work/replay.png" -format '%wx%h' info:)
  convert "$work/shown.png" -crop "$size+0+0" +repage "$work/shown-screen.png"
  differing=$(compare -metric AE "$work/shown-screen.png" "$work/replay.png" null: 2>&1 || true)
  [[ "$differing" == 0 ]] || fail "the replay differs from the window in $differing pixels"
}

# The quote service on a free port, answering each quote `$1` ms late.
start_service() {
  mkfifo "$work/service.out"
  "$quoted" --listen 127.0.0.1:0 --delay "$1" >"$work/service.out" &
  service=$!
  exec 4<"$work/service.out"
  local line
  read -r -t 10 line <&4 || fail "the quote service did not start"
  export TESSARY_QUOTE_URL=${line#listening on }
}

# What the display shows now against a replay of the record so far, on a fresh copy of the
# starting root, taken a little later as the display was (the window waits at rest or for a
# reply). With `$1` set the status bar is left out: while a request runs its activity
# indicator turns with real time.
step=0
step_matches() {
  step=$((step + 1))
  import -window "$wid" "$work/step.png"
  rm -rf "$work/step-root" && cp -a "$work/replay-root" "$work/step-root"
  { cat "$work/record.txt"; echo "wait 0.5"; echo "snapshot $work/step-replay.png"; } |
    env -u TESSARY_QUOTE_URL "$sim" --root "$work/step-root" --headless --script - \
      >/dev/null 2>"$work/step.err" || fail "step $step: the replay failed: $(cat "$work/step.err")"
  local w h top differing
  w=$(convert "$work/step-replay.png" -format '%w' info:)
  h=$(convert "$work/step-replay.png" -format '%h' info:)
  top=${1:-0}
  convert "$work/step.png" -crop "${w}x$((h - top))+0+$top" +repage "$work/step-shown.png"
  convert "$work/step-replay.png" -crop "${w}x$((h - top))+0+$top" +repage "$work/step-replay-cut.png"
  differing=$(compare -metric AE "$work/step-shown.png" "$work/step-replay-cut.png" null: 2>&1 || true)
  [[ "$differing" == 0 ]] || { cp "$work/step-shown.png" "$work/step-replay-cut.png" "${KEEP_STEPS:-$work}/" 2>/dev/null || true; fail "step $step: the replay differs from the window in $differing pixels"; }
}

luminance() { convert "$1" -crop "1x1+$2+$3" -format '%[fx:luminance]' info:; }
# Two lights within a hundredth of each other: the same look.
same() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a - b < 0.01 && b - a < 0.01) }'; }

case "$scenario" in
  picker)
    button=$(locate 'locate button:EUR' 1)
    start_window
    import -window "$wid" "$work/before.png"
    click "$button"
    quit_window
    grep -q '^touch down' "$work/record.txt" || fail "the click is not in the record"
    # A sample notification's row far below the widget.
    before=$(luminance "$work/before.png" 160 400)
    after=$(luminance "$work/shown.png" 160 400)
    awk -v b="$before" -v a="$after" 'BEGIN { exit !(b > 0.05 && a < b * 0.5) }' ||
      fail "the list is not darkened by the overlay (luminance $before before, $after after)"
    replay_matches
    echo "window test: the overlay darkened the list ($before to $after); the replay matches"
    ;;
  clipboard)
    mapfile -t places < <(locate $'locate field:left\ntap field:left\nwait 1\nlocate bar:Copy' 2)
    start_window
    printf '42' | xclip -selection clipboard
    click "${places[0]}"
    xdotool key --window "$wid" ctrl+v
    wait_idle 'paste "42"'
    xdotool type --window "$wid" 5
    wait_idle 'type "5"'
    click "${places[1]}"
    copied=$(xclip -o -selection clipboard)
    quit_window
    grep -q '^pasteboard "42"$' "$work/record.txt" || fail "the clipboard did not reach the pasteboard"
    [[ "$copied" == 425 ]] || fail "Copy put \"$copied\" on the clipboard, not 425"
    replay_matches
    grep -q '"pasteboard":"425"' "$work/replay.out" || fail "the replay's pasteboard is not 425"
    echo "window test: 42 pasted from the clipboard, 425 copied to it; the replay matches"
    ;;
  keys)
    field=$(locate 'locate field:left' 1)
    start_window
    click "$field"
    # The phone's pad at one pixel a point: 5 and 8 in the middle column, rows 54 high from
    # y=264; each sampled on its face beside its label.
    import -window "$wid" "$work/up.png"
    xdotool mousemove --window "$wid" 160 345 mousedown 1
    wait_idle 'touch down 160,345'
    import -window "$wid" "$work/five.png"
    xdotool mousemove --window "$wid" 160 399
    wait_idle 'touch move 160,399'
    import -window "$wid" "$work/eight.png"
    xdotool mouseup 1
    wait_idle 'touch up 160,399'
    quit_window
    face() { luminance "$1" 125 "$2"; }
    read -r five_up eight_up five_held eight_after_slide five_after_slide eight_shown < <(
      echo "$(face "$work/up.png" 330) $(face "$work/up.png" 384) $(face "$work/five.png" 330)" \
        "$(face "$work/eight.png" 384) $(face "$work/eight.png" 330) $(face "$work/shown.png" 384)")
    darker() { awk -v held="$1" -v up="$2" 'BEGIN { exit !(held < up - 0.1) }'; }
    darker "$five_held" "$five_up" || fail "5 is not drawn pressed while held ($five_held, up $five_up)"
    darker "$eight_after_slide" "$eight_up" || fail "the press did not follow to 8 ($eight_after_slide)"
    same "$five_after_slide" "$five_up" || fail "5 still looks pressed after the slide ($five_after_slide)"
    same "$eight_shown" "$eight_up" || fail "8 still looks pressed after the release ($eight_shown)"
    grep -q '^touch move 160,399$' "$work/record.txt" || fail "the slide is not in the record"
    replay_matches
    grep -q '"text":"8","placeholder":"","editing":true' "$work/replay.out" ||
      fail "the release over 8 did not type 8"
    echo "window test: 5 held ($five_up to $five_held), slid to 8 ($eight_up to $eight_after_slide)," \
      "released: 8 typed; the replay matches"
    ;;
  outside)
    field=$(locate 'locate field:left' 1)
    start_window
    click "$field"
    import -window "$wid" "$work/up.png"
    xdotool mousemove --window "$wid" 160 345 mousedown 1
    wait_idle 'touch down 160,345'
    # Far from the window, which lies in the middle of the display.
    xdotool mousemove 5 5
    wait_idle 'touch cancel'
    xdotool mouseup 1
    quit_window
    five_up=$(luminance "$work/up.png" 125 330)
    five_after=$(luminance "$work/shown.png" 125 330)
    same "$five_after" "$five_up" ||
      fail "5 still looks pressed after the touch was cancelled ($five_after, up $five_up)"
    grep -q '^touch cancel$' "$work/record.txt" || fail "the cancel is not in the record"
    [[ "$(grep '^touch' "$work/record.txt" | tail -1)" == "touch cancel" ]] ||
      fail "the record's last touch is not the cancel"
    replay_matches
    grep -q '"text":"","placeholder":"[^"]*","editing":true' "$work/replay.out" ||
      fail "the release outside typed something"
    echo "window test: a key held and dragged out of the window typed nothing; the replay matches"
    ;;
  glow)
    "$sim" --root "$work/root" --headless --script - <<<'settings Detail true'
    clear=$(locate 'locate image:Clear.png' 1 | awk -F, '{ printf "%d,%d", $1, $2 }')
    start_window
    import -window "$wid" "$work/before.png"
    xdotool mousemove --window "$wid" "${clear%,*}" "${clear#*,}" mousedown 1
    wait_idle "touch down ${clear%,*},${clear#*,}"
    import -window "$wid" "$work/held.png"
    xdotool mouseup 1
    wait_idle "touch up ${clear%,*},${clear#*,}"
    quit_window
    # The mean light of a square around the button's centre.
    light() {
      convert "$1" -crop "24x24+$((${clear%,*} - 12))+$((${clear#*,} - 12))" \
        -format '%[fx:mean]' info:
    }
    before=$(light "$work/before.png") held=$(light "$work/held.png") after=$(light "$work/shown.png")
    awk -v h="$held" -v b="$before" 'BEGIN { exit !(h > b + 0.05) }' ||
      fail "the held button does not glow ($before before, $held held)"
    same "$after" "$before" ||
      fail "the button still glows after the release ($after, before $before)"
    replay_matches
    echo "window test: the held clear button glowed ($before to $held) and stopped; the replay matches"
    ;;
  resized)
    # The field where a fresh window shows it, then Next once the keyboard is up.
    mapfile -t places < <(locate $'locate field:left\ntap field:left\nwait 1\nlocate bar:Next' 2)
    start_window
    click "${places[0]}"
    xdotool windowsize "$wid" 500 700
    # Until the window has drawn at its new size: the left bar shows black.
    for _ in $(seq 50); do
      import -window "$wid" "$work/resized.png"
      [[ "$(convert "$work/resized.png" -format '%wx%h' info:)" == 500x700 ]] &&
        awk -v b="$(luminance "$work/resized.png" 10 350)" 'BEGIN { exit !(b < 0.02) }' && break
    done
    # The picture, 320x514 at one pixel a point, scaled to 700 high: 436 wide, 32 from the left.
    read -r x y < <(awk -v p="${places[1]}" 'BEGIN { split(p, a, ","); s = 700 / 514;
      printf "%d %d\n", 32 + a[1] * s, a[2] * s }')
    bar=$(luminance "$work/resized.png" 10 350)
    picture=$(luminance "$work/resized.png" 250 350)
    awk -v b="$bar" -v p="$picture" 'BEGIN { exit !(b < 0.02 && p > b) }' ||
      fail "no bar beside the picture (bar $bar, picture $picture)"
    xdotool mousemove --window "$wid" "$x" "$y" click 1
    wait_idle 'touch up'
    quit_window
    { cat "$work/record.txt"; echo "dump"; } |
      "$sim" --root "$work/replay-root" --headless --script - >"$work/replay.out" ||
      fail "the replay failed"
    grep -q '"text":"4"' "$work/replay.out" && fail "the click typed 4 instead of landing on Next"
    # Next took the editing from the left field to the right one.
    grep -q '"flags":{"left":false,[^}]*"editing":true' "$work/replay.out" ||
      fail "Next did not move the editing to the right field"
    # The touch lands where Next is drawn, within the rounding of the scaled picture.
    landed=$(grep '^touch down' "$work/record.txt" | tail -1 | cut -d' ' -f3)
    awk -v l="$landed" -v p="${places[1]}" 'BEGIN { split(l, a, ","); split(p, b, ",");
      exit !((a[1] - b[1]) ^ 2 < 4 && (a[2] - b[2]) ^ 2 < 4) }' ||
      fail "the click landed at $landed, not on Next at ${places[1]}"
    echo "window test: in the window resized to 500x700 the click at $x,$y landed on Next"
    ;;
  delayed)
    rm "$data/Rates.plist" "$data/Dates.plist"  # no rate: each keystroke asks the service
    field=$(locate 'locate field:left' 1)
    start_service 3000
    start_window
    click "$field"
    xdotool type --window "$wid" 7
    xdotool type --window "$wid" 5
    # Both replies are 3 s away: the figure is not there yet.
    for _ in $(seq 50); do grep -q '^type "5"$' "$work/record.txt" && break; sleep 0.1; done
    sleep 0.5
    step_matches 20
    wait_idle 'type "5"'
    step_matches
    quit_window
    stop_service
    [[ $(grep -c '^reply [12] 200$' "$work/record.txt") == 2 ]] || fail "the replies are not in the record"
    awk '/^type "5"$/ { typed = 1 } /^reply 1 / { exit !typed }' "$work/record.txt" ||
      fail "the first reply is recorded before the keystroke it followed"
    replay_matches
    echo "window test: both replies arrived after the second digit; every step replays"
    ;;
  stopped)
    "$sim" --root "$work/root" --headless --script - <<<'settings Detail true'
    refresh=$(locate 'locate image:Refresh.png' 1 | awk -F, '{ printf "%d,%d", $1, $2 }')
    field=$(locate 'locate field:left' 1 | awk -F, '{ printf "%d,%d", $1, $2 }')
    start_service 0
    start_window
    click "$refresh"
    step_matches
    stop_service
    click "$refresh"
    [[ $(grep -c '^fail 2 ' "$work/record.txt") == 1 ]] || fail "the failure is not in the record"
    step_matches
    xdotool key --window "$wid" Return
    wait_idle 'alert ok'
    step_matches
    click "$field"
    xdotool type --window "$wid" 4
    wait_idle 'type "4"'
    step_matches
    quit_window
    replay_matches
    echo "window test: a reply, a failure and its alert; every step replays without the service"
    ;;
  *) fail "unknown scenario" ;;
esac
