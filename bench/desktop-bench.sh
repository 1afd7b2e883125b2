#!/usr/bin/env bash
# The installed program as a user meets it, on Xvfb with trayer and a PulseAudio null sink:
#   tray click -> window mapped; Alt+T -> first chime sample on the sink; end of the chime ->
#   first speech sample, recorded at 20 ms and at the server's default latency (alternate runs);
#   idle memory after a minute; wake-ups between minute ticks; memory after 1 and after 100
#   announcements. Usage (inside a private network namespace): bench/desktop-bench.sh [BUILD] [RUNS]
#   (about ten minutes)
set -euo pipefail
E2E_BUILD=$(cd "${1:-build/test}" && pwd)
runs=${2:-5}
E2E_SOURCE=$(cd "$(dirname "$0")/../tests/e2e" && pwd)
# shellcheck source=../tests/e2e/harness.sh
. "$E2E_SOURCE/harness.sh"
trap - EXIT
trap 'e2e_cleanup' EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
# How long the chime is audible, by the same measure as the recording.
# (from its first to its last audible millisecond).
chime_seconds=$(RECORDING="$E2E_SOURCE/../../assets/weather.wav" sound_spans | awk 'NR == 1 { s = $1 } END { print $2 - s }')
# The first audible millisecond of the recording after a time (seconds): speech may follow the
# chime too closely to form a span of its own.
loud_after() {
  sox "$RECORDING" -t dat -c 1 - 2>/dev/null | awk -v after="$1" '
    /^;/ { next }
    $1 > after && ($2 > 0.01 || $2 < -0.01) { printf "%.3f\n", $1; exit }' || true # sox ends on SIGPIPE
}

e2e_home
start_display
start_tray
start_pulse
start_feed
install_program
store citydat.txt 90012

: >"$E2E_DIR/click" ; : >"$E2E_DIR/chime" ; : >"$E2E_DIR/gap20" ; : >"$E2E_DIR/gapdefault"
# The recorder at the server's default latency, in place of the harness's 20 ms.
start_recording_default() {
  RECORDING=$E2E_DIR/recording.wav
  parecord -d nullsink.monitor --rate=44100 --channels=2 --format=s16le --file-format=wav \
    "$RECORDING" &
  RECORDER_PID=$!
  E2E_PIDS+=($RECORDER_PID)
  sleep 0.5
}
for run in $(seq $((runs * 2))); do
  if [ $((run % 2)) -eq 1 ]; then recorder=start_recording gap=gap20; else recorder=start_recording_default gap=gapdefault; fi
  start_program
  wait_for 15 tray_has_one_icon || fail "no tray icon"
  sleep 1
  t0=$(now_ms)
  xdotool mousemove --window "$(tray_icons | head -n 1)" 5 5 click 1
  wait_for 10 window_mapped || fail "the window did not come back"
  echo $(( $(now_ms) - t0 )) >>"$E2E_DIR/click"

  window=$(main_window)
  xdotool windowfocus --sync "$window"
  $recorder
  sleep 1
  # Where the recording stands when the key goes down: its size, at 44100 Hz, 2 x 16 bits.
  key_at=$(( ($(stat -c %s "$RECORDING") - 44) * 1000 / 176400 ))
  xdotool key alt+t
  sleep 6
  stop_recording
  # Offsets in the recording: the first sound is the chime; speech is the next sound after its end.
  spans=$(sound_spans)
  onset=$(echo "$spans" | awk 'NR == 1 { print $1 }')
  speech=$(loud_after "$(awk -v o="$onset" -v l="$chime_seconds" 'BEGIN { print o + l + 0.002 }')")
  # The recording's size tells where it stands only when the recorder keeps up (20 ms).
  [ "$gap" = gap20 ] && awk -v o="$onset" -v k="$key_at" 'BEGIN { printf "%d\n", o * 1000 - k }' >>"$E2E_DIR/chime"
  awk -v o="$onset" -v s="$speech" -v l="$chime_seconds" 'BEGIN { printf "%d\n", (s - o - l) * 1000 }' >>"$E2E_DIR/$gap"
  kill "$PROGRAM_PID"; wait "$PROGRAM_PID" 2>/dev/null || true
done

start_program
wait_for 15 tray_has_one_icon || fail "no tray icon"
sleep 60
rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$PROGRAM_PID/status")
# Context switches per thread, as "tid name count" lines.
switches() {
  local task
  for task in /proc/"$PROGRAM_PID"/task/*; do
    awk -v tid="${task##*/}" -v name="$(cat "$task/comm")" \
      '/ctxt_switches/ { n += $2 } END { print tid, name, n }' "$task/status"
  done
}
# Between minute ticks: from 5 s after one to 5 s before the next, twice; per thread.
between=""
for _ in 1 2; do
  while [ "$(date +%S)" != 05 ]; do sleep 0.2; done
  switches >"$E2E_DIR/switches0"
  while [ "$(date +%S)" != 55 ]; do sleep 0.2; done
  switches >"$E2E_DIR/switches1"
  between="$between [$(awk 'NR == FNR { before[$1] = $3; next }
    { printf "%s%s %d", (FNR > 1 ? ", " : ""), $2, $3 - before[$1] }' \
    "$E2E_DIR/switches0" "$E2E_DIR/switches1")]"
done
threads=$(ls /proc/"$PROGRAM_PID"/task | wc -l)

# A hundred announcements, two seconds apart (each cuts off the speech of the one before).
xdotool mousemove --window "$(tray_icons | head -n 1)" 5 5 click 1
wait_for 10 window_mapped || fail "the window did not come back"
xdotool windowfocus --sync "$(main_window)"
rss_after=()
for n in $(seq 100); do
  xdotool key alt+t
  sleep 2
  if [ "$n" -eq 1 ] || [ "$n" -eq 100 ]; then
    sleep 4
    rss_after+=("$(awk '/^VmRSS/ { print $2 }' "/proc/$PROGRAM_PID/status")")
  fi
done

echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores"
echo "tray click to window mapped, median of $((runs * 2)): $(median <"$E2E_DIR/click") ms"
echo "Alt+T to first chime sample (the program's first announcement), median of $runs: $(median <"$E2E_DIR/chime") ms (runs: $(tr '\n' ' ' <"$E2E_DIR/chime"))"
echo "end of chime to first speech sample, recorder at 20 ms, median of $runs: $(median <"$E2E_DIR/gap20") ms (runs: $(tr '\n' ' ' <"$E2E_DIR/gap20"))"
echo "end of chime to first speech sample, recorder at the default latency, median of $runs: $(median <"$E2E_DIR/gapdefault") ms (runs: $(tr '\n' ' ' <"$E2E_DIR/gapdefault"))"
echo "idle resident memory after one minute in the tray: $rss KiB ($threads threads)"
echo "context switches per thread (main thread first) between minute ticks (:05 to :55), two minutes:$between"
echo "resident memory after the 1st announcement: ${rss_after[0]} KiB; after the 100th: ${rss_after[1]} KiB ($(( rss_after[1] - rss_after[0] )) KiB)"
