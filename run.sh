#!/usr/bin/env bash
# Installs what Vantrel needs, builds it (Release, into build/) and starts the
# gateway, with a simulated serial device beside it. Options after the script
# name go to the gateway, for example
#   ./run.sh --home /srv/vantrel
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
tools/install_packages.sh "${VANTREL_BUILD_PACKAGES[@]}" "${VANTREL_RUN_PACKAGES[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"

# A simulated serial device beside the gateway, so that the terminal page can
# be tried without hardware. It watches this process, which becomes the
# gateway below, and ends with it. VANTREL_DEVSIM=no leaves it out.
if [ "${VANTREL_DEVSIM:-yes}" != no ]; then
  build/bin/vantrel-devsim --watch-pid $$ /tmp/vantrel-sim >/dev/null &
  echo "run.sh: a simulated serial device answers on /tmp/vantrel-sim (commands ID?," \
       "COUNT?, TIME?, HELP); open it from the terminal page, /terminal.html"
fi

# The window program when a display is available, headless otherwise;
# --headless forces it.
exec build/bin/vantrel "$@"
