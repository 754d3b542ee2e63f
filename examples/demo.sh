#!/usr/bin/env bash
# Programs the example firmware into a virtual mega8, reads it back and compares.
# Usage: examples/demo.sh [BUILD_DIR]   (default: build; nothing is built here)
# The virtual target file demo.vchip and the read-back file are left in the
# current directory.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
mervex=$build/mervex
vchip=$build/mervex-vchip
firmware=$here/blink-mega8/blink.hex
objcopy_binary=$here/blink-mega8/blink.bin

for tool in "$mervex" "$vchip"; do
  [[ -x $tool ]] || { echo "demo: $tool not found; build the project first" >&2; exit 1; }
done

run() {
  echo "\$ $*"
  "$@"
  echo
}

run "$vchip" new mega8 ./demo.vchip --force
run "$mervex" +mega8 -p./demo.vchip -e -w -v "$firmware"
run "$mervex" +mega8 -p./demo.vchip -r -c:bin:readback.bin
run cmp readback.bin "$objcopy_binary"
echo "demo: the chip holds exactly the firmware (readback.bin equals avr-objcopy's blink.bin)"
