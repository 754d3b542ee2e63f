#!/usr/bin/env bash
# Runs a representative set of whole mervex and mervex-vchip runs under
# valgrind memcheck: help, the chip page, usage errors, programming, verifying
# and reading a virtual mega8, and runs that fail (lost synchronisation, a
# stuck write, a full disk, a signal). Any memory error or leak fails the script.
# Usage: scripts/valgrind-check.sh [build-dir]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$(cd "${1:-build}" && pwd)
mervex="$build/mervex"
vchip="$build/mervex-vchip"
for program in "$mervex" "$vchip"; do
  [ -x "$program" ] || { echo "missing $program; build it first" >&2; exit 2; }
done
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cp "$root"/examples/blink-mega8/blink.hex "$root"/examples/blink-mega8/blink.eep.hex .
echo 1000 > serial.txt

failures=0
runs=0
# check EXPECTED-STATUS PROGRAM ARGS...: the run must end with that status and
# valgrind must find nothing.
check() {
  local expected=$1; shift
  local name=$runs
  runs=$((runs + 1))
  local status=0
  valgrind --quiet --error-exitcode=99 --leak-check=full --show-leak-kinds=definite,indirect,possible \
    --errors-for-leak-kinds=definite,indirect,possible --track-fds=no --log-file="valgrind-$name.log" \
    "$@" >"out-$name.txt" 2>&1 </dev/null || status=$?
  local shown="${*#"$build"/}"
  shown=${shown//"$cable"/CABLE}
  if [ "$status" -ne "$expected" ] || [ -s "valgrind-$name.log" ]; then
    echo "FAIL (status $status, expected $expected): $shown"
    cat "valgrind-$name.log" "out-$name.txt"
    failures=$((failures + 1))
  else
    echo "ok   (status $status): $shown"
  fi
}

cable="mosi=D5:sck=D6:reset=D4:miso=ACK:led_ok=D2:led_error=D7:power=D0,D1:enable=~STROBE"
fast="busy.flash=50 busy.eeprom=50 busy.erase=100 busy.fuse=50"
# shellcheck disable=SC2086
newTarget() { "$vchip" new mega8 "$1" --force cable=user:$cable $fast "${@:2}" >/dev/null; }

check 0 "$mervex"
check 0 "$mervex" -h
check 0 "$mervex" +mega8 -h
check 70 "$mervex" +mega8 -ewv
check 70 "$mervex" +nosuchchip -e
check 70 "$mervex" +mega8 -w -fNOSUCHFUSE=1 blink.hex
check 0 "$vchip" --help
check 0 "$vchip" new mega8 board.vchip cable=user:$cable $fast
check 0 "$mervex" +mega8 -p./board.vchip -am:$cable -e -w -v blink.hex
check 0 "$mervex" +mega8 -p./board.vchip -am:$cable -e- -wp -v -C*SERNO2=10,serial.txt -fCKSEL=4 blink.hex blink.eep.hex
check 0 "$mervex" +mega8 -p./board.vchip -am:$cable -r -cback.hex -dback.eep
check 0 "$mervex" +mega8 -p./board.vchip -am:$cable -e -b -id
check 0 "$vchip" show board.vchip
check 0 "$vchip" dump board.vchip flash dump.bin
newTarget sync.vchip fault.wrong-echo=40
check 40 "$mervex" +mega8 -p./sync.vchip -am:$cable -e- -wp blink.hex
newTarget stuck.vchip fault.stuck-write=2
check 10 "$mervex" +mega8 -p./stuck.vchip -am:$cable -e -wp -v blink.hex
newTarget signal.vchip fault.signal=INT@30
check 80 "$mervex" +mega8 -p./signal.vchip -am:$cable -e -wp -v blink.hex
ln -s /dev/full full.hex
check 50 "$mervex" +mega8 -p./board.vchip -am:$cable -r -cfull.hex

echo "$runs runs, $failures failed"
[ "$failures" -eq 0 ]
