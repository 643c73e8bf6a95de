#!/usr/bin/env bash
# Runs the same programs in Basic (vantrel-basic), Lua 5.4 and Python 3 and
# prints their times side by side with the ratios.
#
#   bench/compare/compare.sh [VANTREL_BASIC] [PROGRAM...]
#
# The programs are loop (10 million iterations of arithmetic), fib
# (recursive Fibonacci of 27) and strings (100,000 appends). Each time is
# the best of ROUNDS runs (5 by default, process start included), the three
# languages taking turns, so that a burst of load on a shared machine slows
# one round of all three rather than one language. Installs lua5.4 when it
# is missing; build vantrel-basic first (./run.sh or ./test.sh build
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
rounds=${ROUNDS:-5}

printf '%-8s %10s %10s %10s %11s %13s\n' program basic_s lua_s python_s basic/lua basic/python
for program in "${programs[@]}"; do
  "$python" - "$rounds" "$program" "$basic" "$here/$program.bas" lua5.4 "$here/$program.lua" \
    "$python" "$here/$program.py" <<'PY'
import subprocess, sys, time
rounds, program = int(sys.argv[1]), sys.argv[2]
commands = [sys.argv[3:5], sys.argv[5:7], sys.argv[7:9]]
best = [float("inf")] * 3
for _ in range(rounds):
    for k, command in enumerate(commands):
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
        best[k] = min(best[k], time.perf_counter() - start)
b, l, p = best
print("%-8s %10.3f %10.3f %10.3f %11.2f %13.2f" % (program, b, l, p, b / l, b / p))
PY
done
