#!/usr/bin/env bash
# Runs the same programs in Basic (vantrel-basic), Lua 5.4 and Python 3 and
# prints their times side by side with the ratios. Uses hyperfine when it is
# installed (mean of several runs), otherwise the best of three runs.
#
#   bench/compare/compare.sh [VANTREL_BASIC] [PROGRAM...]
#
# The programs are loop (10 million iterations of arithmetic), fib
# (recursive Fibonacci of 27) and strings (100,000 appends). Installs lua5.4
# when it is missing; build vantrel-basic first (./run.sh or ./test.sh build
# build/bin/vantrel-basic).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/../.."

basic=${1:-build/bin/vantrel-basic}
shift || true
programs=("$@")
[ ${#programs[@]} -eq 0 ] && programs=(loop fib strings)

tools/install_packages.sh lua5.4 >/dev/null
[ -x "$basic" ] || { echo "no vantrel-basic at $basic; build it first" >&2; exit 1; }
python=/usr/bin/python3

# Seconds one command takes.
measure() {
  if command -v hyperfine >/dev/null; then
    local json
    json=$(mktemp)
    hyperfine --warmup 1 --runs 5 --style none --export-json "$json" "$*" >/dev/null
    "$python" -c 'import json,sys; print(json.load(open(sys.argv[1]))["results"][0]["mean"])' "$json"
    rm -f "$json"
  else
    local best=""
    for _ in 1 2 3; do
      local start end
      start=$(date +%s.%N)
      "$@" >/dev/null
      end=$(date +%s.%N)
      best=$("$python" -c "import sys; t=$end-$start; b='$best'; print(min(t, float(b)) if b else t)")
    done
    echo "$best"
  fi
}

printf '%-8s %10s %10s %10s %11s %13s\n' program basic_s lua_s python_s basic/lua basic/python
for program in "${programs[@]}"; do
  b=$(measure "$basic" "$here/$program.bas")
  l=$(measure lua5.4 "$here/$program.lua")
  p=$(measure "$python" "$here/$program.py")
  "$python" -c "
b, l, p = $b, $l, $p
print('%-8s %10.3f %10.3f %10.3f %11.2f %13.2f' % ('$program', b, l, p, b / l, b / p))"
done
