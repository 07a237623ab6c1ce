#!/usr/bin/env bash
# halvrenn-cdr --watch as an administrator runs it, on real folders: what is converted at the
# start and what is left alone, files taken only once their writers are done, changes converted
# again, a file that fails reported once, --done on the same and on another file system, two
# inputs with one output name, a full disk, stopping, and wrong usage. The scenarios run once per
# way of watching: inotify's events, and scanning with --poll.
# Usage: watch_test.sh PROGRAM
set -u
export LC_ALL=C

program=$1
failures=0
checks=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
check() {  # <what> <command...>
  checks=$((checks + 1))
  "${@:2}" || fail "$1"
}

work=$(mktemp -d)
watcher=
cleanup() {
  [ -n "$watcher" ] && kill -KILL "$watcher" 2>/dev/null
  cd /
  umount "$work/small" 2>/dev/null
  rm -rf "$work" "${shm:-}"
}
trap cleanup EXIT
cd "$work" || exit 1

calls() {  # <first call number> <count>: a call manager's file with a type row
  printf 'cdrRecordType,globalCallID_callId,dateTimeOrigination,dateTimeConnect\r\n'
  printf 'INTEGER,INTEGER,INTEGER,INTEGER\r\n'
  seq "$1" $(($1 + $2 - 1)) | awk '{ printf "1,%d,%d,%d\r\n", $1, 1796619600 + $1, $1 % 7 ? 1796619610 + $1 : 0 }'
}

# The watcher of in/ into out/ with the mode's options and these; its log is log.
mode_options=()
runner=()  # runs the watcher as another user, to whom the kernel tells nothing of others' writers
convert_options=()  # of the watcher and the one-shot conversion it is compared with
start() {  # [options...]
  : >log
  "${runner[@]}" "$program" --watch in --output out --log log "${mode_options[@]}" \
    "${convert_options[@]}" "$@" 2>>log &
  watcher=$!
  until grep -q ' watching ' log 2>/dev/null; do
    kill -0 "$watcher" 2>/dev/null || { fail "the watcher ended at its start: $(cat log)"; return 1; }
    sleep 0.05
  done
}
stop() {  # ends it as systemd does: SIGTERM, then exit status 0 within 2 s
  local started=$EPOCHREALTIME
  kill -TERM "$watcher"
  wait "$watcher"
  local status=$? took
  watcher=
  took=$(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%d", (b - a) * 1000 }')
  check "exit status $status after SIGTERM, expected 0" [ "$status" -eq 0 ]
  check "$took ms from SIGTERM to the end" [ "$took" -le 2000 ]
}
fresh() {  # empty in/, out/ and done/, and a log, that the watcher's user may write
  rm -rf in out done log
  mkdir in out done
  chmod 777 in out done
  touch log && chmod 666 log
}
# Waits up to 10 s for a condition, a shell command evaluated afresh at each try.
wait_for() {
  local tries=0
  until eval "$1"; do
    tries=$((tries + 1))
    [ "$tries" -lt 200 ] || return 1
    sleep 0.05
  done
}
lines_for() { grep -c " -> out/$1: [0-9]* records" log; }
# The output of in/NAME (or done/NAME) is there, byte-identical to a one-shot conversion.
expect_converted() {  # <name> [folder of the input]
  local input=${2:-in}/$1 output
  rm -rf reference && mkdir reference
  "$program" -q -o reference "${convert_options[@]}" "$input"
  output=$(ls reference)
  checks=$((checks + 1))
  if [ ! -f "out/$output" ]; then
    fail "$mode: no output for $input"
  elif ! cmp -s "out/$output" "reference/$output"; then
    fail "$mode: out/$output differs from a one-shot conversion"
  fi
}
expect_lines() {  # <output name> <count>
  local got
  got=$(lines_for "$1")
  check "$mode: $got log lines for $1, expected $2" [ "$got" -eq "$2" ]
}
no_temporary_files() {
  local left
  left=$(find . -name '.halvrenn-*.tmp' | head -1)
  check "$mode: temporary file $left left" [ -z "$left" ]
}

# What is there at the start: converted unless its output is up to date; hidden files, outputs,
# uploads in progress, Explorer's files, sub-folders and links out of the folder left alone;
# temporary files of an earlier watcher removed.
scenario_start() {
  fresh
  calls 1 5 >in/new.csv
  calls 10 5 >in/done.csv
  calls 20 5 >in/stale
  calls 30 5 >in/.hidden.csv
  calls 40 5 >in/upload.csv.filepart
  calls 45 5 >in/Thumbs.db
  calls 50 5 >in/old.converted.csv
  mkdir in/node2 && calls 60 5 >in/node2/sub.csv
  calls 70 5 >outside.csv && ln -s ../outside.csv in/leads-out.csv
  ln -s new.csv in/inside.csv
  "$program" -q -o out in/done.csv in/stale
  touch -d '1 hour ago' out/stale.converted.csv
  cp -p out/done.converted.csv done-before.csv
  echo partial >out/.halvrenn-0123abcd.tmp
  start
  wait_for '[ -f out/inside.converted.csv ]' && wait_for 'grep -q stale.converted.csv log'
  sleep "$settle"
  stop
  expect_converted new.csv
  expect_converted inside.csv
  expect_converted stale
  expect_lines stale.converted.csv 1
  expect_lines done.converted.csv 0
  check "$mode: an up-to-date output rewritten" cmp -s out/done.converted.csv done-before.csv
  check "$mode: outputs of what is left alone: $(ls out)" \
    [ "$(ls out | tr '\n' ' ')" = "done.converted.csv inside.converted.csv new.converted.csv stale.converted.csv " ]
  check "$mode: no line for the link out" grep -q 'leads-out.csv: not converted: a link' log
  no_temporary_files
}

# Files arriving: written slowly in place (taken only after the writer is done), and renamed
# into place from a hidden and a .filepart name; a change converts again.
scenario_arrivals() {
  fresh
  start
  exec 3>in/slow.csv
  calls 1 2000 | head -c 20000 >&3
  sleep "$settle"
  check "$mode: an output while the writer still writes" [ ! -e out/slow.converted.csv ]
  calls 1 2000 | tail -c +20001 >&3
  exec 3>&-
  calls 100 50 >in/.renamed.csv.part && mv in/.renamed.csv.part in/renamed.csv
  calls 200 50 >in/winscp.csv.filepart && mv in/winscp.csv.filepart in/winscp.csv
  # A name with a line break, logged escaped on its one line.
  calls 400 3 >in/$'forged\n2026-12-09T00:00:00.000Z x.csv'
  wait_for '[ -f out/slow.converted.csv ]' && wait_for '[ -f out/renamed.converted.csv ]' &&
    wait_for '[ -f out/winscp.converted.csv ]' &&
    wait_for '[ -f out/$'"'"'forged\n2026-12-09T00:00:00.000Z x.converted.csv'"'"' ]'
  check "$mode: a name with a line break forged a log line" \
    [ "$(grep -c '^2026-12-09T00:00:00.000Z x' log)" -eq 0 ]
  check "$mode: a name with a line break is logged escaped" \
    grep -qF 'in/forged\n2026-12-09T00:00:00.000Z x.csv -> ' log
  sleep "$settle"
  calls 300 9 >in/renamed.csv
  wait_for '[ "$(lines_for renamed.converted.csv)" -eq 2 ]'
  sleep "$settle"
  stop
  for name in slow.csv renamed.csv winscp.csv; do expect_converted "$name"; done
  expect_lines slow.converted.csv 1
  expect_lines winscp.converted.csv 1
  expect_lines renamed.converted.csv 2
  check "$mode: the output of an upload in progress" [ ! -e out/winscp.csv.filepart.converted.csv ]
}

# A file created and not yet opened by its writer (made by mknod, as open(O_CREAT) leaves it for
# an instant: no one writes it yet) is not an upload done; it is converted once, after its close.
scenario_held() {
  fresh
  start
  python3 -c 'import os, sys; os.mknod(sys.argv[1], 0o644)' in/held.csv
  sleep 1.5
  check "$mode: an output of a file created and not yet written" [ ! -e out/held.converted.csv ]
  calls 1 5 >>in/held.csv
  wait_for '[ -f out/held.converted.csv ]'
  sleep "$settle"
  stop
  expect_converted held.csv
  expect_lines held.converted.csv 1
}

# FIFOs and sockets are left alone and said once each (again once one is back after it went),
# without opening them: a FIFO's open waits for its other end.
scenario_not_regular() {
  fresh
  mkfifo in/at-start.csv
  start
  mkfifo in/arrived.csv
  python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' in/socket.csv
  calls 1 5 >in/after.csv
  wait_for '[ -f out/after.converted.csv ]' &&
    wait_for '[ "$(grep -c ": not a regular file: left alone" log)" -eq 3 ]'
  rm in/arrived.csv
  sleep "$settle"
  mkfifo in/arrived.csv
  wait_for '[ "$(grep -c "^[^ ]* in/arrived.csv: not a regular file: left alone$" log)" -eq 2 ]'
  sleep "$settle"
  stop
  local name count
  for name in at-start.csv:1 socket.csv:1 arrived.csv:2; do
    count=$(grep -c "^[^ ]* in/${name%:*}: not a regular file: left alone$" log)
    check "$mode: in/${name%:*} said $count times, expected ${name#*:}" [ "$count" -eq "${name#*:}" ]
  done
  check "$mode: outputs of what is not a file: $(ls out)" [ "$(ls out)" = after.converted.csv ]
}

# A file that cannot be converted (no column named by --column) is reported once, and converted
# once it changes; the other files go on.
scenario_failure() {
  fresh
  convert_options=(--column dateTimeConnect)
  start
  printf 'id,other\n1,2\n' >in/wrong.csv
  calls 1 5 >in/right.csv
  wait_for '[ -f out/right.converted.csv ]' && wait_for "grep -q 'wrong.csv: no column' log"
  sleep "$settle"
  touch in/right.csv  # a change without new bytes is still a change
  calls 1 5 >in/wrong.csv
  wait_for '[ -f out/wrong.converted.csv ]'
  sleep "$settle"
  stop
  check "$mode: the failure reported $(grep -c 'wrong.csv: no column' log) times" \
    [ "$(grep -c 'wrong.csv: no column' log)" -eq 1 ]
  expect_converted wrong.csv
  expect_lines right.converted.csv 2
  convert_options=()
}

# --done moves each input once its output is in place: a rename, or a copy to another file
# system; a name taken in done/ by other bytes keeps both, and the watcher's own copy of an input
# (left by a stop between copying and removing) is not kept twice.
scenario_done() {
  local done_folder=$1
  fresh
  calls 1 5 >"$done_folder/clash.csv"
  calls 7 5 >in/copied.csv && cp in/copied.csv "$done_folder/copied.csv"
  "$program" -q -o out in/copied.csv
  start --done "$done_folder"
  calls 1 5 >in/first.csv
  calls 2 5 >in/clash.csv
  wait_for '[ -f "$done_folder/first.csv" ]' && wait_for '[ -f "$done_folder/clash.csv.1" ]'
  sleep "$settle"
  stop
  check "$mode: left in the folder: $(ls in)" [ -z "$(ls -A in)" ]
  expect_converted first.csv "$done_folder"
  check "$mode: a clash in done/" cmp -s <(calls 2 5) "$done_folder/clash.csv.1"
  check "$mode: a copy kept twice" [ ! -e "$done_folder/copied.csv.1" ]
  check "$mode: a file already in done/ changed" cmp -s <(calls 1 5) "$done_folder/clash.csv"
  rm -rf "${done_folder:?}"/*
}

# calls and calls.csv both give calls.converted.csv: neither is converted.
scenario_same_output() {
  fresh
  calls 1 5 >in/calls
  calls 2 5 >in/calls.csv
  start
  wait_for '[ "$(grep -c "has the same output name" log)" -eq 2 ]'
  sleep "$settle"
  stop
  check "$mode: an output for one of two inputs of one output name" [ ! -e out/calls.converted.csv ]
}

# A full disk (a 256 KiB tmpfs): reported once while every file waits, then written once there
# is room again, with nothing partial at any time. Root, or a user namespace, mounts it.
scenario_full_disk() {
  fresh
  rm -rf out && mkdir -p small && ln -s small out
  mount -t tmpfs -o size=256k tmpfs small || return 77
  head -c 200000 /dev/zero >small/filler
  start
  calls 1 1500 >in/large.csv
  wait_for "grep -q 'every file waits' log"
  calls 1 5 >in/small.csv
  sleep 1.5
  check "$mode: a partial output on the full disk" [ ! -e small/large.converted.csv ]
  no_temporary_files
  rm small/filler
  wait_for '[ -f small/large.converted.csv ]' && wait_for '[ -f small/small.converted.csv ]'
  stop
  check "$mode: the full disk reported $(grep -c 'every file waits' log) times" \
    [ "$(grep -c 'every file waits' log)" -eq 1 ]
  check "$mode: no line when writing works again" grep -q 'writing again' log
  expect_converted large.csv
  umount small
}

# Stopped in the middle of a large file: no output, no temporary file, status 0 within 2 s.
scenario_stop() {
  fresh
  start --jobs 1
  { printf 'id,dateTimeConnect\n'; yes '1,1796619600' | head -c 300000000; } >in/.large.csv
  mv in/.large.csv in/large.csv
  # Its output is being written: a temporary file, or an unnamed one that only /proc shows.
  wait_for '[ -n "$(find out -name ".halvrenn-*.tmp")$(find /proc/[0-9]*/fd -lname "$(pwd -P)/out/*" 2>/dev/null)" ]'
  stop
  check "$mode: an output of a stopped conversion" [ ! -e out/large.converted.csv ]
  no_temporary_files
}

# The zone's rules change under a running watcher (a tzdata upgrade, here of a tz database of the
# test's own): the next file is converted with the new rules, as a fresh run would convert it.
scenario_zone_change() {
  fresh
  mkdir -p zoneinfo/America
  cp /usr/share/zoneinfo/America/New_York zoneinfo/America/Watched
  TZDIR=$work/zoneinfo start --zone America/Watched
  calls 1 5 >in/before.csv
  wait_for '[ -f out/before.converted.csv ]'
  cp /usr/share/zoneinfo/Europe/Paris zoneinfo/America/.new && mv zoneinfo/America/.new zoneinfo/America/Watched
  calls 1 5 >in/after.csv
  wait_for '[ -f out/after.converted.csv ]'
  stop
  rm -rf reference && mkdir reference
  "$program" -q -o reference --zone America/New_York in/before.csv
  "$program" -q -o reference --zone Europe/Paris in/after.csv
  check "$mode: converted before the zone changed" cmp -s out/before.converted.csv reference/before.converted.csv
  check "$mode: converted after the zone changed" cmp -s out/after.converted.csv reference/after.converted.csv
  check "$mode: no line for the new rules" grep -q "zone's rules changed: read again" log
}

# The mode's scenarios: <name> <options...>; settle is how long a file takes to count complete.
timed() {
  local started=$EPOCHREALTIME
  "$@"
  echo "$mode: $1 $(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }') s"
}
for mode in events poll; do
  case $mode in
    events) mode_options=() settle=0.3 ;;
    poll) mode_options=(--poll 0.2) settle=0.6 ;;
  esac
  timed scenario_start
  timed scenario_arrivals
  timed scenario_failure
  timed scenario_done done
  timed scenario_same_output
  timed scenario_not_regular
done
mode=events mode_options=() settle=0.3
timed scenario_held
# Without leases (the uploads another user's, the watcher without CAP_LEASE) files are taken on a
# writer's close alone, never while one writes.
if [ "$(id -u)" -eq 0 ] && command -v setpriv >/dev/null; then
  chmod 755 "$work"
  mode=events-without-leases mode_options=() settle=2.5
  runner=(setpriv --reuid=65534 --regid=65534 --clear-groups)
  timed scenario_arrivals
  runner=()
fi
# Another file system for done/: /dev/shm where it is one.
mode=events mode_options=() settle=0.3
shm=$(mktemp -d -p /dev/shm 2>/dev/null)
if [ -n "$shm" ] && [ "$(stat -c %d "$shm")" != "$(stat -c %d .)" ]; then
  timed scenario_done "$shm"
else
  echo "SKIP: no second file system for done/" >&2
fi
scenario_stop
timed scenario_zone_change
if [ "$(id -u)" -eq 0 ]; then
  timed scenario_full_disk
elif [ "${HALVRENN_IN_NAMESPACE:-}" != 1 ] && unshare -rm true 2>/dev/null; then
  HALVRENN_IN_NAMESPACE=1 unshare -rm bash -c "$(declare -f); cd '$work'; program='$program'
    mode=events mode_options=() settle=0.3 failures=0 checks=0; scenario_full_disk; exit \$failures" ||
    fail "the full disk"
else
  echo "SKIP: no tmpfs can be mounted here for the full disk" >&2
fi

# Wrong usage (2), and a second watcher of one output folder (1).
fresh
while read -r status arguments; do
  eval "set -- $arguments"
  "$program" "$@" 2>/dev/null
  got=$?
  check "'$arguments': exit status $got, expected $status" [ "$got" -eq "$status" ]
done <<'USAGE'
2 --watch in --output missing
2 --watch in --output in
2 --watch in --output ./in/
2 --watch in --output out --done in
2 --watch in
2 --done out
2 --watch in --output out --poll 0
2 --watch in --output out in/file.csv
2 --watch in --output out --force
2 --watch in --output out --service
USAGE
mode=events mode_options=()
start
"$program" --watch in --output out 2>/dev/null
got=$?
check "a second watcher of one output folder: exit status $got, expected 1" [ "$got" -eq 1 ]
stop

echo "$checks checks, $failures failed"
[ "$failures" -eq 0 ]
