#!/usr/bin/env bash
# Measures nimbrel-feed on loopback beside nginx serving the same document as a static file:
# wrk (2 threads, keep-alive) at 16, 64 and 256 connections, the two servers alternated for
# FEED_BENCH_ROUNDS rounds and the medians quoted; then the service's memory with 10,000 and
# 20,000 distinct answers asked for (filled from a local Open-Meteo stand-in), and a plain request
# beside 1,000 slow clients. Prints a Markdown section for bench/RESULTS.md. Fixed ports on
# 127.0.0.1: run it in a network namespace of its own on a shared machine
# (unshare -n bash -c 'ip link set lo up; bench/feed-bench.sh').
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps bench

build=${NIMBREL_BENCH_BUILD:-build/feed-bench}
duration=${FEED_BENCH_SECONDS:-10}
rounds=${FEED_BENCH_ROUNDS:-3}
points=(${FEED_BENCH_CONNECTIONS:-16 64 256})
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target nimbrel-feed feed-upstream-double >/dev/null
ulimit -n "$(ulimit -Hn)"

work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

feed_port=18471 upstream_port=18472 nginx_port=18473
wait_for() { for _ in $(seq 100); do curl -s -o /dev/null "$1" && return 0; sleep 0.05; done; echo "no answer from $1" >&2; exit 1; }
rss_kib() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

"$build/tests/feed/feed-upstream-double" "$upstream_port" & pids+=($!)
"$build/feed/nimbrel-feed" --listen "127.0.0.1:$feed_port" --upstream "http://127.0.0.1:$upstream_port" \
  --nws-upstream "http://127.0.0.1:$upstream_port" --per-minute 100000000 --per-hour 100000000 --per-day 100000000 2>"$work/feed.log" & feed_pid=$!
pids+=("$feed_pid")
wait_for "http://127.0.0.1:$upstream_port/v1/forecast"
wait_for "http://127.0.0.1:$feed_port/"

url="/forecastrss?p=90210&u=f"
mkdir -p "$work/www"
curl -sf "http://127.0.0.1:$feed_port$url" >"$work/www/forecastrss"
chmod -R a+rX "$work/www"
cat >"$work/nginx.conf" <<CONF
worker_processes auto;
daemon off;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 4096; }
http {
  access_log off;
  server {
    listen 127.0.0.1:$nginx_port;
    location = /forecastrss { root $work/www; default_type "text/xml; charset=UTF-8"; }
  }
}
CONF
nginx -p "$work" -c "$work/nginx.conf" & pids+=($!)
wait_for "http://127.0.0.1:$nginx_port$url"
cmp -s <(curl -s "http://127.0.0.1:$nginx_port$url") "$work/www/forecastrss"

# "Requests/sec" and the 99th percentile (ms) of one wrk run.
measure() {
  wrk -t2 -c"$2" -d"${duration}s" --latency "$1" >"$work/wrk.txt"
  local rps p99
  rps=$(awk '/^Requests\/sec:/ {print $2}' "$work/wrk.txt")
  p99=$(awk '$1 == "99%" {v = $2; if (v ~ /us$/) {sub(/us$/, "", v); v /= 1000} else if (v ~ /ms$/) {sub(/ms$/, "", v)} else if (v ~ /s$/) {sub(/s$/, "", v); v *= 1000}; print v}' "$work/wrk.txt")
  echo "$rps $p99"
}
rss_idle=$(rss_kib "$feed_pid")
for round in $(seq "$rounds"); do
  for c in "${points[@]}"; do
    echo "$c $(measure "http://127.0.0.1:$feed_port$url" "$c")" >>"$work/feed.txt"
    echo "$c $(measure "http://127.0.0.1:$nginx_port$url" "$c")" >>"$work/nginx.txt"
  done
done
rss_bench=$(rss_kib "$feed_pid")

# Ask for 10,000 distinct ZIP codes in one unit, then 10,000 more answers (the other unit): the
# cache holds 10,000, so memory must stay put the second time.
awk -F'\t' '!/^#/ && n++ < 10000 {print $1}' feed/data/zipcodes.tsv >"$work/zips.txt"
fill() {
  cat >"$work/fill.lua" <<LUA
local zips = {}
for line in io.lines("$work/zips.txt") do zips[#zips + 1] = line end
local next_zip, answered, bad, started = 0, 0, 0, os.time()
request = function()
  next_zip = next_zip + 1
  if next_zip > #zips then next_zip = #zips end
  return wrk.format("GET", "/forecastrss?p=" .. zips[next_zip] .. "&u=$1")
end
response = function(status)
  answered = answered + 1
  if status ~= 200 then bad = bad + 1 end
  if answered == #zips then
    io.write(string.format("FILLED %d %d %d\\n", answered, os.time() - started, bad))
    wrk.thread:stop()
  end
end
LUA
  # wrk waits out its duration even after the script stops it; the script times the fill.
  wrk -t1 -c4 -d30s -s "$work/fill.lua" "http://127.0.0.1:$feed_port" >"$work/fill-$1.txt"
  grep -q "^FILLED 10000 " "$work/fill-$1.txt" || { echo "filling with u=$1 did not finish" >&2; exit 1; }
}
fill f
fill_seconds=$(awk '/^FILLED/ {print $3}' "$work/fill-f.txt")
fill_refused=$(awk '/^FILLED/ {print $4}' "$work/fill-f.txt")
rss_10k=$(rss_kib "$feed_pid")
fill c
rss_20k=$(rss_kib "$feed_pid")
upstream_errors=$(grep -cE "no answer|unusable" "$work/feed.log" || true)

# 1,000 clients that open a request and send a header line every second (each is dropped after
# the client time-out of 5 s), and beside them plain requests, timed by curl.
slow_clients() {
  local fds=() fd
  for _ in $(seq 1000); do
    exec {fd}<>"/dev/tcp/127.0.0.1/$feed_port" || break
    printf 'GET %s HTTP/1.1\r\n' "$url" >&"$fd"
    fds+=("$fd")
  done
  echo "${#fds[@]}" >"$work/slow-open.txt"
  for _ in 1 2 3 4; do
    sleep 1
    for fd in "${fds[@]}"; do printf 'X-Slow: 1\r\n' >&"$fd" 2>/dev/null || true; done
  done
}
slow_clients 2>/dev/null & slow_pid=$!
sleep 2
for _ in 1 2 3 4 5; do
  curl -s -o /dev/null -w '%{time_total}\n' "http://127.0.0.1:$feed_port$url" | awk '{print $1 * 1000}' >>"$work/plain.txt"
  sleep 0.2
done
wait "$slow_pid" || true
slow_open=$(cat "$work/slow-open.txt")
plain_ms=$(median <"$work/plain.txt")
plain_max=$(sort -g "$work/plain.txt" | tail -n 1)

mib() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }
row() { # server connections -> "median rps" "median p99"
  awk -v c="$2" '$1 == c {print $2}' "$work/$1.txt" | median
  awk -v c="$2" '$1 == c {print $3}' "$work/$1.txt" | median
}
cat <<MD
## nimbrel-feed

Measured $(date -u +%Y-%m-%d) by \`bench/feed-bench.sh\` on this machine ($(nproc) cores, shared with
other builds while it ran, and by wrk, the service and nginx), loopback only, Release build.
wrk: 2 threads, keep-alive connections, ${duration} s a point, GET \`$url\` answered from the cache
($(wc -c <"$work/www/forecastrss") bytes); nimbrel-feed and nginx (worker_processes auto, the same
bytes as a static file, a foreground process) alternated for $rounds rounds; medians.

| connections | nimbrel-feed requests/s | nginx requests/s | ratio | nimbrel-feed p99 | nginx p99 |
|---|---|---|---|---|---|
MD
for c in "${points[@]}"; do
  { read -r frps; read -r fp99; } < <(row feed "$c")
  { read -r nrps; read -r np99; } < <(row nginx "$c")
  echo "| $c | $frps | $nrps | $(awk -v a="$frps" -v b="$nrps" 'BEGIN {printf "%.2f", a / b}') | $fp99 ms | $np99 ms |"
done
cat <<MD

Every run (connections, requests/s, p99 ms), nimbrel-feed: $(tr '\n' ';' <"$work/feed.txt")
nginx: $(tr '\n' ';' <"$work/nginx.txt")

Memory (VmRSS of nimbrel-feed; cache bound 10,000 answers):

| state | VmRSS |
|---|---|
| started, 1 answer cached | $(mib "$rss_idle") MiB |
| after the wrk runs above | $(mib "$rss_bench") MiB |
| 10,000 distinct ZIP codes cached (filled in $fill_seconds s through the local upstream stand-in) | $(mib "$rss_10k") MiB |
| 10,000 more answers asked for (other unit; the oldest are dropped) | $(mib "$rss_20k") MiB |

Answers other than 200 while filling: $fill_refused; upstream failures logged: $upstream_errors.

A plain request beside $slow_open slow clients (each sending a header line a second): median
$plain_ms ms, slowest $plain_max ms of 5.
MD
