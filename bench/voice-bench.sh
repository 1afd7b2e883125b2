#!/usr/bin/env bash
# How well a listener can follow the voices, with pocketsphinx (US English, Debian's model)
# standing in for the listener, and whether a busy machine breaks the speech up. For each case a
# first start's announcement ("&Test") is recorded from the PulseAudio null sink under Xvfb and
# the speech after the chime is transcribed; its word error rate against the report's text is
# printed beside that of the voice's own rendering of the text to a file, and its silences of
# 40 ms and more beside the rendering's, with those the rendering lacks. Cases: slt (a first
# start), espeak-ng's en-us (stored), each quiet and under two busy loops.
# Usage: bench/voice-bench.sh [BUILD] (about five minutes)
set -euo pipefail
E2E_BUILD=$(cd "${1:-build/test}" && pwd)
E2E_SOURCE=$(cd "$(dirname "$0")/../tests/e2e" && pwd)
BENCH=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../tests/e2e/harness.sh
. "$E2E_SOURCE/harness.sh"
trap - EXIT
trap 'e2e_cleanup' EXIT
require pocketsphinx_continuous sox flite espeak-ng

e2e_home
start_display
start_tray
start_pulse
start_feed
install_program

# The report's sections as the feed server's document gives them at a time ("9:05 PM").
report_text() {
  printf '%s\n' "Hello. At $1 in Los Angeles, it's Fair and 58 degrees with wind at 5 miles per hour. " \
    "Today, Fair with a high of 68 degrees and a low of 50 degrees. " \
    "Current humidity is 72% with barometric pressure rising at 30.1. Visibility is 10 miles. " \
    "Sunrise is at 6:52 am and sunset is at 5:03 pm. "
}
transcribe() {
  sox "$1" -r 16000 -c 1 -b 16 "$1.16k.wav"
  pocketsphinx_continuous -infile "$1.16k.wav" -logfn /dev/null 2>/dev/null | tr '\n' ' '
}
# Silences of 40 ms and more between the first and the last sound, "start_ms length_ms" from the
# first sound. Each file is brought to the same peak level first: the program plays a voice at
# its own gain, and a fixed threshold would otherwise count more of a quieter copy's soft
# stretches as silence.
silences() {
  sox "$1" -t dat -c 1 - norm -3 2>/dev/null | awk '
    /^;/ { next }
    { ms = int($1 * 1000); a = ($2 < 0 ? -$2 : $2); if (a > peak[ms]) peak[ms] = a; if (ms > last_ms) last_ms = ms }
    END {
      first = -1; quiet = 0
      for (ms = 0; ms <= last_ms; ms++) {
        if (peak[ms] > 0.01) {
          if (first < 0) first = ms
          else if (quiet >= 40) printf "%d %d\n", ms - quiet - first, quiet
          quiet = 0
        } else if (first >= 0) quiet++
      }
    }'
}
# "count total_ms" of a list of silences.
silence_sum() { awk '{ n++; t += $2 } END { printf "%d, %d ms", n, t }' "$1"; }
# The silences of the first list that no silence of the second overlaps (within 20 ms).
silences_lacking() {
  awk 'NR == FNR { s[n] = $1 - 20; e[n++] = $1 + $2 + 20; next }
    { for (i = 0; i < n; i++) if ($1 < e[i] && $1 + $2 > s[i]) next; printf "%d ms at %.2f s; ", $2, $1 / 1000 }' "$2" "$1"
}
# The voice's own rendering of the report, section by section, to one file; Flite's sentence
# by sentence, as the program has it speak.
render() {
  local voice=$1 out=$2 i=0 section
  while IFS= read -r section; do
    if [ "$voice" = slt ]; then
      printf '%s\n' "$section" >"$E2E_DIR/section.txt"
      flite -voice slt -f "$E2E_DIR/section.txt" -o "$E2E_DIR/part-$i.wav"
    else espeak-ng -v en-us -w "$E2E_DIR/part-$i.wav" "$section"; fi
    i=$((i + 1))
  done
  sox "$E2E_DIR"/part-[0-3].wav "$out"
}
# One first start's "&Test", recorded; the speech after the chime goes to $1.
announce() {
  local out=$1 voice_position=${2:-}
  rm -rf "$DATA_DIR"
  [ -z "$voice_position" ] || store voicedat.txt "$voice_position"
  start_program
  wait_for 15 window_mapped || fail "the window was not mapped"
  local window; window=$(main_window)
  start_recording
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window"
  TIME=$(LC_ALL=C date +'%-I:%M %p')
  xdotool key alt+t
  wait_for 20 test -s "$DATA_DIR/greetdat.txt" || fail "no announcement"
  sleep 3
  wait_for 60 bash -c '[ -z "$(pactl list sink-inputs short)" ]' || true
  sleep 0.5
  stop_recording
  kill "$PROGRAM_PID"; wait "$PROGRAM_PID" 2>/dev/null || true
  local chime; chime=$(sound_spans "$PREFIX/share/nimbrel/weather.wav" | awk 'END { print $2 }')
  local onset; onset=$(sound_spans | awk 'NR == 1 { print $1 }')
  sox "$RECORDING" "$out" trim "$(awk -v o="$onset" -v c="$chime" 'BEGIN { print o + c }')"
}

# espeak-ng's en-us as the voice list numbers it: espeak-ng lists its voices in the list's order.
en_us_position=$(espeak-ng --voices | awk 'NR > 1 && $4 == "English_(America)" && !found { print NR - 2; found = 1 }')
busy=()
for load in quiet busy; do
  if [ $load = busy ]; then
    for _ in 1 2; do sh -c 'while :; do :; done' & busy+=($!); E2E_PIDS+=($!); done
  fi
  for voice in slt en-us; do
    position=
    [ $voice = slt ] || position=$en_us_position
    announce "$E2E_DIR/$voice-$load.wav" "$position"
    report_text "$TIME" >"$E2E_DIR/reference.txt"
    render $voice "$E2E_DIR/$voice-file.wav" <"$E2E_DIR/reference.txt"
    transcribe "$E2E_DIR/$voice-$load.wav" >"$E2E_DIR/hyp-$voice-$load.txt"
    transcribe "$E2E_DIR/$voice-file.wav" >"$E2E_DIR/hyp-$voice-file.txt"
    silences "$E2E_DIR/$voice-$load.wav" >"$E2E_DIR/sil-rec"
    silences "$E2E_DIR/$voice-file.wav" >"$E2E_DIR/sil-file"
    echo "$voice, $load: word error rate $(python3 "$BENCH/wer.py" "$E2E_DIR/reference.txt" "$E2E_DIR/hyp-$voice-$load.txt")% recorded, $(python3 "$BENCH/wer.py" "$E2E_DIR/reference.txt" "$E2E_DIR/hyp-$voice-file.txt")% its file;" \
      "silences >= 40 ms: recorded $(silence_sum "$E2E_DIR/sil-rec"), file $(silence_sum "$E2E_DIR/sil-file")"
    echo "  recorded silences the file lacks: $(silences_lacking "$E2E_DIR/sil-rec" "$E2E_DIR/sil-file")"
    echo "  recorded, [said/heard]: $(python3 "$BENCH/wer.py" --aligned "$E2E_DIR/reference.txt" "$E2E_DIR/hyp-$voice-$load.txt" | tail -n 1)"
  done
done
for pid in "${busy[@]}"; do kill "$pid"; done
