#!/usr/bin/env bash
# Installs what Vantrel needs, builds it (Release, into build/) and starts the
# gateway. Options after the script name go to the gateway, for example
#   ./run.sh --home /srv/vantrel
set -euo pipefail
cd "$(dirname "$0")"
source tools/packages.sh
tools/install_packages.sh "${VANTREL_BUILD_PACKAGES[@]}" "${VANTREL_RUN_PACKAGES[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTREL_BUILD_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"

exec build/bin/vantrel --headless "$@"
