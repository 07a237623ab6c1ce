#!/usr/bin/env bash
# The Linux program given files on its command line, as a file manager's "Open with" gives them:
# a name that is not UTF-8 (Latin-1 "café.csv" in a UTF-8 locale) and a relative path are
# converted beside themselves. Headless (offscreen); the window stays open with its report, and
# is ended here.
# Usage: command_line_test.sh PROGRAM
set -u
program=$1
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2> /dev/null; rm -rf "$work"' EXIT
mkdir "$work/day"
latin1=$'caf\xe9.csv'
printf 'cdrRecordType,dateTimeOrigination\r\nINTEGER,INTEGER\r\n1,1796619600\r\n' > "$work/$latin1"
cp "$work/$latin1" "$work/day/cdr_1"

cd "$work" || exit 1
QT_QPA_PLATFORM=offscreen "$program" "$latin1" day &
pid=$!
for _ in $(seq 100); do
  [ -f "$work/caf"$'\xe9'".converted.csv" ] && [ -f "$work/day/cdr_1.converted.csv" ] && break
  sleep 0.1
done
failures=0
for output in "caf"$'\xe9'".converted.csv" day/cdr_1.converted.csv; do
  if ! grep -q '2026-12-07 05:00:00' "$work/$output" 2> /dev/null; then
    echo "FAIL: $output was not written" >&2
    failures=1
  fi
done
[ "$failures" -eq 0 ] && echo "files named on the command line converted"
exit "$failures"
