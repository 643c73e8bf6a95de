#!/usr/bin/env bash
# Measures what a script page costs beside the same answer served as a
# plain file and beside the same page in PHP (run through php-cgi by the
# same gateway), then how long a byte takes from the serial device to a page
# that polls for it.
#
#   bench/page_load_test.sh [VANTREL_BINARY] [SECONDS]
#
# Two script pages: loop.vpg, a small HTML page with a list of 100 lines
# made by a loop, and fixed.vpg, 1 KiB of fixed text. Each one's answer is
# saved as a plain file (loop.html, fixed.html). wrk requests all four with
# one connection and with four for SECONDS each (in two halves, see below),
# counting the busy answers ("Another script is running", status 200:
# script pages run one at a time), and prints each page's rate as a share
# of its file's. loop.php
# gives the same text as loop.vpg, line breaks aside, and is requested with
# one connection. The poll test runs bench/serial_poll_latency.py
# (POLL_ROUNDS bytes, 500 by default) against a pseudo terminal.
#
# wrk counts one read error for every PHP answer: those answers have no
# Content-Length and end when the gateway closes the connection. The answers
# themselves are counted and checked (status 200, not busy).
#
# Installs wrk, php-cgi, curl and python3 when they are missing. Requests go
# over the loopback interface to port PORT (18482 by default).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/.."

binary=${1:-build/bin/vantrel}
seconds=${2:-10}
port=${PORT:-18482}
poll_rounds=${POLL_ROUNDS:-500}
php=/usr/bin/php-cgi

tools/install_packages.sh wrk php-cgi curl python3 >/dev/null
[ -x "$binary" ] || { echo "no gateway at $binary; build it first (./run.sh builds build/bin/vantrel)" >&2; exit 1; }

work=$(mktemp -d)
cleanup() {
  [ -n "${vantrel_pid:-}" ] && kill "$vantrel_pid" 2>/dev/null && wait "$vantrel_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/web"
# All ten lines in their order: the PHP path is read from the tenth.
printf '%s\r\n' AutoActivate=no AutoMinimize=no "Server port=$port" "Use session=no" \
  "Session expire=1" "Auth require=no" "Auth user=user" "Auth password=kelp" \
  "Log to file=no" "PHP path=$php" > "$work/config.ini"
cat > "$work/web/loop.vpg" <<'PAGE'
<html><head><title>Loop</title></head><body>
<ul>
<% for i = 1 to 100 %><li>line <%= i %></li><% next %>
</ul>
</body></html>
PAGE
# 1 KiB of fixed text: 16 lines of 64 bytes with their line breaks.
for i in $(seq -w 1 16); do
  printf '<p>Line %s of a page that holds fixed text, nothing else..</p>\r\n' "$i"
done > "$work/web/fixed.vpg"
cat > "$work/web/loop.php" <<'PAGE'
<html><head><title>Loop</title></head><body>
<ul>
<?php for ($i = 1; $i <= 100; $i++) { ?><li>line <?= $i ?></li><?php } ?>
</ul>
</body></html>
PAGE

"$binary" --headless --home "$work" > "$work/vantrel.log" 2>&1 &
vantrel_pid=$!
for _ in $(seq 50); do
  grep -q 'Listening for HTTP connections' "$work/vantrel.log" && break
  kill -0 "$vantrel_pid" 2>/dev/null || { cat "$work/vantrel.log" >&2; exit 1; }
  sleep 0.1
done
base=http://127.0.0.1:$port

# Both pages must give the same text, line breaks aside.
page_text() { curl -sf "$base/$1" | tr -d '\r\n'; }
if [ "$(page_text loop.vpg)" != "$(page_text loop.php)" ] || [ -z "$(page_text loop.php)" ]; then
  echo "loop.vpg and loop.php do not give the same text:" >&2
  curl -s "$base/loop.vpg" "$base/loop.php" >&2
  exit 1
fi

# The value of the awk expression $1 with $2 decimals (3 by default).
calc() { awk "BEGIN { printf \"%.${2:-3}f\", $1 }"; }

# The figures of one wrk run: "requests seconds rate mean_us pages busy other_status".
run_wrk() {
  local connections=$1 document=$2 duration=$3 output
  output=$(wrk -t1 -c"$connections" -d"${duration}s" -H "Connection: close" \
    -s "$here/page_load_test.lua" "$base/$document")
  grep -E '^ +Socket errors' <<<"$output" | grep -vE 'connect 0, read [0-9]+, write 0, timeout 0' >&2 || true
  sed -nE 's/^result requests=([0-9]+) seconds=(\S+) rate=(\S+) mean_us=(\S+) pages=([0-9]+) busy=([0-9]+) other_status=([0-9]+)$/\1 \2 \3 \4 \5 \6 \7/p' <<<"$output"
}

# The script pages' answers saved as plain files: what serving the same
# bytes costs without running a page.
curl -sf "$base/loop.vpg" > "$work/web/loop.html"
curl -sf "$base/fixed.vpg" > "$work/web/fixed.html"

# The totals of every document's runs, by "DOCUMENT CONNECTIONS".
declare -A requests_of seconds_of micros_of pages_of busy_of other_of

# run CONNECTIONS DOCUMENT SECONDS: one wrk run, added to the totals.
run() {
  local key="$2 $1" requests seconds rate mean pages busy other
  read -r requests seconds rate mean pages busy other < <(run_wrk "$1" "$2" "$3")
  [ "$pages" -gt 0 ] || { echo "$2 gave no full answer" >&2; exit 1; }
  requests_of[$key]=$((${requests_of[$key]:-0} + requests))
  pages_of[$key]=$((${pages_of[$key]:-0} + pages))
  busy_of[$key]=$((${busy_of[$key]:-0} + busy))
  other_of[$key]=$((${other_of[$key]:-0} + other))
  seconds_of[$key]=$(calc "${seconds_of[$key]:-0} + $seconds")
  micros_of[$key]=$(calc "${micros_of[$key]:-0} + $mean * $requests")
}

# Requests (or, with "pages", full pages) a second of "DOCUMENT CONNECTIONS".
rate() {
  local count=${requests_of[$1]}
  [ "${2:-}" = pages ] && count=${pages_of[$1]}
  calc "$count / ${seconds_of[$1]}" "${3:-1}"
}

# report CONNECTIONS DOCUMENT: the document's line of figures.
report() {
  local key="$2 $1"
  printf '%-11s %11s %12s %10s %8s %8s\n' "$2" "$1" "$(rate "$key")" \
    "$(calc "${micros_of[$key]} / ${requests_of[$key]} / 1000")" \
    "$(calc "100 * ${busy_of[$key]} / ${requests_of[$key]}" 1)%" "${other_of[$key]}"
}

# Each page and its file are measured in two halves, in the order file,
# page, page, file (and the same for the next pair), so that the machine's
# drift over a run weighs the same on both sides of a ratio.
half=$(((seconds + 1) / 2))
echo "${seconds} s each, in two halves:"
printf '%-11s %11s %12s %10s %8s %8s\n' page connections requests/s mean_ms busy other
documents=(loop.html loop.vpg fixed.html fixed.vpg)
for connections in 1 4; do
  for document in "${documents[@]}"; do run "$connections" "$document" "$half"; done
  for ((k = ${#documents[@]} - 1; k >= 0; k--)); do run "$connections" "${documents[k]}" "$half"; done
  for document in "${documents[@]}"; do report "$connections" "$document"; done
done
run 1 loop.php "$seconds"
report 1 loop.php

echo
echo "A script page against the same answer served as a file (requests/s; with"
echo "4 connections, busy answers counted and, in brackets, full pages only):"
printf '%-10s %8s %18s\n' page '1 conn' '4 conn'
for page in loop fixed; do
  printf '%-10s %8s %10s (%s)\n' "$page.vpg" \
    "$(calc "$(rate "$page.vpg 1" all 3) / $(rate "$page.html 1" all 3)" 2)" \
    "$(calc "$(rate "$page.vpg 4" all 3) / $(rate "$page.html 4" all 3)" 2)" \
    "$(calc "$(rate "$page.vpg 4" pages 3) / $(rate "$page.html 4" all 3)" 2)"
done
echo "loop.vpg/loop.php: $(calc "$(rate "loop.vpg 1" all 3) / $(rate "loop.php 1" all 3)" 1) times the rate"

echo
python3 "$here/serial_poll_latency.py" "$work/web" "$port" "$poll_rounds"
