#!/usr/bin/env bash
# Every quoted include in src/ must name a header of the file's own layer or of
# a layer below it; each offending line is named as file:line. The build
# rejects most such includes already (each layer sees only the headers of the
# layers it links); this check also catches a path that climbs out ("../").
# Usage: tests/check-include-direction.sh SOURCE_DIR
set -euo pipefail
cd "$1"

# The layers each layer may include, its own first.
declare -A may=(
  [base]="base"
  [console]="console base"
  [adapter]="adapter console base"
  [chip]="chip adapter console base"
  [image]="image chip adapter console base"
  [driver]="driver image chip adapter console base"
  [sim]="sim image chip adapter console base"
  [vchip]="vchip sim image chip adapter console base"
  [mervex]="mervex driver sim image chip adapter console base"
)

status=0
for dir in src/*/; do
  layer=$(basename "$dir")
  if [[ -z "${may[$layer]:-}" ]]; then
    echo "$dir: a layer this check does not know; add its place to $0"
    status=1
    continue
  fi
  while IFS=: read -r file line text; do
    included=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/' <<<"$text")
    target=${included%%/*}
    [[ "$included" == */* ]] || target=$layer  # beside the including file
    if [[ " ${may[$layer]} " != *" $target "* ]]; then
      echo "$file:$line: $layer may not include \"$included\" (it may use: ${may[$layer]})"
      status=1
    fi
  done < <(grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$dir"*.h "$dir"*.cpp 2>/dev/null || true)
done
[[ $status -eq 0 ]] && echo "Every include in src/ looks down."
exit $status
