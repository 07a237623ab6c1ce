#!/usr/bin/env bash
# halvrenn-cdr.exe as a Windows console user meets it, under Wine: wildcards typed in cmd.exe,
# which passes them on as they are; a folder named on the command line; a tz zone name served by
# a Windows zone, with its warning; Ctrl+C (Wine turns SIGINT into the console's Ctrl+C) while
# a read waits; a path longer than MAX_PATH.
# Usage: halvrenn_cdr_console_test.sh PROGRAM WINE
set -u

program=$1
wine=$2
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# A path as Windows names it under Wine: drive Z: is the root.
windows_path() { local path=${1//\//\\}; echo "Z:$path"; }
# Through cmd.exe, as a user types it; the arguments reach cmd unexpanded.
in_cmd() { "$wine" cmd /c "$(windows_path "$program")" "$@"; }
calls() {
  printf 'cdrRecordType,globalCallID_callId,dateTimeOrigination,dateTimeConnect\r\n'
  printf 'INTEGER,INTEGER,INTEGER,INTEGER\r\n1,1,%s,0\r\n' "${1:-1796619600}"
}
expect_exists() { for file; do [ -f "$file" ] || fail "$file was not written"; done; }
expect_absent() { for file; do [ ! -e "$file" ] || fail "$file was written"; done; }

work=$(mktemp -d)
trap 'cd /; rm -rf "$work"' EXIT

# Wildcards, in cmd.exe: each matches the names it would in dir, hidden files left out; a
# wildcard that matches nothing fails, and the others are still converted.
mkdir "$work/wild" && cd "$work/wild" || exit 1
calls > a.csv
calls > b.csv
calls > cdr_Cluster1_01_202612070915_1
calls > note.txt
calls > hidden.csv
"$wine" attrib +h hidden.csv > /dev/null 2>&1
in_cmd '*.csv' 'cdr_*' '*.none' > out.txt 2> err.txt
status=$?
[ "$status" -eq 1 ] || fail "wildcards: exit status $status, expected 1 (one matched nothing)"
expect_exists a.converted.csv b.converted.csv cdr_Cluster1_01_202612070915_1.converted.csv
expect_absent note.converted.txt hidden.converted.csv
grep -q '^halvrenn-cdr: \*\.none: no file matches' err.txt || fail "wildcards: $(cat err.txt)"

# A folder: its files and its sub-folders', the hidden and system files and earlier outputs
# left out and counted.
mkdir -p "$work/day/node1" "$work/day/node2" && cd "$work" || exit 1
calls > day/node1/cdr_1
calls > day/node2/cdr_1
calls > day/desktop.ini
"$wine" attrib +h +s 'day\desktop.ini' > /dev/null 2>&1
in_cmd day > out.txt 2> err.txt
status=$?
[ "$status" -eq 0 ] || fail "a folder: exit status $status: $(cat err.txt)"
expect_exists day/node1/cdr_1.converted.csv day/node2/cdr_1.converted.csv
expect_absent day/desktop.converted.ini
grep -q '^halvrenn-cdr: day: left out 1 hidden or system file$' err.txt ||
  fail "a folder: $(cat err.txt)"

# A tz name on Windows is served by the Windows zone CLDR names for it, whose rules differ
# before 2000 (1990-10-27 17:01:15 GMT: 18:01:15 in the tz database, 19:01:15 in Windows'
# rules): said once as a warning. A Windows name needs no warning.
cd "$work" && calls 656960475 > paris.csv
"$wine" "$program" -f --zone Europe/Paris paris.csv > /dev/null 2> err.txt ||
  fail "--zone Europe/Paris: $(cat err.txt)"
grep -q '^halvrenn-cdr: warning: Europe/Paris is served by the Windows zone "Romance Standard Time"' \
  err.txt || fail "--zone Europe/Paris gives no warning: $(cat err.txt)"
[ "$(grep -c warning err.txt)" -eq 1 ] || fail "--zone Europe/Paris: more than one warning"
"$wine" "$program" -f --zone 'Romance Standard Time' paris.csv > /dev/null 2> err.txt
grep -q warning err.txt && fail "--zone 'Romance Standard Time' warns: $(cat err.txt)"

# Ctrl+C while a read waits (a FIFO whose writer stays silent): one interrupt stops at once, or
# within a moment where the system cannot break the read off; two at once too. No output, no
# temporary file, the status and words of an interrupt.
cd "$work" || exit 1
# Starts the program on slow.csv, a FIFO whose writer (descriptor 3) stays open, with the
# arguments given, and waits until its temporary file is in <folder>: sets pid to its process.
start_on_a_fifo() {  # <folder> <what> <arguments...>
  local folder=$1 what=$2
  shift 2
  rm -f slow.csv
  mkfifo slow.csv
  "$wine" "$program" "$@" slow.csv > /dev/null 2> err.txt &
  exec 3> slow.csv
  calls >&3
  for _ in $(seq 100); do
    [ -n "$(find "$folder" -maxdepth 1 -name '.halvrenn-*.tmp')" ] && break
    sleep 0.1
  done
  pid=$(pgrep -f "halvrenn-cdr.exe $* *slow.csv" | head -n 1)
  [ -n "$pid" ] || fail "$what: the program is not running"
}
for interrupts in 1 2; do
  rm -f slow.converted.csv
  start_on_a_fifo . "Ctrl+C"
  started=$(date +%s%N)
  for _ in $(seq "$interrupts"); do kill -INT "$pid"; done
  wait %%
  status=$?
  elapsed=$((($(date +%s%N) - started) / 1000000))
  exec 3>&-
  [ "$status" -eq 130 ] || fail "$interrupts Ctrl+C: exit status $status, expected 130"
  [ "$elapsed" -lt 3000 ] || fail "$interrupts Ctrl+C: ended after $elapsed ms"
  grep -qx 'halvrenn-cdr: slow.csv: interrupted, nothing written' err.txt ||
    fail "$interrupts Ctrl+C said: $(cat err.txt)"
  expect_absent slow.converted.csv
  left=$(find . -name '.halvrenn-*.tmp')
  [ -z "$left" ] || fail "$interrupts Ctrl+C left $left"
done

# A kill -9 of the program mid-conversion (TerminateProcess, as Task Manager ends it): its file,
# marked for deletion while it is written, goes with it; with -f the old output stays as it was.
for force in "" -f; do
  rm -rf killed && mkdir killed
  [ -n "$force" ] && printf 'old\n' > killed/slow.converted.csv
  start_on_a_fifo killed "kill -9 $force" -q $force -o killed
  kill -KILL "$pid"
  wait %%
  exec 3>&-
  for _ in $(seq 50); do  # the wine server closes the dead process's handles
    [ -z "$(find killed -name '.halvrenn-*.tmp')" ] && break
    sleep 0.1
  done
  left=$(cd killed && ls -A | tr '\n' ' ')
  [ "$left" = "${force:+slow.converted.csv }" ] || fail "kill -9 $force left '$left'"
  [ -z "$force" ] || [ "$(cat killed/slow.converted.csv)" = old ] ||
    fail "kill -9 -f changed the old output"
done

# A path longer than MAX_PATH: 300 characters of folders. (Wine has no MAX_PATH limit; on
# Windows the program passes such a path in the \\?\ form.)
long="$work/$(printf 'a%.0s' $(seq 60))/$(printf 'b%.0s' $(seq 60))/$(printf 'c%.0s' $(seq 60))"
long="$long/$(printf 'd%.0s' $(seq 60))"
mkdir -p "$long" && calls > "$long/calls.csv"
"$wine" "$program" "$(windows_path "$long/calls.csv")" > /dev/null 2> err.txt ||
  fail "a long path: $(cat err.txt)"
expect_exists "$long/calls.converted.csv"

[ "$failures" -eq 0 ] && echo "halvrenn-cdr.exe in a console: all passed"
exit $((failures > 0))
