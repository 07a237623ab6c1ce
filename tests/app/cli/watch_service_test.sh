#!/usr/bin/env bash
# halvrenn-cdr.exe --service under Wine's Service Control Manager, as the README tells an
# administrator: sc create, net start, twenty files uploaded by two nodes (some renamed into
# place), net stop. Every file gets its output, byte-identical to a one-shot conversion, and is
# moved into the done folder; the default log, %ProgramData%\Halvrenn\watch.log, has one line per
# output and the stop, which takes at most two seconds, every line ended by CR LF; the service
# ends stopped with exit code 0. A stop during a long conversion: when net stop returns, the
# temporary file is gone. Services that are refused (a table) stop at once, with the reason in the
# log and the exit status as the service's code.
# Then the same program in a console scanning with --poll, stopped by Ctrl+C (SIGINT) with 0.
# Usage: watch_service_test.sh PROGRAM FEEDER; the environment names WINE, WINESERVER and a
# WINEPREFIX of the test's own, made afresh.
set -u
export LC_ALL=C

program=$1
feeder=$2
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# Wine's processes never hold the pipe that keeps the prefix up (fd 7, below) open themselves.
win() { "$WINE" "$@" 2>/dev/null 7>&- | tr -d '\r'; }
windows_path() { echo "Z:${1//\//\\}"; }

work=$(mktemp -d)
keeper=
console=
cleanup() {
  [ -n "$console" ] && kill -KILL "$console" 2>/dev/null
  exec 7>&- 2>/dev/null
  [ -n "$keeper" ] && wait "$keeper" 2>/dev/null
  "$WINESERVER" -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/in" "$work/out" "$work/done" "$work/reference"

rm -rf "$WINEPREFIX"
win cmd /c exit
"$WINESERVER" -w
# Wine ends a prefix's services once its last other process has ended, which Windows does not:
# a console waits on a pipe for as long as the test runs.
mkfifo "$work/keep"
"$WINE" cmd /c "set /p line=" <"$work/keep" >/dev/null 2>&1 &
keeper=$!
exec 7>"$work/keep"

# Installed where the MSI puts it, and created with the README's command line: a quoted path
# with a blank in it.
installed="$WINEPREFIX/drive_c/Program Files/Halvrenn"
mkdir -p "$installed"
cp "$program" "$installed/halvrenn-cdr.exe"
command='"C:\Program Files\Halvrenn\halvrenn-cdr.exe" --service'
command+=" --watch $(windows_path "$work/in") --output $(windows_path "$work/out")"
command+=" --done $(windows_path "$work/done")"
"$WINE" sc create HalvrennWatch binPath= "$command" start= auto \
  DisplayName= "Halvrenn call-record watcher" >/dev/null 2>&1 7>&- || fail "sc create"
win net start HalvrennWatch | grep -q 'started successfully' || fail "net start"
win sc query HalvrennWatch | grep -q 'STATE.*RUNNING' || fail "not running after net start"

python3 "$feeder" "$work/in" "$work/manifest" --nodes 2 --every 0.5 --seconds 5 7>&- ||
  fail "the feeder failed"
uploads=$(cut -d' ' -f1 "$work/manifest" | sort)
[ "$(wc -l <<<"$uploads")" -eq 20 ] || fail "$(wc -l <<<"$uploads") uploads, expected 20"
for _ in $(seq 200); do
  [ -z "$(ls -A "$work/in")" ] && [ "$(ls "$work/done" | wc -l)" -eq 20 ] && break
  sleep 0.1
done

log=$WINEPREFIX/drive_c/ProgramData/Halvrenn/watch.log
win net stop HalvrennWatch | grep -q 'stopped successfully' || fail "net stop"
state=$(win sc query HalvrennWatch)
grep -q 'STATE.*STOPPED' <<<"$state" && grep -q 'WIN32_EXIT_CODE *: 0 ' <<<"$state" ||
  fail "after net stop: $state"
# From the stop control to the end of the watch, as the service itself logs it.
[ "$(grep -c $'\r$' "$log")" -eq "$(wc -l <"$log")" ] || fail "log lines not ended by CR LF"
stop_ms=$(tr -d '\r' <"$log" | sed -n 's/.* stopped, \([0-9]*\) ms after the request$/\1/p' | tail -1)
[ -n "$stop_ms" ] && [ "$stop_ms" -le 2000 ] || fail "stopped ${stop_ms:-?} ms after net stop, over 2 s"
"$WINE" sc delete HalvrennWatch >/dev/null 2>&1 7>&- || fail "sc delete"

[ -z "$(ls -A "$work/in")" ] || fail "left in the folder: $(ls -A "$work/in")"
[ "$(ls "$work/done" | sort)" = "$uploads" ] || fail "the done folder differs from the uploads"
[ "$(ls -A "$work/out" | sort)" = "$(sed 's/$/.converted.csv/' <<<"$uploads")" ] ||
  fail "the outputs differ from the uploads: $(ls -A "$work/out" | head -3)"
inputs=()
for name in $uploads; do inputs+=("$(windows_path "$work/done/$name")"); done
win "$program" -q -o "$(windows_path "$work/reference")" "${inputs[@]}"
for name in $uploads; do
  cmp -s "$work/out/$name.converted.csv" "$work/reference/$name.converted.csv" ||
    fail "$name: the output differs from a one-shot conversion"
done
lines=$(grep -c ' -> .*: [0-9]* records, ' "$log")
[ "$lines" -eq 20 ] || fail "$lines conversion lines in the log, expected 20: $(cat "$log")"

# A stop while a large file is converted: net stop returns once its temporary file is gone.
mkdir "$work/big_out"
python3 -c 'import sys; sys.stdout.write("cdrRecordType,dateTimeOrigination\n" + "1,1796619600\n" * 12000000)' >"$work/big"
# Waits up to ten seconds for a service to be stopped; its state in $state.
# Stopped after it ran: exit code 1077 is a service that has not been started yet, which is what
# a query sees when Wine's manager is slow to start it after net start returned.
stopped() {
  for _ in $(seq 200); do
    state=$(win sc query "$1")
    grep -q 'STATE.*STOPPED' <<<"$state" && ! grep -q 'WIN32_EXIT_CODE *: 1077 ' <<<"$state" &&
      return 0
    sleep 0.05
  done
  return 1
}
service_in_folder() {
  "$WINE" sc create "$1" binPath= "\"C:\Program Files\Halvrenn\halvrenn-cdr.exe\" --service $2" \
    >/dev/null 2>&1 7>&- || fail "sc create $1"
}
service_in_folder HalvrennLong "--watch $(windows_path "$work/in") --output $(windows_path "$work/big_out")"
win net start HalvrennLong | grep -q 'started successfully' || fail "net start for the long conversion"
mv "$work/big" "$work/in/big"
for _ in $(seq 300); do
  ls -A "$work/big_out" | grep -q '\.tmp$' && break
  sleep 0.02
done
ls -A "$work/big_out" | grep -q '\.tmp$' || fail "no temporary file seen during the long conversion"
win net stop HalvrennLong | grep -q 'stopped successfully' || fail "net stop during the long conversion"
# Windows' net stop waits while the service reports its stop pending; Wine's returns at once, so
# the test waits as Windows does.
stopped HalvrennLong || fail "the long conversion's service did not stop: $state"
left=$(ls -A "$work/big_out")
[ -z "$left" ] || fail "when the service said it had stopped, the output folder held: $left"
"$WINE" sc delete HalvrennLong >/dev/null 2>&1 7>&-
rm -f "$work/in/big"

# Refused services: net start fails at once (no waiting for the manager's time-out), the reason is
# in the log, and the service is stopped with the exit status as its code. A console watcher
# converting into other_out makes a service into the same folder the second watcher.
mkdir "$work/other_out"
"$WINE" "$program" --watch "$(windows_path "$work/in")" --output "$(windows_path "$work/other_out")" \
  --poll 0.2 2>"$work/other.log" 7>&- &
console=$!
for _ in $(seq 100); do
  grep -q watching "$work/other.log" && break
  sleep 0.1
done
folders="--watch $(windows_path "$work/in") --output $(windows_path "$work/out")"
while IFS='|' read -r name arguments status reason; do
  service_in_folder "Refused$name" "$arguments"
  started=$(date +%s%N)
  win net start "Refused$name" >/dev/null
  # Wine's net start does not wait for the start to end, as Windows' does: the test waits.
  stopped "Refused$name" || fail "$name: not stopped: $state"
  took_ms=$((($(date +%s%N) - started) / 1000000))
  [ "$took_ms" -lt 5000 ] || fail "$name: the start took $took_ms ms to fail"
  tr -d '\r' <"$log" | grep -qF -- "$reason" || fail "$name: no '$reason' in the log"
  grep -q 'WIN32_EXIT_CODE *: 1066 ' <<<"$state" &&
    grep -q "SERVICE_EXIT_CODE *: $status " <<<"$state" || fail "$name: $state"
  "$WINE" sc delete "Refused$name" >/dev/null 2>&1 7>&-
done <<EOF_TABLE
MissingFolder|--watch $(windows_path "$work/nope") --output $(windows_path "$work/out")|2|no folder $(windows_path "$work/nope")
RelativeFolder|--watch drivers --output $(windows_path "$work/out")|2|--service takes absolute paths, not drivers
SecondWatcher|--watch $(windows_path "$work/in") --output $(windows_path "$work/other_out")|1|another watcher converts into this folder; not started
BadOption|$folders --frobnicate|2|unknown option --frobnicate
BadPoll|$folders --poll 0|2|--poll takes seconds from 0.1 to 3600
EOF_TABLE
kill -INT "$console"
wait "$console"
console=

# In a console, scanning: a file converted, then Ctrl+C ends it with status 0.
mkdir "$work/console"
"$WINE" "$program" --watch "$(windows_path "$work/in")" --output "$(windows_path "$work/console")" \
  --poll 0.2 2>"$work/console.log" 7>&- &
console=$!
cp "$work/done/$(head -1 <<<"$uploads")" "$work/in/"
for _ in $(seq 100); do
  [ -n "$(ls "$work/console")" ] && break
  sleep 0.1
done
kill -INT "$console"
wait "$console"
status=$?
console=
[ "$status" -eq 0 ] || fail "console: exit status $status after Ctrl+C, expected 0"
[ -f "$work/console/$(head -1 <<<"$uploads").converted.csv" ] ||
  fail "console: no output: $(cat "$work/console.log")"

echo "service: 20 files converted, stopped ${stop_ms} ms after net stop; console: stopped by Ctrl+C"
[ "$failures" -eq 0 ]
