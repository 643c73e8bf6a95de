#!/usr/bin/env bash
# Measures how fast the gateway answers a script page beside the same page in
# PHP (run through php-cgi by the same gateway), then what several
# connections at once do to script pages, then how long a byte takes from
# the serial device to a page that polls for it.
#
#   bench/page_load_test.sh [VANTREL_BINARY] [SECONDS]
#
# The two pages (loop.vpg, loop.php) give the same text: a small HTML page
# with a list of 100 lines made by a loop; the script page's answer differs
# only in its line breaks. wrk requests each with one connection and one
# thread for SECONDS (script pages run one at a time), and the script page's
# answer saved as a plain file (loop.html), which shows what the same answer
# costs the gateway without a page being run. Then it requests the script page
# with 4 connections for SECONDS, counting the busy answers ("Another script
# is running", status 200). The poll test runs bench/serial_poll_latency.py
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
  local connections=$1 document=$2 output
  output=$(wrk -t1 -c"$connections" -d"${seconds}s" -H "Connection: close" \
    -s "$here/page_load_test.lua" "$base/$document")
  grep -E '^ +Socket errors' <<<"$output" | grep -vE 'connect 0, read [0-9]+, write 0, timeout 0' >&2 || true
  sed -nE 's/^result requests=([0-9]+) seconds=(\S+) rate=(\S+) mean_us=(\S+) pages=([0-9]+) busy=([0-9]+) other_status=([0-9]+)$/\1 \2 \3 \4 \5 \6 \7/p' <<<"$output"
}

# The script page's answer as a plain file: what serving the same bytes
# costs without running a page.
curl -sf "$base/loop.vpg" > "$work/web/loop.html"

echo "One connection, ${seconds} s each:"
read -r _ _ vpg_rate vpg_mean vpg_pages vpg_busy vpg_other < <(run_wrk 1 loop.vpg)
read -r _ _ php_rate php_mean php_pages php_busy php_other < <(run_wrk 1 loop.php)
read -r _ _ html_rate html_mean _ _ html_other < <(run_wrk 1 loop.html)
printf '%-10s %12s %10s %8s %8s\n' page requests/s mean_ms busy other
printf '%-10s %12s %10s %8s %8s\n' loop.html "$html_rate" "$(calc "$html_mean/1000")" - "$html_other"
printf '%-10s %12s %10s %8s %8s\n' loop.vpg "$vpg_rate" "$(calc "$vpg_mean/1000")" "$vpg_busy" "$vpg_other"
printf '%-10s %12s %10s %8s %8s\n' loop.php "$php_rate" "$(calc "$php_mean/1000")" "$php_busy" "$php_other"
echo "vantrel/php: $(calc "$vpg_rate/$php_rate" 1) times the rate"
if [ "$vpg_pages" -eq 0 ] || [ "$php_pages" -eq 0 ]; then
  echo "a page gave no full answer" >&2
  exit 1
fi

echo
echo "Four connections on loop.vpg, ${seconds} s:"
read -r requests _ rate mean pages busy other < <(run_wrk 4 loop.vpg)
echo "$requests answers ($rate/s, mean $(calc "$mean/1000") ms): $pages pages," \
  "$busy busy ($(calc "100*$busy/$requests" 1)%), $other other statuses"

echo
python3 "$here/serial_poll_latency.py" "$work/web" "$port" "$poll_rounds"
