#!/usr/bin/env bash
# Measures nimbrel-feed on loopback in one run: wrk against cached answers, nginx serving the same
# document as a static file (for the ratio), and the service's memory with 10,000 and then 20,000
# distinct (ZIP code, unit) answers asked for, filled from a local Open-Meteo stand-in.
# Prints a Markdown section for bench/RESULTS.md. Only 127.0.0.1 is used.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps bench

build=${NIMBREL_BENCH_BUILD:-build/feed-bench}
duration=${FEED_BENCH_SECONDS:-10}
connections=${FEED_BENCH_CONNECTIONS:-16}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNIMBREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target nimbrel-feed feed-upstream-double >/dev/null

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

"$build/bench/feed/feed-upstream-double" "$upstream_port" & pids+=($!)
"$build/feed/nimbrel-feed" --listen "127.0.0.1:$feed_port" --upstream "http://127.0.0.1:$upstream_port" \
  --per-minute 100000000 --per-hour 100000000 --per-day 100000000 2>"$work/feed.log" & feed_pid=$!
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
events { worker_connections 1024; }
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
  wrk -t2 -c"$connections" -d"${duration}s" --latency "$1" >"$work/wrk.txt"
  local rps p99
  rps=$(awk '/^Requests\/sec:/ {print $2}' "$work/wrk.txt")
  p99=$(awk '$1 == "99%" {v = $2; if (v ~ /us$/) {sub(/us$/, "", v); v /= 1000} else if (v ~ /ms$/) {sub(/ms$/, "", v)} else if (v ~ /s$/) {sub(/s$/, "", v); v *= 1000}; print v}' "$work/wrk.txt")
  echo "$rps $p99"
}
rss_idle=$(rss_kib "$feed_pid")
read -r feed_rps feed_p99 < <(measure "http://127.0.0.1:$feed_port$url")
read -r nginx_rps nginx_p99 < <(measure "http://127.0.0.1:$nginx_port$url")
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
cached_ok=$(curl -s -o /dev/null -w '%{http_code}' "http://127.0.0.1:$feed_port/forecastrss?p=$(sed -n 9999p "$work/zips.txt")&u=c")

ratio=$(awk -v a="$feed_rps" -v b="$nginx_rps" 'BEGIN {printf "%.2f", a / b}')
cat <<MD
## nimbrel-feed

Measured $(date -u +%Y-%m-%d) by \`bench/feed-bench.sh\` on this machine ($(nproc) cores, shared by
wrk, the service and nginx), loopback only, Release build. wrk: 2 threads, $connections keep-alive
connections, ${duration} s, GET \`$url\` answered from the cache ($(wc -c <"$work/www/forecastrss") bytes).

| | requests/s | p99 latency |
|---|---|---|
| nimbrel-feed (cached answer) | $feed_rps | $feed_p99 ms |
| nginx serving the same document as a static file | $nginx_rps | $nginx_p99 ms |
| ratio nimbrel-feed / nginx | $ratio | |

Memory (VmRSS of nimbrel-feed; cache bound 10,000 answers):

| state | VmRSS |
|---|---|
| started, 1 answer cached | $((rss_idle / 1024)) MiB |
| after the wrk run above | $((rss_bench / 1024)) MiB |
| 10,000 distinct ZIP codes cached (filled in $fill_seconds s through the local upstream stand-in) | $((rss_10k / 1024)) MiB |
| 10,000 more answers asked for (other unit; the oldest are dropped) | $((rss_20k / 1024)) MiB |

Answers other than 200 while filling: $fill_refused; upstream failures logged: $upstream_errors. A late answer still served from the cache: HTTP $cached_ok.
MD
