#!/usr/bin/env bash
# Programs the example firmware into a virtual mega8, reads it back and compares;
# then programs the example ELF file into a virtual mega328P in one command.
# Usage: examples/demo.sh [BUILD_DIR]   (default: build; nothing is built here)
# The virtual target files demo.vchip and demo-328p.vchip and the read-back
# file are left in the current directory.
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

# avr-gcc's ELF file as it comes: flash, EEPROM, fuses and lock bits of a
# mega328P in one command (-u takes the fuses and lock bits from the file).
run "$vchip" new atmega328p ./demo-328p.vchip --force
run "$mervex" +atmega328p -p./demo-328p.vchip -e -w -v -u "$here/firmware-mega328p/firmware.elf"
run "$vchip" show ./demo-328p.vchip
