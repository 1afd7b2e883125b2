#!/usr/bin/env bash
# Start-up time to the event loop and idle resident memory of Nimbrel, side by side with a bare
# Qt Widgets window, under the offscreen platform. Usage: bench/startup-bench.sh [BUILD] [RUNS]
set -euo pipefail
build=${1:-build/test}
runs=${2:-20}
probe=$build/bench/startup_probe
bare=$build/bench/bare_window
program=$build/app/nimbrel
for f in "$probe" "$bare" "$program"; do [ -x "$f" ] || { echo "missing $f (build it first)" >&2; exit 1; }; done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen HOME=$work/home XDG_RUNTIME_DIR=$work/run PULSE_SERVER=unix:$work/none
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ms_of() { local t0 t1; t0=$(date +%s%N); "$@" >/dev/null 2>&1; t1=$(date +%s%N); echo $(( (t1 - t0) / 1000 )) | awk '{ printf "%.1f\n", $1 / 1000 }'; }

# Idle memory: start, let it settle, read VmRSS in KiB.
rss_of() {
  "$@" >/dev/null 2>&1 &
  local pid=$!
  sleep 3
  awk '/^VmRSS/ { print $2 }' "/proc/$pid/status"
  kill "$pid"; wait "$pid" 2>/dev/null || true
}

: >"$work/probe" ; : >"$work/bare" ; : >"$work/text"
for _ in $(seq "$runs"); do # interleaved, so all see the same machine load
  ms_of "$probe" >>"$work/probe"
  ms_of "$bare" --quit >>"$work/bare"
  ms_of "$bare" --quit --text >>"$work/text"
done
: >"$work/rss-program" ; : >"$work/rss-bare" ; : >"$work/rss-text"
for _ in $(seq 5); do
  rm -rf "$HOME/Documents"
  rss_of "$program" >>"$work/rss-program"
  rss_of "$bare" >>"$work/rss-bare"
  rss_of "$bare" --text >>"$work/rss-text"
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
p=$(median <"$work/probe"); b=$(median <"$work/bare"); t=$(median <"$work/text")
rp=$(median <"$work/rss-program"); rb=$(median <"$work/rss-bare"); rt=$(median <"$work/rss-text")
echo "start-up to event loop, median of $runs: nimbrel $p ms; bare Qt window $b ms (ratio $(ratio "$p" "$b")); bare window with one label $t ms (ratio $(ratio "$p" "$t"))"
echo "idle resident memory, median of 5: nimbrel $rp KiB; bare Qt window $rb KiB (ratio $(ratio "$rp" "$rb")); bare window with one label $rt KiB (ratio $(ratio "$rp" "$rt"))"
