#!/usr/bin/env bash
# SFTP transfer benchmark, in one run: a 200 MB file downloaded and uploaded through our
# SFTPClient (bench-sftp-client), plain `sftp` in batch mode and `scp`, all against one local
# OpenSSH server on 127.0.0.1 started here with its own keys and configuration; then the listing
# parser on a generated 1,000-entry listing. Goals: SFTPClient at least 0.95x plain sftp's
# throughput; the listing parsed in under 50 ms.
#
#   [RUNS=3] [SIZE_MB=200] bench/sftp.sh      (runs alternate between the tools; best of each)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
work="$build/bench-sftp"
runs="${RUNS:-3}"
size_mb="${SIZE_MB:-200}"

"$root/scripts/install-deps.sh" bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQC_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target bench-sftp-client >/dev/null
driver="$build/bin/bench-sftp-client"

rm -rf "$work"
mkdir -p "$work/remote" "$work/local"
user="$(id -un)"
ssh-keygen -q -t ed25519 -N "" -f "$work/host_key"
ssh-keygen -q -t ed25519 -N "" -f "$work/client_key"
cp "$work/client_key.pub" "$work/authorized_keys"
port=22022
while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((port + 1)); done
cat >"$work/sshd_config" <<CONF
ListenAddress 127.0.0.1
Port $port
HostKey $work/host_key
PidFile none
AuthorizedKeysFile $work/authorized_keys
StrictModes no
UsePAM no
PermitRootLogin yes
Subsystem sftp internal-sftp
CONF
cat >"$work/ssh_config" <<CONF
Host *
  UserKnownHostsFile $work/known_hosts
  GlobalKnownHostsFile /dev/null
  IdentityFile $work/client_key
  IdentitiesOnly yes
  IdentityAgent none
  StrictHostKeyChecking accept-new
CONF
# SFTPClient runs this in place of /usr/bin/sftp so that ssh uses the keys above.
printf '#!/bin/sh\nexec /usr/bin/sftp -F "%s" "$@"\n' "$work/ssh_config" >"$work/sftp"
chmod +x "$work/sftp"
[ "$(id -u)" = 0 ] && mkdir -p /run/sshd
/usr/sbin/sshd -D -e -f "$work/sshd_config" 2>"$work/sshd.log" &
sshd_pid=$!
trap 'kill "$sshd_pid" 2>/dev/null || true' EXIT
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done

echo "Generating a ${size_mb} MB file ..."
head -c "${size_mb}M" /dev/urandom >"$work/remote/file.bin"
cp "$work/remote/file.bin" "$work/local/file.bin"

# Appends the wall time in seconds of a command to the file named first.
timed() {
    local into="$1"
    shift
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }' >>"$into"
}
sftp_plain() { printf '%s\n' "$1" | /usr/bin/sftp -F "$work/ssh_config" -b - -P "$port" -- "$user@127.0.0.1"; }
ours() { "$driver" --program "$work/sftp" --port "$port" --user "$user" "$@"; }

for kind in ours sftp scp; do : >"$work/$kind.down"; : >"$work/$kind.up"; : >"$work/$kind.small"; done
touch "$work/remote/small.bin"
sftp_plain "ls" >/dev/null # accepts the host key once
for run in $(seq "$runs"); do
    rm -f "$work/local/down.bin"
    timed "$work/ours.down" ours download "$work/remote/file.bin" "$work/local/down.bin"
    cmp -s "$work/local/down.bin" "$work/remote/file.bin" || { echo "download differs" >&2; exit 1; }
    rm -f "$work/local/down.bin"
    timed "$work/sftp.down" sftp_plain "get \"$work/remote/file.bin\" \"$work/local/down.bin\""
    rm -f "$work/local/down.bin"
    timed "$work/scp.down" scp -q -F "$work/ssh_config" -P "$port" "$user@127.0.0.1:$work/remote/file.bin" \
        "$work/local/down.bin"
    # The fixed cost of one operation (process start, ssh handshake): an empty file.
    timed "$work/ours.small" ours download "$work/remote/small.bin" "$work/local/small.bin"
    timed "$work/sftp.small" sftp_plain "get \"$work/remote/small.bin\" \"$work/local/small.bin\""
    mkdir -p "$work/remote/up" && rm -f "$work/remote/up/file.bin"
    timed "$work/ours.up" ours upload "$work/local/file.bin" "$work/remote/up"
    cmp -s "$work/remote/up/file.bin" "$work/local/file.bin" || { echo "upload differs" >&2; exit 1; }
    rm -f "$work/remote/up/file.bin"
    timed "$work/sftp.up" sftp_plain "put \"$work/local/file.bin\" \"$work/remote/up/file.bin\""
    rm -f "$work/remote/up/file.bin"
    timed "$work/scp.up" scp -q -F "$work/ssh_config" -P "$port" "$work/local/file.bin" \
        "$user@127.0.0.1:$work/remote/up/file.bin"
done

best() { sort -g "$1" | head -1; }
rate() { awk -v s="$1" -v mb="$size_mb" 'BEGIN { printf "%.1f", mb / s }'; }
printf '\n%s MB over ssh on 127.0.0.1 (OpenSSH %s), best of %s runs\n\n' "$size_mb" \
    "$(ssh -V 2>&1 | cut -d' ' -f1 | cut -d_ -f2 | tr -d ,)" "$runs"
printf '%-30s %10s %10s %10s %10s\n' "" "down s" "down MB/s" "up s" "up MB/s"
for kind in ours sftp scp; do
    case $kind in
        ours) label="SFTPClient (QuorvaneConverter)" ;;
        sftp) label="plain sftp -b -" ;;
        scp) label="scp" ;;
    esac
    d=$(best "$work/$kind.down")
    u=$(best "$work/$kind.up")
    printf '%-30s %10s %10s %10s %10s\n' "$label" "$d" "$(rate "$d")" "$u" "$(rate "$u")"
done
ratio() { awk -v a="$(best "$work/sftp.$1")" -v b="$(best "$work/ours.$1")" 'BEGIN { printf "%.3f", a / b }'; }
printf '\nThroughput SFTPClient / plain sftp: download %sx, upload %sx (goal: at least 0.95x)\n' \
    "$(ratio down)" "$(ratio up)"

printf 'One operation on an empty file (fixed cost): SFTPClient %s s, plain sftp %s s\n' \
    "$(best "$work/ours.small")" "$(best "$work/sftp.small")"
read -r entries ms < <("$driver" parse 1000)
printf 'Listing parser: %s entries in %s ms, best of 20 (goal: under 50 ms)\n' "$entries" "$ms"
printf 'Load average during the run: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)"
