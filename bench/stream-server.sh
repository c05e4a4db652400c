#!/usr/bin/env bash
# Loopback stream server benchmark, in one run, against Debian's nginx (one worker, sendfile on,
# one request per connection like ours) serving the same folder, both driven by wrk:
#   1. range requests for 10 s (over 1,000), each for one 4-second segment (4 MiB, ~8 Mb/s 1080p) of a 1 GiB file;
#   2. the 1 GiB file read whole, repeatedly for a few seconds, over one connection at a time;
#   3. peak memory (VmHWM) of each server after serving a 1 GiB and a 4 GiB file whole.
# The big files are sparse (made with truncate), so the disk is not what is measured.
#
#   bench/stream-server.sh
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
work="$build/bench-stream"

"$root/scripts/install-deps.sh" bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQC_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target bench-stream-server >/dev/null

rm -rf "$work"
mkdir -p "$work/files/stream" "$work/nginx"
truncate -s 1G "$work/files/stream/big.m4s"
truncate -s 4G "$work/files/stream/huge.m4s"

# Our server.
coproc OURS { "$build/bin/bench-stream-server" "$work/files"; }
read -r port secret <&"${OURS[0]}"
ours_pid=$OURS_PID

# nginx on the same folder under the same path.
nginx_port=$((port + 1))
cat >"$work/nginx/nginx.conf" <<CONF
user root;
worker_processes 1;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
    access_log off;
    sendfile on;
    tcp_nopush on;
    keepalive_timeout 0;
    server {
        listen 127.0.0.1:$nginx_port;
        location /$secret/ { alias $work/files/; }
    }
}
CONF
nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" &
nginx_pid=$!
trap 'kill $nginx_pid 2>/dev/null || true; kill $ours_pid 2>/dev/null || true' EXIT
sleep 0.5

# Ranges walk the 256 segments of the file; 10 s gives well over 1,000 requests on this machine.
cat >"$work/ranges.lua" <<'LUA'
local segment = 4 * 1024 * 1024
local i = 0
request = function()
    local s = (i % 256) * segment
    i = i + 1
    return wrk.format("GET", nil, { Range = "bytes=" .. s .. "-" .. (s + segment - 1) })
end
done = function(summary, latency)
    io.write(string.format("RESULT requests=%d seconds=%.3f p50=%.2fms p99=%.2fms bytes=%d\n",
        summary.requests, summary.duration / 1e6, latency:percentile(50) / 1000,
        latency:percentile(99) / 1000, summary.bytes))
end
LUA
cat >"$work/whole.lua" <<'LUA'
done = function(summary, latency)
    io.write(string.format("RESULT requests=%d seconds=%.3f p50=%.2fms p99=%.2fms bytes=%d\n",
        summary.requests, summary.duration / 1e6, latency:percentile(50) / 1000,
        latency:percentile(99) / 1000, summary.bytes))
end
LUA

hwm() { awk '/VmHWM/ {print $2}' "/proc/$1/status"; }
nginx_hwm() { local total=0; for p in $nginx_pid $(pgrep -P "$nginx_pid"); do total=$((total + $(hwm "$p"))); done; echo $total; }
summary() { # name result-line
    local line="$2"
    local req sec p99 bytes
    req=$(sed -E 's/.*requests=([0-9]+).*/\1/' <<<"$line")
    sec=$(sed -E 's/.*seconds=([0-9.]+).*/\1/' <<<"$line")
    p99=$(sed -E 's/.*p99=([0-9.]+)ms.*/\1/' <<<"$line")
    bytes=$(sed -E 's/.*bytes=([0-9]+).*/\1/' <<<"$line")
    awk -v n="$1" -v r="$req" -v s="$sec" -v p="$p99" -v b="$bytes" \
        'BEGIN { printf "  %-8s %6d requests  %8.1f MiB/s  %8.1f req/s  p99 %8.2f ms\n", n, r, b/s/1048576, r/s, p }'
    awk -v b="$bytes" -v s="$sec" 'BEGIN { print b/s }' >"$work/last-rate"
    echo "$p99" >"$work/last-p99"
}

run_pair() { # title script path wrk-args...
    local title="$1" script="$2" path="$3"
    shift 3
    echo "$title"
    local ours nginx
    ours=$(wrk "$@" -s "$work/$script" "http://127.0.0.1:$port/$secret/$path" | grep RESULT)
    summary ours "$ours"
    local ours_rate ours_p99
    ours_rate=$(cat "$work/last-rate")
    ours_p99=$(cat "$work/last-p99")
    nginx=$(wrk "$@" -s "$work/$script" "http://127.0.0.1:$nginx_port/$secret/$path" | grep RESULT)
    summary nginx "$nginx"
    awk -v a="$ours_rate" -v b="$(cat "$work/last-rate")" -v p="$ours_p99" -v q="$(cat "$work/last-p99")" \
        'BEGIN { printf "  ratio    throughput %.2fx nginx (goal >= 0.8)   p99 %.2fx nginx (goal <= 2)\n", a/b, p/q }'
}

echo "Conditions: $(nproc) cores shared with other work; wrk 2 threads; one request per connection."
run_pair "1. range requests for 4 MiB segments for 10 s (8 connections; at least 1,000)" ranges.lua stream/big.m4s -t2 -c8 -d10s
run_pair "2. 1 GiB file read whole (1 connection, 6 s)" whole.lua stream/big.m4s -t1 -c1 -d6s

echo "3. peak memory (VmHWM)"
printf "  %-8s after 1 GiB: %6d KiB\n" ours "$(hwm $ours_pid)" nginx "$(nginx_hwm)"
curl -s -o /dev/null "http://127.0.0.1:$port/$secret/stream/huge.m4s"
curl -s -o /dev/null "http://127.0.0.1:$nginx_port/$secret/stream/huge.m4s"
printf "  %-8s after 4 GiB: %6d KiB\n" ours "$(hwm $ours_pid)" nginx "$(nginx_hwm)"
