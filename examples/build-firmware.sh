#!/usr/bin/env bash
# Rebuilds the example firmware and its Intel HEX and binary images.
# Needs the Debian packages gcc-avr, avr-libc and binutils-avr.
set -euo pipefail
cd "$(dirname "$0")"

cflags=(-Os -std=gnu99 -Wall -Wextra)

build() {  # dir name mcu [ld flags...]
  local dir=$1 name=$2 mcu=$3
  shift 3
  avr-gcc -mmcu="$mcu" "${cflags[@]}" -o "$dir/$name.elf" "$dir/$name.c" "$@"
  # Code file: every section that lands in flash.
  avr-objcopy -O ihex -R .eeprom -R .fuse -R .lock -R .signature "$dir/$name.elf" "$dir/$name.hex"
  avr-objcopy -O binary -R .eeprom -R .fuse -R .lock -R .signature "$dir/$name.elf" "$dir/$name.bin"
  # Data file, when the firmware has EEPROM contents.
  if avr-objdump -h "$dir/$name.elf" | grep -q '\.eeprom'; then
    avr-objcopy -O ihex -j .eeprom --change-section-lma .eeprom=0 "$dir/$name.elf" "$dir/$name.eep.hex"
    avr-objcopy -O binary -j .eeprom --change-section-lma .eeprom=0 "$dir/$name.elf" "$dir/$name.eep.bin"
  fi
}

build blink-mega8 blink atmega8
build table-mega2560 table atmega2560 \
  -Wl,--section-start=.fartext=0x10000 -Wl,--section-start=.fartable=0x1F800
# This one keeps its ELF file, which mervex takes as it is: flash, EEPROM,
# fuses and lock bits (with -u), and the signature of the chip it is built for.
build firmware-mega328p firmware atmega328p
rm -f blink-mega8/blink.elf table-mega2560/table.elf
