#!/usr/bin/env bash
# Side-by-side HTTP benchmark: dosebridge (simulated dosimeter, no delay, 180
# points) against nginx serving the same reply bodies as static files, both
# pinned to CPU 0 and driven by wrk on CPU 1, one request per connection. The
# two servers take turns for a few rounds and each row shows the round with the
# median CPU figure, so that a burst of other work on the machine skews one
# round rather than the comparison.
#
#   bench/http.sh                      full run (about 7 minutes)
#   DURATION=2 ROUNDS=1 bench/http.sh  a quick look
#   BUILD_DIR=build/mine bench/http.sh another release build directory
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
duration=${DURATION:-4}
rounds=${ROUNDS:-3}
connections=${CONNECTIONS:-"1 10 50"}
build=$root/${BUILD_DIR:-build/release}

need=()
command -v wrk >/dev/null || need+=(wrk)
command -v nginx >/dev/null || need+=(nginx-light)
command -v taskset >/dev/null || need+=(util-linux)
if [ ${#need[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq && DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}" >/dev/null
fi
scripts/deps.sh
cmake --preset release -B "$build" >/dev/null
cmake --build "$build" --target dosebridge dosebridge_sim micro_bench >/dev/null

work=$(mktemp -d /tmp/dosebridge-bench-XXXXXX)
service_pid=""
cleanup() {
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null || true
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

printf 'log 180\n' > "$work/full.conf"
printf 'present 0\n' > "$work/nodevice.conf"
printf 'log 180\ndelay_us 1000\n' > "$work/slow.conf"

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
ticks_per_second=$(getconf CLK_TCK)

start_service() {  # $1: simulator script
  LD_PRELOAD=$build/sim/libdosebridge_sim.so DOSEBRIDGE_SIM=$1 \
    taskset -c 0 "$build/app/dosebridge" &
  service_pid=$!
  for _ in $(seq 100); do curl -s -o /dev/null http://localhost:5000/x && return; sleep 0.05; done
  echo "service did not start" >&2; exit 1
}
stop_service() { kill -TERM "$service_pid"; wait "$service_pid" || true; service_pid=""; }

# Reference bodies for nginx, fetched from the service itself.
mkdir -p "$work/www"
start_service "$work/full.conf"
curl -s 'http://localhost:5000/?callback=f' -o "$work/www/readout.js"
curl -s 'http://localhost:5000/GetDeviceInfo?callback=f' -o "$work/www/info.js"
curl -s 'http://localhost:5000/%zz' -o "$work/www/bad.html"  # a malformed escape: the stock 400
stop_service
start_service "$work/nodevice.conf"
curl -s 'http://localhost:5000/?callback=f' -o "$work/www/nodevice.js"
stop_service

cat > "$work/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 1024; }
http {
  access_log off;
  keepalive_timeout 0;
  types { text/javascript js; text/html html; }
  server {
    listen 127.0.0.1:8080 backlog=4096;
    root $work/www;
  }
}
CONF
taskset -c 0 nginx -c "$work/nginx.conf" -p "$work"
sleep 0.5
nginx_worker=$(pgrep -P "$(cat "$work/nginx.pid")" | head -1)

# One wrk run; prints "requests req/s p50 cpu_us_per_request".
measure() {  # $1 pid, $2 connections, $3 url, $4 extra wrk args
  local before after out requests
  before=$(cpu_ticks "$1")
  out=$(taskset -c 1 wrk -t1 -c"$2" -d"${duration}s" --timeout 5s --latency -H 'Connection: close' $4 "$3")
  after=$(cpu_ticks "$1")
  requests=$(echo "$out" | awk '/requests in/ {print $1}')
  echo "$out" | awk -v req="$requests" -v cpu=$((after - before)) -v hz="$ticks_per_second" '
    /Requests\/sec/ {rps = $2}
    $1 == "50%" {p50 = $2}
    END {printf "%d %.0f %s %.1f\n", req, rps, p50, (req > 0 ? cpu / hz * 1e6 / req : 0)}'
}

# Of the rounds' lines from measure, the one with the median CPU figure.
median_round() {
  sed '/^$/d' <<<"$1" | sort -k4,4g | awk '{line[NR] = $0} END {print line[int((NR + 1) / 2)]}'
}

routes="readout info nodevice malformed"
declare -A url=([readout]='/?callback=f' [info]='/GetDeviceInfo?callback=f' [nodevice]='/?callback=f' [malformed]='/%zz')
declare -A file=([readout]=readout.js [info]=info.js [nodevice]=nodevice.js [malformed]=bad.html)
declare -A conf=([readout]=full [info]=full [nodevice]=nodevice [malformed]=full)
declare -A size
for r in $routes; do size[$r]=$(stat -c %s "$work/www/${file[$r]}"); done

printf '\n%-10s %5s %6s | %9s %9s %6s | %9s %9s %6s | %9s %9s\n' route conns body \
  'ours r/s' 'nginx r/s' ratio 'ours µs' 'nginx µs' ratio 'ours p50' 'nginx p50'
for r in $routes; do
  start_service "$work/${conf[$r]}.conf"
  for c in $connections; do
    ours=""; ng=""
    for _ in $(seq "$rounds"); do
      ours+="$(measure "$service_pid" "$c" "http://localhost:5000${url[$r]}" "")"$'\n'
      ng+="$(measure "$nginx_worker" "$c" "http://127.0.0.1:8080/${file[$r]}" "")"$'\n'
    done
    read -r _ ours_rps ours_p50 ours_cpu <<<"$(median_round "$ours")"
    read -r _ ng_rps ng_p50 ng_cpu <<<"$(median_round "$ng")"
    awk -v r="$r" -v c="$c" -v s="${size[$r]}" -v orps="$ours_rps" -v nrps="$ng_rps" -v ocpu="$ours_cpu" \
      -v ncpu="$ng_cpu" -v op="$ours_p50" -v np="$ng_p50" 'BEGIN {
      printf "%-10s %5d %6d | %9.0f %9.0f %6.2f | %9.1f %9.1f %6.2f | %9s %9s\n", r, c, s, orps, nrps,
        (nrps > 0 ? orps / nrps : 0), ocpu, ncpu, (ncpu > 0 ? ocpu / ncpu : 0), op, np }'
  done
  stop_service
done

# Peak memory over 100,000 readout requests, and growth between the first and last 10,000.
echo
start_service "$work/full.conf"
total=0; rss_first=""
while [ "$total" -lt 100000 ]; do
  n=$(taskset -c 1 wrk -t1 -c10 -d2s -H 'Connection: close' 'http://localhost:5000/?callback=f' | awk '/requests in/ {print $1}')
  total=$((total + n))
  [ -z "$rss_first" ] && [ "$total" -ge 10000 ] && rss_first=$(awk '/VmRSS/ {print $2}' "/proc/$service_pid/status")
done
rss_last=$(awk '/VmRSS/ {print $2}' "/proc/$service_pid/status")
peak=$(awk '/VmHWM/ {print $2}' "/proc/$service_pid/status")
echo "memory after $total readout requests: peak RSS $peak KiB; RSS $rss_first KiB after the first 10,000, $rss_last KiB at the end"
stop_service

# With 1 ms per USB transfer, how much of a readout's time is ours. Our CPU
# time per readout is taken without delay: the simulator's sleeping would
# otherwise count as ours.
start_service "$work/full.conf"
before=$(cpu_ticks "$service_pid")
for _ in $(seq 200); do curl -s -o /dev/null 'http://localhost:5000/?callback=f'; done
after=$(cpu_ticks "$service_pid")
stop_service
start_service "$work/slow.conf"
t0=$(date +%s%N)
for _ in $(seq 10); do curl -s -o /dev/null 'http://localhost:5000/?callback=f'; done
t1=$(date +%s%N)
stop_service
awk -v wall=$(( (t1 - t0) / 10 )) -v cpu=$((after - before)) -v hz="$ticks_per_second" 'BEGIN {
  ours = cpu / hz * 1e9 / 200
  printf "1 ms per transfer: a readout takes %.1f ms; the service'"'"'s own CPU time is %.3f ms of it (%.3f%%)\n",
    wall / 1e6, ours / 1e6, 100 * ours / wall }'

echo
"$build/bench/micro_bench" --benchmark_min_time=0.2 2>/dev/null | sed -n '/^BM_/p'
