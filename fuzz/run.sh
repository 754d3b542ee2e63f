#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each one for the given number of seconds (default 60).
# Usage: fuzz/run.sh [seconds]   Build directory: $FUZZ_BUILD_DIR or build-fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-build-fuzz}

generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
CC=clang CXX=clang++ cmake -S . -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DMERVEX_FUZZ=ON -DMERVEX_SANITIZE=ON -DMERVEX_TESTS=OFF >/dev/null

status=0
for source in fuzz/*.cpp; do
  name=$(basename "$source" .cpp)
  cmake --build "$build" --target "fuzz_$name" -j2
  # New inputs go to a scratch corpus; the committed seeds are only read.
  work="$build/corpus-$name"
  mkdir -p "$work" "$build/artifacts-$name"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("fuzz/corpus/$name")
  # Binary images are cut into 4096-byte blocks, and so are ELF segments;
  # longer inputs reach the cut.
  extra=()
  if [ "$name" = binary ] || [ "$name" = elf ]; then extra=(-max_len=16384); fi
  echo "== fuzz_$name for ${seconds}s"
  if ! "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 "${extra[@]}" \
      -artifact_prefix="$build/artifacts-$name/" "$work" "${seeds[@]}"; then
    echo "fuzz_$name found a failure; inputs in $build/artifacts-$name/" >&2
    status=1
  fi
done
exit $status
