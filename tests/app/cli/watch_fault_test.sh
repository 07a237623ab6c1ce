#!/usr/bin/env bash
# halvrenn-cdr --watch killed at random moments while call-manager nodes upload: 8 nodes each
# upload a CDR file every 100 ms (watch_feeder.py: pieces of 32 KiB with pauses, some written
# under another name and renamed into place) while the watcher is killed with SIGKILL ten times
# and started again. At the end every upload has exactly one output, byte-identical to a
# one-shot conversion, no temporary file is left anywhere, and the log has one line per output.
#
# The log line of an output is written after its rename, so a kill between the two leaves an
# output without a line, and nothing converts it again (its output is in place). To tell exactly
# which outputs those are, each kill stops the watcher first (SIGSTOP, which freezes it as
# SIGKILL would at that instant), notes the outputs that are in place but not yet in the log, and
# then kills it: those must have no line, every other output exactly one.
#
# An observer of the output folder (inotify) notes when each output is put in place: none may
# appear before its upload's last step (the close, or the rename into place), and none twice, as
# a conversion of a file just created and not yet written would.
#
# Usage: watch_fault_test.sh PROGRAM MODE:SECONDS... where MODE is "events" (inotify, inputs
# moved with --done) or "poll" (--poll 0.25, inputs left in place, so that restarts must tell
# converted files from new ones by their outputs alone) and SECONDS how long the nodes upload.
set -u
export LC_ALL=C

program=$1
shift
feeder=$(dirname "$0")/watch_feeder.py
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

work=$(mktemp -d)
watcher=
observer=
cleanup() {
  [ -n "$watcher" ] && kill -KILL "$watcher" 2>/dev/null
  [ -n "$observer" ] && kill -KILL "$observer" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# "name time" for each output put in place (renamed or linked into the folder), one a line, until
# it is killed: an inotify watch through ctypes over the C library.
observe_outputs() {  # <folder> <file>
  exec python3 - "$@" <<'PYTHON'
import ctypes, os, struct, sys, time
IN_MOVED_TO, IN_CREATE = 0x80, 0x100
libc = ctypes.CDLL(None, use_errno=True)
descriptor = libc.inotify_init()
if descriptor < 0 or libc.inotify_add_watch(descriptor, sys.argv[1].encode(),
                                            IN_MOVED_TO | IN_CREATE) < 0:
    sys.exit(f"inotify: {os.strerror(ctypes.get_errno())}")
with open(sys.argv[2], "w", buffering=1) as appeared:
    appeared.write("ready\n")
    while True:
        data = os.read(descriptor, 65536)
        now = time.time()
        offset = 0
        while offset < len(data):
            length = struct.unpack_from("iIII", data, offset)[3]
            name = data[offset + 16:offset + 16 + length].rstrip(b"\0").decode()
            offset += 16 + length
            if not name.startswith("."):
                appeared.write(f"{name} {now:.6f}\n")
PYTHON
}

# The outputs named by the log's conversion lines ("IN -> OUT: N records, ..."), one a line.
logged_outputs() { sed -n 's/^[^ ]* .* -> \(.*\): [0-9]* records, .*/\1/p' "$1"; }

run_mode() {  # <mode> <seconds>
  local mode=$1 seconds=$2 folder=$work/$1
  local in=$folder/in out=$folder/out done=$folder/done log=$folder/watch.log
  mkdir -p "$in" "$out" "$done" "$folder/reference"
  local options=(--watch "$in" --output "$out" --log "$log")
  case $mode in
    events) options+=(--done "$done") ;;
    poll) options+=(--poll 0.25) ;;
  esac
  : >"$folder/excused"
  : >"$log"
  observe_outputs "$out" "$folder/appeared" &
  observer=$!
  until grep -q '^ready$' "$folder/appeared" 2>/dev/null; do
    kill -0 "$observer" 2>/dev/null || { fail "$mode: the observer of $out ended"; return; }
    sleep 0.02
  done
  local starts=0
  start() {  # and wait until it has started, so that every kill meets a running watcher
    "$program" "${options[@]}" &
    watcher=$!
    starts=$((starts + 1))
    until [ "$(grep -c ' watching ' "$log")" -ge "$starts" ]; do
      kill -0 "$watcher" 2>/dev/null || { fail "$mode: the watcher ended at its start"; return; }
      sleep 0.02
    done
  }
  start
  python3 "$feeder" "$in" "$folder/manifest" --nodes 8 --every 0.1 --seconds "$seconds" &
  local feeding=$!

  # Ten kills at random moments, one in each tenth of the upload time.
  local kill slot_ms=$((seconds * 100))
  for kill in $(seq 10); do
    sleep "$(awk -v ms=$((RANDOM % slot_ms + 1)) 'BEGIN { print ms / 1000 }')"
    kill -STOP "$watcher"
    comm -23 <(ls "$out" | grep -v '^\.' | sed "s|^|$out/|" | sort) \
      <(logged_outputs "$log" | sort -u) >>"$folder/excused"
    kill -KILL "$watcher"
    wait "$watcher" 2>/dev/null
    sleep "0.$((RANDOM % 3))"
    start
  done
  wait "$feeding" || fail "$mode: the feeder failed"
  local fed=$EPOCHREALTIME

  # Caught up: an output for every upload (and, with --done, nothing left in the folder).
  local uploads expected_outputs waited=0
  uploads=$(cut -d' ' -f1 "$folder/manifest" | sort)
  expected_outputs=$(sed "s|^|$out/|; s|$|.converted.csv|" <<<"$uploads")
  until [ "$(ls "$out" | sed "s|^|$out/|" | sort)" = "$expected_outputs" ] &&
    { [ "$mode" != events ] || [ -z "$(ls -A "$in")" ]; }; do
    sleep 0.2
    waited=$((waited + 1))
    [ "$waited" -lt 300 ] || break
  done

  local caught_up=$EPOCHREALTIME started=$EPOCHREALTIME status
  kill -TERM "$watcher"
  wait "$watcher"
  status=$?
  watcher=
  local stop_ms
  stop_ms=$(awk -v a="$started" -v b="$EPOCHREALTIME" 'BEGIN { printf "%d", (b - a) * 1000 }')
  [ "$status" -eq 0 ] || fail "$mode: exit status $status after SIGTERM, expected 0"
  [ "$stop_ms" -le 2000 ] || fail "$mode: $stop_ms ms from SIGTERM to the end, over 2 s"
  kill -KILL "$observer"
  wait "$observer" 2>/dev/null
  observer=

  # Each output put in place once, after its upload's last step.
  local early
  early=$(awk -v out="$out/" '
    FNR == NR { last_step[out $1 ".converted.csv"] = $4; next }
    NF == 2 && (out $1) in last_step {
      name = out $1
      if (++seen[name] == 2) print name ": put in place twice"
      if (seen[name] == 1 && $2 < last_step[name])
        printf "%s: in place %.3f s before its upload ended\n", name, last_step[name] - $2
    }' "$folder/manifest" "$folder/appeared")
  [ -z "$early" ] || fail "$mode: $(wc -l <<<"$early") outputs too early or twice: $(head -3 <<<"$early")"

  # Every upload has exactly one output and no other output exists.
  local outputs
  outputs=$(ls -A "$out" | sed "s|^|$out/|" | sort)
  [ "$outputs" = "$expected_outputs" ] ||
    fail "$mode: outputs differ from uploads: $(diff <(echo "$expected_outputs") <(echo "$outputs") | head -5)"
  local temporary
  temporary=$(find "$folder" -name '.halvrenn-*.tmp' | head -3)
  [ -z "$temporary" ] || fail "$mode: temporary files left: $temporary"

  # The inputs are whole where they should be: moved into done/ (events), or left in place (poll).
  local inputs=$in
  if [ "$mode" = events ]; then
    inputs=$done
    [ -z "$(ls -A "$in")" ] || fail "$mode: left in the folder: $(ls -A "$in" | head -3)"
  fi
  [ "$(ls -A "$inputs" | sort)" = "$uploads" ] || fail "$mode: the inputs in $inputs differ from the uploads"
  (cd "$inputs" && sha256sum -- *) | awk '{ print $2, $1 }' | sort >"$folder/inputs.sha"
  awk '{ print $1, $3 }' "$folder/manifest" | sort | cmp -s - "$folder/inputs.sha" ||
    fail "$mode: an input's bytes differ from its upload"

  # Byte-identical to a one-shot conversion of the same inputs.
  "$program" -q -o "$folder/reference" -- "$inputs"/* || fail "$mode: the one-shot conversion failed"
  (cd "$out" && sha256sum -- *) >"$folder/outputs.sha"
  (cd "$folder/reference" && sha256sum -- *) >"$folder/reference.sha"
  cmp -s "$folder/outputs.sha" "$folder/reference.sha" ||
    fail "$mode: outputs differ from the one-shot conversion: $(diff "$folder/reference.sha" "$folder/outputs.sha" | head -3)"

  # One line per output; none for those renamed but not yet logged at a kill.
  local counts wrong
  counts=$(logged_outputs "$log" | sort | uniq -c | awk '{ print $2, $1 }')
  wrong=$(join -a1 -e0 -o 0,2.2 <(echo "$expected_outputs") <(echo "$counts") |
    awk -v excused="$folder/excused" '
      BEGIN { while ((getline line < excused) > 0) skip[line] = 1 }
      { want = ($1 in skip) ? 0 : 1; if ($2 != want) print $1 ": " $2 " lines, expected " want }')
  [ -z "$wrong" ] || fail "$mode: log lines per output: $(head -3 <<<"$wrong")"
  starts=$(grep -c ' watching ' "$log")
  [ "$starts" -eq 11 ] || fail "$mode: $starts starts logged, expected 11"
  echo "$mode: $(wc -l <<<"$uploads") uploads, 10 kills, $(sort -u "$folder/excused" | wc -l)" \
    "outputs renamed but not logged at a kill, caught up $(awk -v a="$fed" -v b="$caught_up" \
    'BEGIN { printf "%.1f", b - a }') s after the last upload, stopped in $stop_ms ms," \
    "checked in $(awk -v a="$caught_up" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }') s"
}

for run in "$@"; do run_mode "${run%:*}" "${run#*:}"; done
[ "$failures" -eq 0 ]
