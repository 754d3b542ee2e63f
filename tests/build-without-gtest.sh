#!/usr/bin/env bash
# The README's first command on a machine without GoogleTest: configure with it
# hidden, then run the demo. The tests must be skipped with the one configure
# message, not stop the configuration. The programs are not compiled again:
# as src/ includes no GoogleTest header, they are those of the build at hand,
# which the demo runs.
# Usage: tests/build-without-gtest.sh SOURCE_DIR WORK_DIR BUILD_DIR
set -euo pipefail
source=$(cd "$1" && pwd)
work=$2
built=$(cd "$3" && pwd)

if grep -rlE '#include [<"]gtest/' "$source/src"; then echo "src/ includes GoogleTest"; exit 1; fi

rm -rf "$work"
mkdir -p "$work"
cd "$work"
cmake -S "$source" -B build -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON > configure.log 2>&1 || {
  cat configure.log; echo "configuring without GoogleTest failed"; exit 1; }
grep -q "GoogleTest not found: the tests are not built" configure.log || {
  cat configure.log; echo "no message that the tests are skipped"; exit 1; }
[ ! -e build/tests ] || { echo "test directory configured without GoogleTest"; exit 1; }

# The build system works without the tests: a target that needs no compiler.
cmake --build build --target mervex_docs > build.log 2>&1 || { tail -40 build.log; exit 1; }
"$source/examples/demo.sh" "$built"
