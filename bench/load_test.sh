#!/usr/bin/env bash
# Measures how many one-request-per-connection GETs per second the gateway
# answers, beside nginx serving the same files on the same machine, with
# wrk sending "Connection: close" (the gateway serves one request per
# connection). Prints the rates side by side and their ratio.
#
#   bench/load_test.sh [VANTREL_BINARY] [SECONDS]
#
# On a shared machine one measurement can be 15% off either way, so each
# file is measured ROUNDS times (3 by default), the two servers taking turns,
# and the median rates are compared; SECONDS is the length of one
# measurement.
#
# Installs wrk and nginx-light when they are missing. Every address used is
# on the loopback interface.
set -euo pipefail
cd "$(dirname "$0")/.."

binary=${1:-build/bin/vantrel}
seconds=${2:-10}
threads=2
connections=${CONNECTIONS:-32}
rounds=${ROUNDS:-3}
vantrel_port=18480
nginx_port=18481

tools/install_packages.sh wrk nginx-light >/dev/null
[ -x "$binary" ] || { echo "no gateway at $binary; build it first (./run.sh builds build/bin/vantrel)" >&2; exit 1; }

work=$(mktemp -d)
cleanup() {
  [ -n "${vantrel_pid:-}" ] && kill "$vantrel_pid" 2>/dev/null && wait "$vantrel_pid" 2>/dev/null
  [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

chmod 755 "$work"
mkdir -p "$work/web" "$work/nginx"
head -c 1024 /dev/urandom > "$work/web/1k.bin"
head -c 1048576 /dev/urandom > "$work/web/1m.bin"
printf 'Server port=%d\r\n' "$vantrel_port" > "$work/config.ini"
chmod -R a+rX "$work/web"

cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 2;
pid $work/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  sendfile on;
  keepalive_timeout 0;
  types { application/octet-stream bin; }
  client_body_temp_path $work/nginx;
  proxy_temp_path $work/nginx;
  fastcgi_temp_path $work/nginx;
  uwsgi_temp_path $work/nginx;
  scgi_temp_path $work/nginx;
  server {
    listen 127.0.0.1:$nginx_port;
    root $work/web;
  }
}
CONF

"$binary" --headless --home "$work" > "$work/vantrel.log" 2>&1 &
vantrel_pid=$!
nginx -c "$work/nginx/nginx.conf"
sleep 1

# Requests per second that wrk reports; errors make the run fail.
rate() {
  local url=$1 output
  output=$(wrk -t"$threads" -c"$connections" -d"${seconds}s" -H "Connection: close" "$url")
  if grep -qE 'Socket errors|Non-2xx' <<<"$output"; then
    echo "wrk reported errors for $url:" >&2
    echo "$output" >&2
  fi
  awk '/Requests\/sec/ { print $2 }' <<<"$output"
}

# The middle value of the numbers given.
median() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

printf '%-8s %14s %14s %8s\n' file vantrel/s nginx/s ratio
for file in 1k.bin 1m.bin; do
  vs=() ns=()
  for _ in $(seq "$rounds"); do
    vs+=("$(rate "http://127.0.0.1:$vantrel_port/$file")")
    ns+=("$(rate "http://127.0.0.1:$nginx_port/$file")")
  done
  v=$(median "${vs[@]}")
  n=$(median "${ns[@]}")
  printf '%-8s %14s %14s %8s\n' "$file" "$v" "$n" "$(awk -v v="$v" -v n="$n" 'BEGIN { printf "%.2f", v / n }')"
done
