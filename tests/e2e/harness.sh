# Shared pieces of the end-to-end runs: a private X display with a tray host, a PulseAudio server
# with a null sink, a loopback feed server, and the program installed into a temporary DESTDIR.
# Every process started here is stopped by PID when the run exits.
set -euo pipefail
# Outside ctest (benchmarks, scripts) the feed server and its host come from the build tree.
if [ -n "${E2E_BUILD:-}" ]; then
  : "${SERVE_FEED:=$E2E_BUILD/tests/e2e/serve_feed}"
  : "${NIMBREL_FEED_HOST:=$(awk -F= '/^NIMBREL_FEED_HOST:/ { print $2 }' "$E2E_BUILD/CMakeCache.txt")}"
fi

SKIP=77
E2E_PIDS=()
E2E_DIR=$(mktemp -d /tmp/nimbrel-e2e.XXXXXX)

e2e_cleanup() {
  local pid
  for pid in "${E2E_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${E2E_PIDS[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done
  [ -n "${E2E_KEEP:-}" ] || rm -rf "$E2E_DIR"
}
trap e2e_cleanup EXIT

skip() { echo "SKIP: $*"; exit "$SKIP"; }
fail() { echo "FAIL: $*"; exit 1; }
note() { echo "-- $*"; }

# wait_for SECONDS COMMAND...: polls every 0.1 s until the command succeeds.
wait_for() {
  local limit=$(( $1 * 10 )); shift
  for _ in $(seq "$limit"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

require() {
  local tool
  for tool in "$@"; do command -v "$tool" >/dev/null || skip "$tool is not installed"; done
}

e2e_home() {
  export HOME=$E2E_DIR/home XDG_RUNTIME_DIR=$E2E_DIR/run
  mkdir -p "$HOME/Documents" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  unset XDG_CONFIG_HOME XDG_DATA_HOME QT_QPA_PLATFORM SESSION_MANAGER
  DATA_DIR=$HOME/Documents/Nimbrel
}

start_display() {
  require Xvfb xdotool xwininfo trayer
  local n
  for n in $(seq 90 120); do [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || break; done
  export DISPLAY=:$n
  Xvfb "$DISPLAY" -nolisten tcp -screen 0 1024x768x24 >"$E2E_DIR/xvfb.log" 2>&1 &
  E2E_PIDS+=($!)
  wait_for 10 xdpyinfo -display "$DISPLAY" || skip "Xvfb could not start on $DISPLAY"
}

start_tray() {
  trayer --edge top --align right --widthtype pixel --width 120 --heighttype pixel --height 32 \
    --SetDockType false >"$E2E_DIR/trayer.log" 2>&1 &
  TRAYER_PID=$!
  E2E_PIDS+=($TRAYER_PID)
  wait_for 10 xdotool search --classname panel || skip "trayer could not start"
  TRAYER_WINDOW=$(xdotool search --classname panel | head -n 1)
}

# The windows embedded in the tray host: one per tray icon.
tray_icons() {
  xwininfo -children -id "$TRAYER_WINDOW" 2>/dev/null | awk '/^ +0x/ { print $1 }' | while read -r w; do
    xwininfo -children -id "$w" 2>/dev/null | awk '/^ +0x/ { print $1 }'
  done
}
tray_icon_count() { tray_icons | grep -c . || true; }

start_pulse() {
  require pulseaudio parecord sox
  export PULSE_SERVER=unix:$XDG_RUNTIME_DIR/pulse-native
  pulseaudio --daemonize=no --exit-idle-time=-1 -n --disallow-exit --use-pid-file=no \
    --load="module-null-sink sink_name=nullsink" \
    --load="module-native-protocol-unix socket=$XDG_RUNTIME_DIR/pulse-native auth-anonymous=1" \
    >"$E2E_DIR/pulse.log" 2>&1 &
  PULSE_PID=$!
  E2E_PIDS+=($PULSE_PID)
  wait_for 10 pactl info || skip "PulseAudio could not start"
  pactl set-default-sink nullsink
}

start_recording() {
  RECORDING=$E2E_DIR/recording.wav
  parecord --latency-msec=20 -d nullsink.monitor --rate=44100 --channels=2 --format=s16le \
    --file-format=wav "$RECORDING" &
  RECORDER_PID=$!
  E2E_PIDS+=($RECORDER_PID)
  sleep 0.5
}

stop_recording() {
  kill -INT "$RECORDER_PID" 2>/dev/null || true
  wait "$RECORDER_PID" 2>/dev/null || true
}

start_feed() {
  local host=${NIMBREL_FEED_HOST%:*} port=${NIMBREL_FEED_HOST##*:}
  FEED_LOG=$E2E_DIR/feed.log
  "$SERVE_FEED" "$host" "$port" "$E2E_SOURCE/data/feed.xml" >"$FEED_LOG" 2>&1 &
  local pid=$!
  E2E_PIDS+=($pid)
  wait_for 10 bash -c "exec 3<>/dev/tcp/$host/$port" || skip "cannot listen on $NIMBREL_FEED_HOST"
  sleep 0.3
  kill -0 "$pid" 2>/dev/null || skip "another server holds $NIMBREL_FEED_HOST: $(cat "$FEED_LOG")"
}

# Installs into a temporary DESTDIR, so that nothing lands outside the run's folder: not even the
# autostart entry, which goes to /etc/xdg/autostart whatever the prefix.
install_program() {
  local root=$E2E_DIR/root prefix
  prefix=$(awk -F= '/^CMAKE_INSTALL_PREFIX:/ { print $2 }' "$E2E_BUILD/CMakeCache.txt")
  DESTDIR=$root cmake --install "$E2E_BUILD" >"$E2E_DIR/install.log" 2>&1 ||
    fail "cmake --install failed: $(tail -n 5 "$E2E_DIR/install.log")"
  PREFIX=$root$prefix
  NIMBREL=$PREFIX/bin/nimbrel
  [ -x "$NIMBREL" ] || fail "the launcher $NIMBREL was not installed"
  [ -f "$root/etc/xdg/autostart/nimbrel.desktop" ] || fail "no autostart entry in $root/etc/xdg/autostart"
}

start_program() {
  "$NIMBREL" >"$E2E_DIR/nimbrel.log" 2>&1 &
  PROGRAM_PID=$!
  E2E_PIDS+=($PROGRAM_PID)
}

# The program's top-level window, once mapped.
main_window() { xdotool search --onlyvisible --name '^Nimbrel 1\.61$' 2>/dev/null | head -n 1; }

window_mapped() { [ -n "$(main_window)" ]; }
tray_has_one_icon() { [ "$(tray_icon_count)" -eq 1 ]; }

store() { mkdir -p "$DATA_DIR"; printf '%s\r\n' "$2" >"$DATA_DIR/$1"; }

# Spans of the recording ("start end" in seconds) whose level passes a threshold: each
# millisecond's peak, at the file's own rate (resampling would filter out the chime's tones).
sound_spans() {
  sox "${1:-$RECORDING}" -t dat -c 1 - 2>/dev/null | awk '
    /^;/ { next }
    { ms = int($1 * 1000); a = ($2 < 0 ? -$2 : $2); if (a > peak[ms]) peak[ms] = a; if (ms > last_ms) last_ms = ms }
    END {
      for (ms = 0; ms <= last_ms; ms++) {
        t = ms / 1000
        if (peak[ms] > 0.01) { if (!on) { start = t; on = 1 } last = t }
        else if (on && t - last > 0.12) { span(); on = 0 }
      }
      if (on) span()
    }
    # Clicks of a few milliseconds are not sounds.
    function span() { if (last - start >= 0.03) printf "%.3f %.3f\n", start, last }'
}

# openbox as the window manager: it frames, minimises and activates windows.
start_wm() {
  require openbox xprop
  openbox --sm-disable >"$E2E_DIR/openbox.log" 2>&1 &
  E2E_PIDS+=($!)
  wait_for 10 bash -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    skip "openbox could not start"
}

# A private session bus, as a desktop session has.
start_session_bus() {
  require dbus-daemon dbus-send
  local address=$E2E_DIR/session-bus
  dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$address" 2>"$E2E_DIR/dbus.log" &
  E2E_PIDS+=($!)
  wait_for 10 test -s "$address" || skip "the session bus could not start"
  export DBUS_SESSION_BUS_ADDRESS; DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$address")
}

# A session bus with the accessibility bus on it, as a desktop with a screen reader has; Qt then
# publishes the program's accessible tree.
start_a11y_bus() {
  local launcher=/usr/libexec/at-spi-bus-launcher
  [ -x "$launcher" ] || skip "at-spi2-core is not installed"
  # Debian's pyatspi lives in the system Python, whatever python3 comes first on the PATH.
  SYSTEM_PYTHON=/usr/bin/python3
  "$SYSTEM_PYTHON" -c 'import pyatspi' 2>/dev/null || skip "python3-pyatspi is not installed"
  start_session_bus
  "$launcher" --launch-immediately >"$E2E_DIR/at-spi.log" 2>&1 &
  A11Y_LAUNCHER_PID=$!
  E2E_PIDS+=($A11Y_LAUNCHER_PID)
  wait_for 10 dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
    org.a11y.Bus.GetAddress || skip "the accessibility bus could not start"
  # The launcher's own bus daemon, stopped by its PID as well.
  E2E_PIDS+=($(pgrep -P "$A11Y_LAUNCHER_PID" || true))
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
}

# lxqt-panel with only its StatusNotifierItem host, along the top of the screen.
start_sni_panel() {
  require lxqt-panel convert import
  start_session_bus
  mkdir -p "$HOME/.config/lxqt"
  printf '%s\n' panels=panel1 '[panel1]' plugins=statusnotifier position=Top panelSize=32 \
    iconSize=22 '[statusnotifier]' type=statusnotifier >"$HOME/.config/lxqt/panel.conf"
  lxqt-panel >"$E2E_DIR/lxqt-panel.log" 2>&1 &
  E2E_PIDS+=($!)
  wait_for 10 sni_watcher_up || skip "lxqt-panel could not start: $(tail -n 3 "$E2E_DIR/lxqt-panel.log")"
  wait_for 10 xdotool search --onlyvisible --name '^LXQt Panel$' || skip "lxqt-panel shows no panel"
  PANEL_WINDOW=$(xdotool search --onlyvisible --name '^LXQt Panel$' | head -n 1)
}
sni_watcher_up() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.ListNames |
    grep -q '"org.kde.StatusNotifierWatcher"'
}
# A property of the program's StatusNotifierItem, as the host reads it.
sni_item_property() {
  local item; item=$(dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher \
    /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
    string:RegisteredStatusNotifierItems | sed -n 's/.*string "\([^"/]*\).*/\1/p' | head -n 1)
  [ -n "$item" ] || return 1
  dbus-send --session --print-reply --dest="$item" /StatusNotifierItem \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem "string:$1" |
    sed -n 's/.*variant *\(string\|object path\) "\(.*\)"/\2/p'
}
# The centre of the yellow sun in the panel, on the screen: "x y".
sni_icon_position() {
  local x y
  eval "$(xdotool getwindowgeometry --shell "$PANEL_WINDOW" | grep -E '^(X|Y)=')"
  import -window "$PANEL_WINDOW" "$E2E_DIR/panel.png" 2>/dev/null || return 1
  convert "$E2E_DIR/panel.png" -depth 8 txt:- | awk -v ox="$X" -v oy="$Y" -F '[,: ()]+' '
    /^[0-9]/ { if ($3 > 200 && $4 > 200 && $5 < 90) { sx += $1; sy += $2; n++ } }
    END { if (n < 20) exit 1; printf "%d %d\n", ox + sx / n, oy + sy / n }'
}
