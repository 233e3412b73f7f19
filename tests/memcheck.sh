#!/usr/bin/env bash
# valgrind memcheck over a few runs of each program and the library tests:
# no invalid access, and no uninitialised byte in what is written.
set -euo pipefail
build=${1:?build directory}
check() {
  valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite "$@"
}
check "$build/hsum/hsum" -L5000 1 1 0 3 0.3 0.5 >/dev/null
check "$build/hsum/hsum" -L4 -c 1 1 0 >/dev/null
check "$build/rtab/rtab" -L5000 >/dev/null
# Failing runs: a message and status 255, still clean.
for args in "-L0 1 1 0" "-L3 0 1 0" "-L4 1 1 0 2"; do
  status=0
  check "$build/hsum/hsum" $args >/dev/null 2>&1 || status=$?
  [ "$status" -eq 255 ] || { echo "hsum $args: status $status"; exit 1; }
done
status=0
check "$build/rtab/rtab" -L5000 >/dev/full 2>/dev/null || status=$?
[ "$status" -eq 255 ] || { echo "rtab on /dev/full: status $status"; exit 1; }
check "$build/tests/samplestream/samplestream_test" --gtest_brief=1 >/dev/null
check "$build/tests/samplestream/samplestream_c_test"
echo "memcheck: clean"
