#!/usr/bin/env bash
# The installed program as a user meets it, on Xvfb with trayer and a PulseAudio null sink:
#   tray click -> window mapped; Alt+T -> first chime sample on the sink;
#   end of the chime -> first speech sample; idle memory after a minute; context switches over
#   two idle minutes. Usage: bench/desktop-bench.sh [BUILD] [RUNS]   (about five minutes)
set -euo pipefail
E2E_BUILD=$(cd "${1:-build/test}" && pwd)
runs=${2:-5}
E2E_SOURCE=$(cd "$(dirname "$0")/../tests/e2e" && pwd)
SERVE_FEED=$E2E_BUILD/tests/e2e/serve_feed
NIMBREL_FEED_HOST=$(awk -F= '/^NIMBREL_FEED_HOST:/ { print $2 }' "$E2E_BUILD/CMakeCache.txt")
# shellcheck source=../tests/e2e/harness.sh
. "$E2E_SOURCE/harness.sh"
trap - EXIT
trap 'e2e_cleanup' EXIT

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
# How long the chime is audible, by the same measure as the recording.
chime_seconds=$(RECORDING="$E2E_SOURCE/../../assets/weather.wav" sound_spans | awk 'END { print $2 - 0 }')

e2e_home
start_display
start_tray
start_pulse
start_feed
install_program
store citydat.txt 90012

: >"$E2E_DIR/click" ; : >"$E2E_DIR/chime" ; : >"$E2E_DIR/gap"
for _ in $(seq "$runs"); do
  start_program
  wait_for 15 tray_has_one_icon || fail "no tray icon"
  sleep 1
  t0=$(now_ms)
  xdotool mousemove --window "$(tray_icons | head -n 1)" 5 5 click 1
  wait_for 10 window_mapped || fail "the window did not come back"
  echo $(( $(now_ms) - t0 )) >>"$E2E_DIR/click"

  window=$(main_window)
  xdotool windowfocus --sync "$window"
  start_recording
  sleep 1
  # Where the recording stands when the key goes down: its size, at 44100 Hz, 2 x 16 bits.
  key_at=$(( ($(stat -c %s "$RECORDING") - 44) * 1000 / 176400 ))
  xdotool key alt+t
  sleep 6
  stop_recording
  # Offsets in the recording: the first sound is the chime; speech is the next sound after its end.
  spans=$(sound_spans)
  onset=$(echo "$spans" | awk 'NR == 1 { print $1 }')
  speech=$(echo "$spans" | awk -v end="$onset" -v len="$chime_seconds" '$1 > end + len - 0.05 { print $1; exit }')
  awk -v o="$onset" -v k="$key_at" 'BEGIN { printf "%d\n", o * 1000 - k }' >>"$E2E_DIR/chime"
  awk -v o="$onset" -v s="$speech" -v l="$chime_seconds" 'BEGIN { printf "%d\n", (s - o - l) * 1000 }' >>"$E2E_DIR/gap"
  kill "$PROGRAM_PID"; wait "$PROGRAM_PID" 2>/dev/null || true
done

start_program
wait_for 15 tray_has_one_icon || fail "no tray icon"
sleep 60
rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$PROGRAM_PID/status")
switches() { cat /proc/"$PROGRAM_PID"/task/*/status | awk '/ctxt_switches/ { n += $2 } END { print n }'; }
main_switches() { awk '/ctxt_switches/ { n += $2 } END { print n }' "/proc/$PROGRAM_PID/status"; }
s0=$(switches); m0=$(main_switches)
sleep 120
s1=$(switches); m1=$(main_switches)
threads=$(ls /proc/"$PROGRAM_PID"/task | wc -l)

echo "tray click to window mapped, median of $runs: $(median <"$E2E_DIR/click") ms"
echo "Alt+T to first chime sample, median of $runs: $(median <"$E2E_DIR/chime") ms (runs: $(tr '\n' ' ' <"$E2E_DIR/chime"))"
echo "end of chime to first speech sample, median of $runs: $(median <"$E2E_DIR/gap") ms (runs: $(tr '\n' ' ' <"$E2E_DIR/gap"))"
echo "idle resident memory after one minute: $rss KiB ($threads threads)"
echo "context switches over two idle minutes: $((s1 - s0)) in all threads, $((m1 - m0)) on the window's thread"
