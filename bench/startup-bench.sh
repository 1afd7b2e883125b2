#!/usr/bin/env bash
# Start-up time and idle memory of the installed program beside Qt yardsticks, in one run:
#   window shown (no ZIP code stored), offscreen platform, beside a bare Qt window with one label;
#   tray start (ZIP code stored), Xvfb with trayer, beside a Qt program that shows only a tray icon.
# Time: launch to the first event-loop turn, where the preloaded shim bench/first_turn.so ends
# each program (the programs themselves are unchanged). Memory: VmRSS after 5 s idle, no shim.
# A PulseAudio server runs throughout. Runs alternate, so all see the same load; medians.
# Usage (inside a private network namespace): bench/startup-bench.sh [BUILD] [RUNS]
set -euo pipefail
E2E_BUILD=$(cd "${1:-build/test}" && pwd)
runs=${2:-15}
E2E_SOURCE=$(cd "$(dirname "$0")/../tests/e2e" && pwd)
# shellcheck source=../tests/e2e/harness.sh
. "$E2E_SOURCE/harness.sh"
trap - EXIT
trap 'e2e_cleanup' EXIT

# The yardsticks and the shim may come from another build than the program (BENCH_BUILD).
tools=$(cd "${BENCH_BUILD:-$E2E_BUILD}" && pwd)
shim=$tools/bench/first_turn.so
bare=$tools/bench/bare_window
tray=$tools/bench/tray_icon
for f in "$shim" "$bare" "$tray"; do [ -e "$f" ] || fail "missing $f (build it first)"; done

e2e_home
start_display
start_tray
start_pulse
install_program
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# mode is "window" (offscreen) or "tray" (the Xvfb display); the data folder decides which the
# program does: a stored ZIP code starts it in the tray.
set_mode() {
  if [ "$1" = window ]; then rm -f "$DATA_DIR/citydat.txt"; else store citydat.txt 90012; fi
}
run_env() { if [ "$1" = window ]; then echo offscreen; else echo xcb; fi; }

# Milliseconds from launch to the end at the first event-loop turn.
first_turn_ms() {
  local mode=$1; shift
  rm -f "$XDG_RUNTIME_DIR/nimbrel.lock"
  local t0 t1
  t0=$(date +%s%N)
  QT_QPA_PLATFORM=$(run_env "$mode") LD_PRELOAD=$shim "$@" >/dev/null 2>&1 || true
  t1=$(date +%s%N)
  awk -v ns=$((t1 - t0)) 'BEGIN { printf "%.1f\n", ns / 1e6 }'
}

# KiB resident after 5 s idle.
idle_kib() {
  local mode=$1; shift
  rm -f "$XDG_RUNTIME_DIR/nimbrel.lock"
  QT_QPA_PLATFORM=$(run_env "$mode") "$@" >/dev/null 2>&1 &
  local pid=$!
  E2E_PIDS+=($pid)
  sleep 5
  awk '/^VmRSS/ { print $2 }' "/proc/$pid/status"
  kill "$pid"; wait "$pid" 2>/dev/null || true
}

# A first start writes the settings files; the runs measure the starts after it.
set_mode window
first_turn_ms window "$NIMBREL" >/dev/null

for f in nw bw nt bt mnw mbw mnt mbt; do : >"$E2E_DIR/$f"; done
for _ in $(seq "$runs"); do
  set_mode window
  first_turn_ms window "$NIMBREL" >>"$E2E_DIR/nw"
  first_turn_ms window "$bare" --text >>"$E2E_DIR/bw"
  set_mode tray
  first_turn_ms tray "$NIMBREL" >>"$E2E_DIR/nt"
  first_turn_ms tray "$tray" >>"$E2E_DIR/bt"
done
for _ in $(seq 5); do
  set_mode window
  idle_kib window "$NIMBREL" >>"$E2E_DIR/mnw"
  idle_kib window "$bare" --text >>"$E2E_DIR/mbw"
  set_mode tray
  idle_kib tray "$NIMBREL" >>"$E2E_DIR/mnt"
  idle_kib tray "$tray" >>"$E2E_DIR/mbt"
done

row() { # label, program file, yardstick file, yardstick name, unit, goal
  local p y; p=$(median <"$E2E_DIR/$2"); y=$(median <"$E2E_DIR/$3")
  printf '%-44s nimbrel %8s %s   %-28s %8s %s   ratio %s (goal <= %s)\n' "$1" "$p" "$5" "$4" "$y" "$5" "$(ratio "$p" "$y")" "$6"
}
echo "load average before: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg); $(nproc) cores"
row "first turn, window shown (median of $runs)" nw bw "bare window with one label" ms 1.3
row "first turn, tray start (median of $runs)" nt bt "tray-icon-only program" ms 1.15
row "idle memory, window shown (median of 5)" mnw mbw "bare window with one label" KiB 1.15
row "idle memory, tray start (median of 5)" mnt mbt "tray-icon-only program" KiB 1.1
