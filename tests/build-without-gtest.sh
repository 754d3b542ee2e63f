#!/usr/bin/env bash
# The README's first command on a machine without GoogleTest: configure with it
# hidden, build the two programs, run the demo. The tests must be skipped with
# the one configure message, not stop the configuration.
# Usage: tests/build-without-gtest.sh SOURCE_DIR WORK_DIR
# A compiler launcher (ccache) set in the environment is used as by any build.
set -euo pipefail
source=$(cd "$1" && pwd)
work=$2

rm -rf "$work"
mkdir -p "$work"
cd "$work"
cmake -S "$source" -B build -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON > configure.log 2>&1 || {
  cat configure.log; echo "configuring without GoogleTest failed"; exit 1; }
grep -q "GoogleTest not found: the tests are not built" configure.log || {
  cat configure.log; echo "no message that the tests are skipped"; exit 1; }
[ ! -e build/tests ] || { echo "test directory configured without GoogleTest"; exit 1; }

cmake --build build -j2 --target mervex mervex-vchip > build.log 2>&1 || { tail -40 build.log; exit 1; }
"$source/examples/demo.sh" build
