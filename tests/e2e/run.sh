#!/usr/bin/env bash
# End-to-end scenarios of the installed program on a real X display with a tray host, a sound
# server and a loopback feed server. Usage: run.sh SCENARIO (exit 77 = skipped, with the reason).
# Needs E2E_BUILD (the build tree), SERVE_FEED (the feed server) and NIMBREL_FEED_HOST.
E2E_SOURCE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=harness.sh
. "$E2E_SOURCE/harness.sh"

scenario=${1:?scenario}
e2e_home
start_display
[ "$scenario" = sni_tray ] || start_tray
install_program

first_start() {
  # In a Wayland session whose compositor cannot be reached, the window opens on X11 all the same.
  WAYLAND_DISPLAY=nimbrel-none XDG_SESSION_TYPE=wayland start_program
  wait_for 15 window_mapped || fail "the window was not mapped: $(cat "$E2E_DIR/nimbrel.log")"
  [ "$(tray_icon_count)" -eq 0 ] || fail "a tray icon exists on a first start"
  note "window mapped, no tray icon"
}

tray_start() {
  store citydat.txt 90012
  start_program
  wait_for 15 tray_has_one_icon || fail "no tray icon appeared"
  sleep 1
  [ -z "$(main_window)" ] || fail "the window is mapped although a ZIP code is stored"
  [ "$(tray_icon_count)" -eq 1 ] || fail "expected exactly one tray icon, found $(tray_icon_count)"
  local icon; icon=$(tray_icons | head -n 1)
  local started; started=$(date +%s%N)
  xdotool mousemove --window "$icon" 5 5 click 1
  wait_for 10 window_mapped || fail "a left click on the icon did not map the window"
  note "tray click to window mapped: $(( ($(date +%s%N) - started) / 1000000 )) ms"
}

# The recording must hold the whole chime first and then more sound (the speech), which may follow
# the chime too closely to stand apart as a span of its own.
check_chime_then_speech() {
  local spans; spans=$(sound_spans)
  echo "$spans" | sed 's/^/   sound span /'
  [ -n "$spans" ] || fail "the recording is silent"
  local chime; chime=$(sound_spans "$PREFIX/share/nimbrel/weather.wav" | awk 'END { print $2 }')
  echo "$spans" | awk -v chime="$chime" '
    NR == 1 { onset = $1; first_end = $2 }
    { last = $2 }
    END {
      if (first_end - onset < chime - 0.1) { print "FAIL: the first sound is shorter than the chime"; exit 1 }
      if (last < onset + chime + 0.5) { print "FAIL: no speech after the chime"; exit 1 }
    }' || fail "expected the chime ($chime s) and then speech"
}

# The announcement's stream, as the desktop's mixer shows it: Nimbrel's name and icon, and no
# media role (a role could let do-not-disturb silence an announcement).
check_stream_identity() {
  wait_for 5 bash -c 'pactl list sink-inputs | grep -q "application.name = \"Nimbrel\""' ||
    fail "no sound stream named Nimbrel: $(pactl list sink-inputs)"
  local inputs; inputs=$(pactl list sink-inputs)
  echo "$inputs" | grep -q 'application.icon_name = "nimbrel"' || fail "the stream has no icon: $inputs"
  ! echo "$inputs" | grep -q 'media.role' || fail "the stream has a media role: $inputs"
  [ "$(echo "$inputs" | grep -c '^Sink Input #')" -eq 1 ] || fail "more than one stream: $inputs"
  note "one stream, named Nimbrel, with its icon and no media role"
}

# Where the speech begins in the recording, in seconds: the first sound after the chime (a
# voice's lead-in silence is not counted, as it is not in a rendering to a file), or the chime's
# end when the speech runs straight on.
speech_start() {
  local chime; chime=$(sound_spans "$PREFIX/share/nimbrel/weather.wav" | awk 'END { print $2 }')
  sound_spans | awk -v chime="$chime" '
    NR == 1 { onset = $1; speech = onset + chime }
    NR > 1 && !found && $1 >= onset + chime - 0.02 { speech = $1; found = 1 }
    END { printf "%.3f", speech }'
}

# The report's four sections as a voice renders them to one file: espeak-ng's en-us or af, or
# Flite's slt sentence by sentence, as the program has it speak.
render_voice() {
  local voice=$1 time=$2 i=0 section
  for section in "Hello. At $time in Los Angeles, it's Fair and 58 degrees with wind at 5 miles per hour. " \
    "Today, Fair with a high of 68 degrees and a low of 50 degrees. " \
    "Current humidity is 72% with barometric pressure rising at 30.1. Visibility is 10 miles. " \
    "Sunrise is at 6:52 am and sunset is at 5:03 pm. "; do
    if [ "$voice" = slt ]; then
      printf '%s\n' "$section" >"$E2E_DIR/section.txt"
      flite -voice slt -f "$E2E_DIR/section.txt" -o "$E2E_DIR/$voice-$i.wav"
    else
      espeak-ng -v "$voice" -w "$E2E_DIR/$voice-$i.wav" "$section"
    fi
    i=$((i + 1))
  done
  sox "$E2E_DIR/$voice"-[0-3].wav "$E2E_DIR/$voice.wav"
}

# The loudness of FILE from START seconds on, one value each 10 ms.
envelope() {
  sox "$1" -t dat -c 1 - 2>/dev/null | awk -v from="$2" '
    /^;/ || $1 < from { next }
    { f = int(($1 - from) * 100); e[f] += $2 * $2; if (f > n) n = f }
    END { for (i = 0; i <= n; i++) print sqrt(e[i]) }'
}

# How alike two loudness envelopes are: their best correlation within 50 ms either way. The same
# voice on the same text scores near 1, whatever its level or sample rate; another voice far less.
likeness() {
  awk 'NR == FNR { a[n++] = $1; next } { b[m++] = $1 }
    END {
      best = -1
      for (lag = -5; lag <= 5; lag++) {
        k = sa = sb = saa = sbb = sab = 0
        for (i = 0; i < n; i++) {
          j = i + lag
          if (j < 0 || j >= m) continue
          k++; sa += a[i]; sb += b[j]; saa += a[i] * a[i]; sbb += b[j] * b[j]; sab += a[i] * b[j]
        }
        d = (k * saa - sa * sa) * (k * sbb - sb * sb)
        if (d > 0 && (c = (k * sab - sa * sb) / sqrt(d)) > best) best = c
      }
      printf "%.3f", best
    }' "$1" "$2"
}

no_sink_inputs() { [ -z "$(pactl list sink-inputs short)" ]; }

test_button() {
  start_pulse
  start_feed
  start_program
  wait_for 15 window_mapped || fail "the window was not mapped"
  local window; window=$(main_window)
  start_recording
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
  local time; time=$(LC_ALL=C date +'%-I:%M %p')
  xdotool key alt+t
  wait_for 20 test -s "$DATA_DIR/greetdat.txt" || fail "no announcement: greetdat.txt was not written"
  check_stream_identity
  # The whole report: about 23 s of speech.
  sleep 3
  wait_for 45 no_sink_inputs || true
  sleep 0.5
  stop_recording
  grep -q '^/forecastrss?p=90012&u=f ' "$FEED_LOG" || fail "unexpected request: $(cat "$FEED_LOG")"
  [ "$(cat "$DATA_DIR/citydat.txt")" = $'90012\r' ] || fail "citydat.txt holds $(od -c "$DATA_DIR/citydat.txt")"
  [ "$(cat "$DATA_DIR/greetdat.txt")" = $'Hello\r' ] || fail "greetdat.txt holds $(od -c "$DATA_DIR/greetdat.txt")"
  check_chime_then_speech
  # A first start speaks the clearest English voice: the speech's loudness follows Flite's slt
  # rendering of the sections (espeak-ng's en-us where libflite is absent), not the others'.
  envelope "$RECORDING" "$(speech_start)" >"$E2E_DIR/spoken.env"
  local voice voices="en-us af" expected=en-us scores=""
  if command -v flite >/dev/null && ls /usr/lib/*/libflite_cmu_us_slt.so.1 >/dev/null 2>&1; then
    expected=slt voices="slt $voices"
  fi
  for voice in $voices; do
    render_voice "$voice" "$time"
    envelope "$E2E_DIR/$voice.wav" "$(sound_spans "$E2E_DIR/$voice.wav" | awk 'NR == 1 { print $1 }')" >"$E2E_DIR/$voice.env"
    scores+="$voice $(likeness "$E2E_DIR/spoken.env" "$E2E_DIR/$voice.env")"$'\n'
  done
  note "likeness of the speech to each voice's rendering: $(echo $scores); voicedat.txt: $(tr -d '\r' <"$DATA_DIR/voicedat.txt")"
  [ "$(sort -k2 -g -r <<<"$scores" | awk 'NF { print $1; exit }')" = $expected ] ||
    fail "not the first start's voice ($expected): $scores"
  note "Alt+T: chime, then English speech; files written"
}

# The sound server stopped (SIGSTOP) in the middle of the speech: SIGTERM still ends the program
# within a second.
frozen_server() {
  start_pulse
  start_feed
  start_program
  wait_for 15 window_mapped || fail "the window was not mapped"
  local window; window=$(main_window)
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
  xdotool key alt+t
  wait_for 20 test -s "$DATA_DIR/greetdat.txt" || fail "no announcement: greetdat.txt was not written"
  wait_for 5 bash -c '[ -n "$(pactl list sink-inputs short)" ]' || fail "no sound stream"
  # Past the chime, into the speech.
  sleep 3
  kill -STOP "$PULSE_PID"
  sleep 0.5
  # Another announcement cannot chime: the window waits at most the chime's length plus 2 s
  # (and the fetch) before it acts on "&Okay", which sends it to the tray.
  local chime_ms; chime_ms=$(soxi -D "$PREFIX/share/nimbrel/weather.wav" | awk '{ printf "%d", $1 * 1000 }')
  local pressed; pressed=$(date +%s%N)
  xdotool key alt+t
  sleep 0.5 # "&Okay" before the button's click (100 ms after its key) would come first
  xdotool key alt+o
  wait_for 10 bash -c '! xdotool search --onlyvisible --name "^Nimbrel 1\.61$"' ||
    fail "the window still ignores input 10 s after \"&Test\" with the sound server frozen"
  local held=$(( ($(date +%s%N) - pressed) / 1000000 ))
  [ "$held" -le $(( chime_ms + 2500 )) ] ||
    fail "the window took $held ms to take input again (chime $chime_ms ms + 2 s)"
  local started; started=$(date +%s%N)
  kill -TERM "$PROGRAM_PID"
  wait_for 5 bash -c "! kill -0 $PROGRAM_PID"
  local took=$(( ($(date +%s%N) - started) / 1000000 ))
  kill -CONT "$PULSE_PID"
  [ "$took" -le 1000 ] || fail "SIGTERM took $took ms to end the program with the sound server frozen"
  note "sound server frozen mid-speech: input taken after $held ms, SIGTERM ended the program after $took ms"
}

scheduled() {
  start_pulse
  start_feed
  # Two minutes ahead, so the time is still ahead once the program runs, whatever the second now.
  local target; target=$(date -d '+2 minute' +%s)
  target=$(( target - target % 60 ))
  local key; key=$(LC_ALL=C date -d "@$target" +%I%M%p)
  store "$key.tim" 1
  store citydat.txt 90012
  start_program
  note "scheduled $key, waiting for the clock"
  wait_for 130 bash -c "[ \$(date +%s) -ge $(( target - 2 )) ]"
  start_recording
  wait_for 10 test -s "$DATA_DIR/greetdat.txt" || fail "the scheduled time was not announced"
  sleep 6
  stop_recording
  [ "$(grep -c . "$FEED_LOG")" -eq 1 ] || fail "expected one request, got: $(cat "$FEED_LOG")"
  local asked; asked=$(awk '{ print $2 }' "$FEED_LOG")
  local late; late=$(awk -v a="$asked" -v t="$target" 'BEGIN { printf "%d", (a - t) * 1000 }')
  [ "$late" -ge 0 ] && [ "$late" -le 2000 ] || fail "announced $late ms after the start of $key"
  [ -e "$DATA_DIR/$key.spk" ] || fail "no spoken marker after the announcement"
  check_chime_then_speech
  note "announced $late ms after the start of its minute, once, with no input"
}

# A home install made as the README says answers its first Alt+T with nothing else running: the
# program starts the nimbrel-feed installed beside it (asking a local Open-Meteo stand-in through
# the environment) and stops it when it ends, also when it is killed.
feed_service() {
  start_pulse
  local upstream_port=18461 host=${NIMBREL_FEED_HOST%:*} port=${NIMBREL_FEED_HOST##*:}
  ! bash -c "exec 3<>/dev/tcp/$host/$port" 2>/dev/null || skip "another server holds $NIMBREL_FEED_HOST"
  "$UPSTREAM_DOUBLE" "$upstream_port" >"$E2E_DIR/upstream.log" 2>&1 &
  E2E_PIDS+=($!)
  export NIMBREL_FEED_UPSTREAM=http://127.0.0.1:$upstream_port NIMBREL_FEED_NWS_UPSTREAM=http://127.0.0.1:$upstream_port
  PREFIX=$HOME/.local
  cmake --install "$E2E_BUILD" --prefix "$PREFIX" >"$E2E_DIR/home-install.log" 2>&1 ||
    fail "cmake --install --prefix $PREFIX failed: $(tail -n 5 "$E2E_DIR/home-install.log")"
  NIMBREL=$PREFIX/bin/nimbrel
  local feed=$PREFIX/bin/nimbrel-feed signal
  store greetdat.txt "Good morning"
  for signal in TERM KILL; do
    start_program
    wait_for 15 window_mapped || fail "the window was not mapped: $(cat "$E2E_DIR/nimbrel.log")"
    [ "$signal" = KILL ] || start_recording
    xdotool windowfocus --sync "$(main_window)"
    xdotool key alt+t
    # The city test passed only if the feed's document named a city.
    wait_for 20 test -s "$DATA_DIR/citydat.txt" || fail "no announcement: $(cat "$E2E_DIR/nimbrel.log")"
    # Also stopped by the harness, should it outlive the program.
    E2E_PIDS+=($(pgrep -f "^$feed ")) || fail "the program did not start its own nimbrel-feed"
    if [ "$signal" = TERM ]; then
      sleep 6
      stop_recording
      check_chime_then_speech
      [ "$(cat "$DATA_DIR/greetdat.txt")" = $'Good morning\r' ] || fail "greetdat.txt holds $(od -c "$DATA_DIR/greetdat.txt")"
      rm "$DATA_DIR/citydat.txt"
    fi
    kill -"$signal" "$PROGRAM_PID"
    wait_for 5 bash -c "! kill -0 $PROGRAM_PID" || fail "the program did not end on SIG$signal"
    wait_for 2 bash -c "! pgrep -f '^$feed '" || fail "nimbrel-feed outlived the program (SIG$signal)"
  done
  note "home install, Alt+T: its own nimbrel-feed started, city found, chime, then speech; the feed ended with the program on SIGTERM and on SIGKILL"
}

exit_yes() {
  store citydat.txt 90012
  start_program
  wait_for 15 tray_has_one_icon || fail "no tray icon appeared"
  sleep 1 # the tray host embeds the icon a moment after it appears
  xdotool mousemove --window "$(tray_icons | head -n 1)" 5 5 click 1
  wait_for 10 window_mapped || fail "the window did not come back"
  local window; window=$(main_window)
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
  xdotool key alt+x
  wait_for 10 xdotool search --onlyvisible --name '^Nimbrel$' || fail "no exit question"
  local question; question=$(xdotool search --onlyvisible --name '^Nimbrel$' | head -n 1)
  xdotool windowfocus --sync "$question" 2>/dev/null || true
  xdotool key alt+y
  wait_for 10 bash -c "! kill -0 $PROGRAM_PID" || fail "the program did not end after Yes"
  [ "$(tray_icon_count)" -eq 0 ] || fail "the tray icon is still there"
  note "exit answered Yes: process ended, icon gone"
}

# How far the frame's centre lies from the screen's, in half pixels: "dx dy".
frame_offset() {
  local info extents
  info=$(xwininfo -id "$1")
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ,)
  read -r left right top bottom <<<"${extents:-0 0 0 0}"
  awk -v l="$left" -v r="$right" -v t="$top" -v b="$bottom" -v sw="$(screen_size 1)" \
    -v sh="$(screen_size 2)" '
    /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /^ +Width/ { w = $NF } /^ +Height/ { h = $NF }
    END { print 2 * (x - l) + w + l + r - sw, 2 * (y - t) + h + t + b - sh }' <<<"$info"
}
screen_size() { xdpyinfo | awk '/dimensions:/ { split($2, d, "x"); print d['"$1"'] }'; }
frame_centred() { read -r dx dy <<<"$(frame_offset "$1")"; (( dx * dx <= 4 && dy * dy <= 4 )); }

window_iconic() { xprop -id "$1" WM_STATE | grep -q 'window state: Iconic'; }
# openbox may still be handling the last activation and ignore a request made right after it.
minimise() { xdotool windowminimize "$1"; sleep 0.2; window_iconic "$1"; }

window_restored() {
  xprop -id "$1" WM_STATE | grep -q 'window state: Normal' &&
    [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]
}

# Under a window manager: centred with its frame when first shown, and a minimised window comes
# back, in front, from each click on the tray icon.
window_manager() {
  start_wm
  store citydat.txt 90012
  start_program
  wait_for 15 tray_has_one_icon || fail "no tray icon appeared"
  local icon; icon=$(tray_icons | head -n 1)
  xdotool mousemove --window "$icon" 5 5 click 1
  wait_for 10 window_mapped || fail "a left click on the icon did not map the window"
  local window; window=$(main_window)
  wait_for 5 frame_centred "$window" || fail "the frame is off centre by $(frame_offset "$window") half pixels"
  note "frame centred (off by $(frame_offset "$window") half pixels)"
  skips_taskbar "$window" || fail "no skip-taskbar: $(xprop -id "$window" _NET_WM_STATE)"
  no_minimise_or_maximise "$window" || fail "the frame may minimise or maximise: $(xprop -id "$window" _MOTIF_WM_HINTS)"
  note "skip-taskbar asked; MWM hints: $(xprop -id "$window" _MOTIF_WM_HINTS | sed 's/.*= //')"
  local click
  for click in "click 1" "click --repeat 2 --delay 80 1" "click 3"; do
    wait_for 5 minimise "$window" || fail "openbox did not minimise"
    xdotool mousemove --window "$icon" 5 5 $click
    wait_for 10 window_restored "$window" || fail "'$click' on the icon left the window minimised"
    note "minimised, then '$click' on the icon: shown and active"
  done
}

# Motif hints that ask for no minimise or maximise: functions (flag 1) neither "all but" (1),
# minimise (8) nor maximise (16); decorations (flag 2) neither "all but", minimise (32) nor
# maximise (64).
no_minimise_or_maximise() {
  local flags functions decorations
  read -r flags functions decorations _ <<<"$(xprop -id "$1" _MOTIF_WM_HINTS | sed -n 's/.*= //p' | tr -d ,)"
  (( (flags & 3) == 3 && (functions & 25) == 0 && (decorations & 97) == 0 ))
}
skips_taskbar() { xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR; }

# Under a StatusNotifierItem host (lxqt-panel): each kind of click on the sun in the panel brings
# the window back, three times over, after "&Okay" has hidden it; the right click through the
# menu the host shows. The menu's "Exit" asks the exit question.
sni_tray() {
  # The host finds the icon by its name in the installed theme.
  export XDG_DATA_DIRS=$PREFIX/share:/usr/share
  start_sni_panel
  store citydat.txt 90012
  start_program
  wait_for 15 sni_item_property Menu || fail "no item on the bus: $(cat "$E2E_DIR/nimbrel.log")"
  wait_for 5 sni_icon_position || fail "no sun in the panel (see $E2E_DIR/panel.png)"
  [ "$(sni_item_property IconName)" = nimbrel ] || fail "the item's icon name is '$(sni_item_property IconName)'"
  [ "$(sni_item_property Menu)" != /NO_DBUSMENU ] || fail "the item has no menu"
  local x y; read -r x y <<<"$(sni_icon_position)"
  note "icon named nimbrel, with a menu, drawn at $x,$y"
  local click round window
  for click in "click 1" "click --repeat 2 --delay 80 1" "click 3"; do
    for round in 1 2 3; do
      [ -z "$(main_window)" ] || fail "the window is still shown before '$click' ($round)"
      xdotool mousemove "$x" "$y" $click
      [ "$click" != "click 3" ] || click_menu_item 1
      wait_for 10 window_mapped || fail "'$click' on the icon ($round) did not bring the window back"
      window=$(main_window)
      skips_taskbar "$window" || fail "shown again without skip-taskbar: $(xprop -id "$window" _NET_WM_STATE)"
      xdotool windowfocus --sync "$window"
      xdotool key alt+o
      wait_for 10 bash -c '[ -z "$(xdotool search --onlyvisible --name "^Nimbrel 1\.61$")" ]' ||
        fail "\"&Okay\" did not hide the window"
    done
    note "'$click' on the icon brought the window back three times"
  done
  xdotool mousemove "$x" "$y" click 3
  click_menu_item 2
  wait_for 10 xdotool search --onlyvisible --name '^Nimbrel$' || fail "the menu's Exit asked nothing"
  xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Nimbrel$' | head -n 1)"
  xdotool key alt+y
  wait_for 10 bash -c "! kill -0 $PROGRAM_PID" || fail "the program did not end after Exit, Yes"
  note "the menu's Exit asked the question; Yes ended the program"
}

# Clicks the Nth item of the menu the panel has just popped up.
click_menu_item() {
  wait_for 5 menu_window || fail "no menu popped up"
  local menu; menu=$(menu_window)
  eval "$(xdotool getwindowgeometry --shell "$menu" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  # The menu's two items share its height.
  xdotool mousemove $(( X + WIDTH / 2 )) $(( Y + HEIGHT * (2 * $1 - 1) / 4 )) click 1
}
menu_window() {
  local w
  for w in $(xdotool search --onlyvisible --classname lxqt-panel 2>/dev/null); do
    [ "$w" != "$PANEL_WINDOW" ] && { echo "$w"; return 0; }
  done
  return 1
}

# A screen reader's view: the accessible tree over AT-SPI, and the report read after "Test".
screen_reader() {
  start_wm
  start_a11y_bus
  start_pulse
  start_feed
  start_program
  wait_for 15 window_mapped || fail "the window was not mapped"
  "$SYSTEM_PYTHON" "$E2E_SOURCE/a11y_tree.py" || fail "the accessible tree is not what a screen reader needs"
}

second_start() {
  start_program
  wait_for 15 window_mapped || fail "the first instance did not start"
  local started; started=$(date +%s%N)
  timeout 10 "$NIMBREL" >"$E2E_DIR/second.log" 2>&1 || fail "the second start failed or hung ($?)"
  note "second start ended after $(( ($(date +%s%N) - started) / 1000000 )) ms"
  kill -0 "$PROGRAM_PID" || fail "the first instance ended"
  [ "$(xdotool search --onlyvisible --name '^Nimbrel 1\.61$' | grep -c .)" -eq 1 ] || fail "two windows"
}

"$scenario"
echo "PASS: $scenario"
