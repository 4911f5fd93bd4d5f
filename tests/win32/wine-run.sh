#!/bin/sh
# Runs a test command under Wine with its output in a file, and prints that output once the
# command has ended. A test program can be the one that starts Wine's own long-lived helpers
# (the service manager, the desktop process); they inherit its standard output and keep the
# pipe ctest reads open long after the test has finished, so ctest would wait for its time
# limit instead of the test's end.
out=$(mktemp)
"$@" >"$out" 2>&1
status=$?
cat "$out"
rm -f "$out"
exit $status
