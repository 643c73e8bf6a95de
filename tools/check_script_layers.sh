#!/usr/bin/env bash
# Checks that every file of the script engine includes headers of its own
# layer and of the layers below it only. The layers, lowest first, with the
# layers each may use (script/CMakeLists.txt links them the same way):
set -euo pipefail
cd "$(dirname "$0")/../script"
declare -A allowed=(
  [errors]="errors"
  [syntax]="syntax errors"
  [values]="values"
  [machine]="machine values errors"
  [host]="host machine values errors"
  [basic]="basic host machine values syntax errors"
  [scripter]="scripter stored basic host machine values syntax errors"
  [stored]="stored machine values errors"
  [library]="library scripter stored basic host machine values syntax errors"
)
status=0
for file in */*.h */*.cc; do
  layer=${file%%/*}
  if [[ -z "${allowed[$layer]+x}" ]]; then
    echo "script/$file: folder '$layer' is not a known layer" >&2
    status=1
    continue
  fi
  while read -r used; do
    if [[ " ${allowed[$layer]} " != *" $used "* ]]; then
      echo "script/$file includes a header of layer '$used', above or beside '$layer'" >&2
      status=1
    fi
  done < <(grep -o '#include "script/[a-z_]*/' "$file" | sed 's|#include "script/||; s|/$||' | sort -u)
done
exit $status
