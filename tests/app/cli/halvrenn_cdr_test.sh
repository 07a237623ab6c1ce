#!/usr/bin/env bash
# halvrenn-cdr as its users run it: real files in a fresh folder, exit statuses, --force, no
# output and no temporary file left after a failure, a full disk (a small tmpfs), an interrupt.
# Usage: halvrenn_cdr_test.sh PROGRAM [EMULATOR...]; the emulator (wine64) runs the Windows build.
# Expected dates are from the tz database's published rules (America/New_York, Europe/Paris).
set -u

program=$1
shift
emulator=("$@")
failures=0
tests=0

run() { "${emulator[@]}" "$program" "$@"; }
in_zone() {  # <TZ> <command...>
  local -x TZ=$1
  shift
  "$@"
}
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
# expect_status <status> <what> <command...>
expect_status() {
  local want=$1 what=$2
  shift 2
  tests=$((tests + 1))
  "$@"
  local got=$?
  [ "$got" -eq "$want" ] || fail "$what: exit status $got, expected $want"
}
expect_file() {  # <file> <file with the expected bytes> <what>
  tests=$((tests + 1))
  if [ ! -f "$1" ]; then
    fail "$3: $1 missing"
  elif ! cmp -s "$1" "$2"; then
    fail "$3: $1 differs"
    diff "$2" "$1" | head -5 >&2
  fi
}
expect_no_leftovers() {  # <folder> <what>
  tests=$((tests + 1))
  local left
  left=$(find "$1" -name '.*.tmp' | head -1)
  [ -z "$left" ] || fail "$2: temporary file $left left behind"
}
# A header and 20,000 records, written to a FIFO whose writer then stays open: the program waits
# for more, its temporary file in place.
records_of_a_slow_feed() {
  printf 'id,dateTimeConnect\n'
  seq 1 20000 | sed 's/$/,1700000000/'
}

started_in=$PWD
work=$(mktemp -d)
killed_in=()
trap 'cd /; umount "$work/full" 2>/dev/null; rm -rf "$work" "${killed_in[@]}"' EXIT
cd "$work" || exit 1

# Calls across New York's change to daylight saving, one never connected, one rejected value
# and one short record; a quoted field holds a line break.
printf 'cdrRecordType,globalCallID_callId,dateTimeOrigination,dateTimeConnect,"comment"\r\n' > calls.csv
printf 'INTEGER,INTEGER,INTEGER,INTEGER,VARCHAR(50)\r\n' >> calls.csv
printf '1,1,1796619600,1796619600,"winter, ""quoted""\r\nover two lines"\r\n' >> calls.csv
printf '1,2,1772953199,0,before the change\r\n' >> calls.csv
printf '1,3,1772953200,4294967295,after it\r\n' >> calls.csv
printf '1,4,12x,,rejected\r\n' >> calls.csv
printf '1,5\r\n' >> calls.csv
cp calls.csv original.csv

header='cdrRecordType,globalCallID_callId,dateTimeOrigination,dateTimeConnect,"comment",dateTimeOrigination_gmt,dateTimeOrigination_local,dateTimeConnect_gmt,dateTimeConnect_local'
printf '%s\r\n' "$header" \
  'INTEGER,INTEGER,INTEGER,INTEGER,VARCHAR(50),VARCHAR(19),VARCHAR(19),VARCHAR(19),VARCHAR(19)' \
  '1,1,1796619600,1796619600,"winter, ""quoted""' \
  'over two lines",2026-12-07 05:00:00,2026-12-07 00:00:00,2026-12-07 05:00:00,2026-12-07 00:00:00' \
  '1,2,1772953199,0,before the change,2026-03-08 06:59:59,2026-03-08 01:59:59,,' \
  '1,3,1772953200,4294967295,after it,2026-03-08 07:00:00,2026-03-08 03:00:00,2106-02-07 06:28:15,2106-02-07 01:28:15' \
  '1,4,12x,,rejected,,,,' \
  '1,5,,,,' > new_york.expected
printf '%s\r\n' "$header" \
  'INTEGER,INTEGER,INTEGER,INTEGER,VARCHAR(50),VARCHAR(19),VARCHAR(19),VARCHAR(19),VARCHAR(19)' \
  '1,1,1796619600,1796619600,"winter, ""quoted""' \
  'over two lines",2026-12-07 05:00:00,2026-12-07 06:00:00,2026-12-07 05:00:00,2026-12-07 06:00:00' \
  '1,2,1772953199,0,before the change,2026-03-08 06:59:59,2026-03-08 07:59:59,,' \
  '1,3,1772953200,4294967295,after it,2026-03-08 07:00:00,2026-03-08 08:00:00,2106-02-07 06:28:15,2106-02-07 07:28:15' \
  '1,4,12x,,rejected,,,,' \
  '1,5,,,,' > paris.expected
printf 'stale\n' > stale.expected
printf 'a,b\n1,2\n' > plain.expected

# The machine's zone, and a named one, both with daylight saving.
expect_status 0 "convert in the machine's zone" in_zone America/New_York run calls.csv
expect_file calls.converted.csv new_york.expected "machine zone New York"
expect_file calls.csv original.csv "the input is never changed"
expect_status 0 "convert for a named zone" run --force --zone Europe/Paris calls.csv
expect_file calls.converted.csv paris.expected "--zone Europe/Paris"
expect_status 0 "convert in another machine zone" in_zone Europe/Paris run --force calls.csv
expect_file calls.converted.csv paris.expected "machine zone Paris"
if [ ${#emulator[@]} -gt 0 ]; then  # Windows: the system's own zone names
  expect_status 0 "a Windows zone name" run --force --zone "Eastern Standard Time" calls.csv
  expect_file calls.converted.csv new_york.expected "--zone Eastern Standard Time"
fi

# Never overwritten without --force; the summary names the lines.
echo stale > calls.converted.csv
expect_status 1 "an existing output" run -q calls.csv
expect_file calls.converted.csv stale.expected "an existing output is kept"
expect_status 0 "--force" in_zone America/New_York run -f calls.csv 2> summary.txt
expect_file calls.converted.csv new_york.expected "--force replaces"
tests=$((tests + 1))
grep -q '5 records, 5 converted, 2 empty, 1 rejected (line 7), 1 malformed (line 8)' summary.txt ||
  fail "summary: $(cat summary.txt)"

# Names, --output, standard input and output, a missing file among good ones.
cp calls.csv cdr_Cluster1_01_202612070915_1
mkdir out
expect_status 1 "a missing file among others" in_zone America/New_York run -q missing.csv cdr_Cluster1_01_202612070915_1 -o out
expect_file out/cdr_Cluster1_01_202612070915_1.converted.csv new_york.expected "the other file is still converted"
expect_status 0 "standard input" in_zone America/New_York run -q - < calls.csv > piped.csv
expect_file piped.csv new_york.expected "standard output"
printf 'a,b\n1,2\n' > plain.csv
expect_status 0 "no time-stamp column" run plain.csv 2> warning.txt
expect_file plain.converted.csv plain.expected "copied unchanged"
tests=$((tests + 1))
grep -q warning warning.txt || fail "no warning for a file without time stamps"

# Files that are not CSV text fail with what they are and what to do, and nothing is written;
# a header that only starts like a compressed file's mark is text. Each row: name|bytes|message.
mkdir foreign
gzip -c calls.csv > foreign/calls.csv.gz
not_text=(
  "calls.csv.gz||calls.csv.gz: a gzip-compressed file: unpack it first (zcat calls.csv.gz | halvrenn-cdr)"
  "u16.txt|\377\376a\000,\000b\000\r\000\n\000|u16.txt: UTF-16 text: save it as CSV UTF-8"
  "calls.zip|PK\003\004\024\000\010\000|calls.zip: a zip archive: extract its files first (unzip calls.zip)"
  "zeros.csv|a\000b,dateTimeOrigination\n1,1\n|zeros.csv: not text (NUL bytes in the header): save it as CSV UTF-8"
)
for row in "${not_text[@]}"; do
  IFS='|' read -r name bytes message <<<"$row"
  [ -z "$bytes" ] || printf "$bytes" > "foreign/$name"
  expect_status 1 "$name" run -q "foreign/$name" 2> said.txt
  tests=$((tests + 1))
  grep -qF "${message//$name/foreign/$name}" said.txt || fail "$name: said $(cat said.txt)"
done
tests=$((tests + 1))
written=$(find foreign -name '*converted*' -o -name '.*.tmp')
[ -z "$written" ] || fail "files that are not text gave $written"
printf 'BZhours,dateTimeOrigination\n1,1796619600\n' > foreign/bzh.csv
expect_status 0 "a header that starts with BZh" run -q foreign/bzh.csv

# Two names of one column but for letter case give added columns whose names clash: a warning.
printf 'dateTimeOrigination,DATETIMEORIGINATION\n1796619600,0\n' > twice.csv
expect_status 0 "a name twice" run twice.csv 2> twice.txt
tests=$((tests + 1))
grep -q 'warning: the header names "dateTimeOrigination" twice' twice.txt ||
  fail "no warning of a name twice: $(cat twice.txt)"

# A name with a line break is said escaped, on one line: it cannot forge a line of its own.
# (Windows refuses such names.)
if [ ${#emulator[@]} -eq 0 ]; then
  forged=$'x\n2026-12-09T00:00:00.000Z forged.csv'
  cp calls.csv "$forged"
  expect_status 0 "a name with a line break" run "$forged" 2> forged.txt
  tests=$((tests + 1))
  [ "$(wc -l < forged.txt)" -eq 1 ] &&
    grep -qF 'x\n2026-12-09T00:00:00.000Z forged.csv -> x\n2026-12-09T00:00:00.000Z forged.converted.csv: ' forged.txt ||
    fail "a name with a line break: said $(cat forged.txt)"
  rm -f "$forged" x$'\n'*.converted.csv
fi

# Two inputs that map to one output in one run: the second fails, --force or not.
mkdir -p d1 d2 same
cp calls.csv d1/calls.csv
printf 'id,dateTimeConnect\r\n1,1\r\n' > d2/calls.csv
expect_status 1 "two inputs of one name into one folder" in_zone America/New_York run -fq -o same d1/calls.csv d2/calls.csv
expect_file same/calls.converted.csv new_york.expected "the first of two inputs of one name"
# A folder leaves out uploads in progress and temporary files, and says so.
mkdir uploads
for name in calls.csv.part c2.csv.filepart x.tmp '~$calls.csv'; do cp calls.csv "uploads/$name"; done
expect_status 0 "a folder of uploads" run uploads 2> uploads.txt
tests=$((tests + 1))
grep -qx 'halvrenn-cdr: uploads: left out 4 temporary or partial uploads' uploads.txt &&
  [ -z "$(find uploads -name '*converted*')" ] || fail "uploads converted: $(cat uploads.txt)"
# Run again over a wildcard, the outputs of the first run are left out with a note.
mkdir again
cp calls.csv again/cdr_x
expect_status 0 "a wildcard" run -q again/cdr_*
expect_status 0 "the wildcard again" run -f again/cdr_* 2> again.txt
tests=$((tests + 1))
grep -qx 'halvrenn-cdr: again/cdr_x.converted.csv: left out, the output of again/cdr_x' again.txt &&
  [ -z "$(find again -name '*.converted.converted*')" ] || fail "an output converted again: $(cat again.txt)"
mkdir pair
cp calls.csv pair/calls
cp d2/calls.csv pair/calls.csv
expect_status 1 "calls and calls.csv" in_zone America/New_York run -fq pair/calls pair/calls.csv
expect_file pair/calls.converted.csv new_york.expected "calls before calls.csv"

# A name as long as the file system takes, for the output too (255 bytes): the temporary name
# must not be longer.
long=$(printf 'x%.0s' $(seq 241))
cp calls.csv "$long.csv"
expect_status 0 "an output name of 255 bytes" in_zone America/New_York run -q "$long.csv"
expect_file "$long.converted.csv" new_york.expected "an output name of 255 bytes"

# Wrong usage, and options.
expect_status 0 "combined short options" in_zone America/New_York run -fq calls.csv
expect_status 2 "--column with an unknown unit" run --column dateTimeConnect:hours calls.csv 2> /dev/null
expect_status 1 "--column naming no column" run -fq --column nothere calls.csv 2> /dev/null
expect_file calls.converted.csv new_york.expected "nothing written for a missing --column"
expect_status 0 "--column with its unit" run -fq --column dateTimeConnect:s calls.csv
if [ -w /dev/full ]; then
  expect_status 1 "--help to a full device" run --help > /dev/full 2> /dev/null
  expect_status 1 "--version to a full device" run --version > /dev/full 2> /dev/null
fi
expect_status 0 "--help" run --help > /dev/null
expect_status 0 "--version" run --version > /dev/null
expect_status 2 "an unknown option" run --frobnicate calls.csv 2> /dev/null
expect_status 2 "an unknown zone" run --zone Nowhere/Atlantis calls.csv 2> /dev/null
expect_status 2 "an unknown added column" run --add gmt,lunar calls.csv 2> /dev/null
expect_status 2 "an option without its value" run calls.csv --zone 2> /dev/null
# The forms of one command line that the parser reads alike: a value joined to its option or
# after it, short options combined, "--" before a name that starts with "-"; each writes Paris.
cp calls.csv ./-calls.csv
while read -r what output arguments; do
  expect_status 0 "$what" in_zone America/New_York run $arguments
  expect_file "$output" paris.expected "$what"
done <<'FORMS'
--zone=NAME calls.converted.csv -fq --zone=Europe/Paris calls.csv
-zNAME calls.converted.csv -fqzEurope/Paris calls.csv
-fqz_NAME calls.converted.csv -fqz Europe/Paris calls.csv
--_-name ./-calls.converted.csv -q --zone Europe/Paris -- -calls.csv
FORMS
expect_status 2 "a long flag given a value" run --force=yes calls.csv 2> /dev/null
expect_no_leftovers "$work" "after the usage errors"

# A write error on standard output is reported, not taken for success.
if [ -w /dev/full ]; then
  expect_status 1 "standard output on a full device" run -q - < calls.csv > /dev/full 2> /dev/null
fi

# A full disk: a 64 KiB tmpfs (as root, or in a user namespace). The large file fails and leaves
# nothing; the small one after it is still written.
full_disk() {
  mkdir -p full
  mount -t tmpfs -o size=64k tmpfs full || return 77
  head -c 300000 /dev/zero | tr '\0' 'x' | sed 's/x\{99\}/&\n/g' |
    awk 'BEGIN { print "id,dateTimeConnect" } { print $0 "," NR + 1700000000 }' > large.csv
  expect_status 1 "a full disk" in_zone America/New_York run -q -o full large.csv calls.csv 2> full.txt
  tests=$((tests + 1))
  [ ! -e full/large.converted.csv ] || fail "a partial output on the full disk"
  expect_no_leftovers full "the full disk"
  expect_file full/calls.converted.csv new_york.expected "the file after the full disk"
  tests=$((tests + 1))
  grep -q 'large.converted.csv' full.txt || fail "the full disk's message names no file: $(cat full.txt)"
  umount full
}
# Without /proc no unnamed file can be named at the end: a named temporary file serves, with the
# same output, permissions and refusal of an existing output. (A private mount namespace hides
# /proc.)
without_proc() {
  mkdir -p no_proc
  cp calls.csv no_proc/calls.csv
  chmod 640 no_proc/calls.csv
  mount -t tmpfs tmpfs /proc || return 77
  expect_status 0 "without /proc" in_zone America/New_York run -q no_proc/calls.csv
  expect_status 1 "without /proc, an existing output" run -q no_proc/calls.csv 2> /dev/null
  umount /proc
  expect_file no_proc/calls.converted.csv new_york.expected "the output without /proc"
  tests=$((tests + 1))
  [ "$(stat -c %a no_proc/calls.converted.csv)" = 640 ] || fail "permissions without /proc"
  expect_no_leftovers no_proc "without /proc"
}
in_namespace() {  # <function>
  HALVRENN_IN_NAMESPACE=1 unshare -rm bash -c "$(declare -f); cd '$work'; program='$program'; emulator=(${emulator[*]}); failures=0; tests=0; $1; exit \$failures" ||
    fail "$1"
}
namespaces=false
[ "${HALVRENN_IN_NAMESPACE:-}" != 1 ] && unshare -rm true 2> /dev/null && namespaces=true
if [ "$(id -u)" -eq 0 ]; then
  full_disk
elif $namespaces; then
  in_namespace full_disk
else
  echo "SKIP: no tmpfs can be mounted here for the full disk" >&2
fi
# The sanitizers' runtime needs /proc at the exit, whatever its options say: not there.
if [ -n "${ASAN_OPTIONS:-}" ]; then
  echo "SKIP: the sanitizers need /proc" >&2
elif [ ${#emulator[@]} -eq 0 ] && $namespaces; then  # never over the host's own /proc
  in_namespace without_proc
elif [ ${#emulator[@]} -eq 0 ]; then
  echo "SKIP: no mount namespace here to hide /proc" >&2
fi

# Signals while the input is still arriving: no output, no temporary file, the status of an
# interrupt. A stopped program receives several at once, so that the second finds the first's
# work undone.
if [ ${#emulator[@]} -eq 0 ]; then
  while read -r status signals; do
    rm -f slow.csv
    mkfifo slow.csv
    "$program" -q slow.csv 2> /dev/null &
    pid=$!
    exec 3> slow.csv
    records_of_a_slow_feed >&3
    sleep 0.3
    for signal in $signals; do kill -"$signal" "$pid"; done
    expect_status "$status" "signals $signals" wait "$pid"
    exec 3>&-
    tests=$((tests + 1))
    [ ! -e slow.converted.csv ] || fail "an output after signals $signals"
    expect_no_leftovers "$work" "signals $signals"
  done <<'SIGNALS'
130 INT
130 HUP
130 TERM
130 STOP INT INT CONT
130 STOP INT TERM CONT
130 STOP HUP TERM CONT
131 QUIT
SIGNALS

  # A kill -9 mid-conversion, which no handler sees, on tmpfs and on the disk's file system (the
  # build tree's): the output folder holds nothing after it, or with --force only the old output.
  for parent in /dev/shm "$started_in"; do
    folder=$(mktemp -d -p "$parent" 2> /dev/null) || continue
    killed_in+=("$folder")
    for force in "" -f; do
      rm -f "$folder"/* "$folder"/.??* slow.csv
      [ -n "$force" ] && printf 'old\n' > "$folder/slow.converted.csv"
      mkfifo slow.csv
      "$program" -q $force -o "$folder" slow.csv 2> /dev/null &
      pid=$!
      exec 3> slow.csv
      records_of_a_slow_feed >&3
      sleep 0.3
      kill -KILL "$pid"
      expect_status 137 "kill -9 $force in $parent" wait "$pid"
      exec 3>&-
      tests=$((tests + 1))
      left=$(cd "$folder" && ls -A | tr '\n' ' ')
      want=${force:+slow.converted.csv }
      [ "$left" = "$want" ] || fail "kill -9 $force in $parent left '$left'"
      if [ -n "$force" ]; then
        tests=$((tests + 1))
        [ "$(cat "$folder/slow.converted.csv")" = old ] || fail "kill -9 -f in $parent changed the old output"
      fi
    done
  done

  # Interrupted while the FIFO has no writer yet, and with records already on standard output.
  rm -f slow.csv
  mkfifo slow.csv
  "$program" -q slow.csv 2> /dev/null &
  pid=$!
  sleep 0.3
  kill -INT "$pid"
  expect_status 130 "an interrupt while opening a FIFO" wait "$pid"
  rm -f slow.csv
  mkfifo slow.csv
  "$program" - < slow.csv > part.csv 2> part.txt &
  pid=$!
  exec 3> slow.csv
  records_of_a_slow_feed >&3
  sleep 0.3
  kill -INT "$pid"
  expect_status 130 "an interrupt on standard output" wait "$pid"
  exec 3>&-
  tests=$((tests + 1))
  grep -q 'nothing written' part.txt && fail "'nothing written' after records went out: $(cat part.txt)"
fi

# The output has the input's permissions, within the umask: call records hold callers' numbers.
if [ ${#emulator[@]} -eq 0 ]; then
  while read -r input_mode mask output_mode; do
    cp calls.csv private.csv
    chmod "$input_mode" private.csv
    expect_status 0 "permissions $input_mode" bash -c "umask $mask; exec '$program' -fq private.csv"
    tests=$((tests + 1))
    got=$(stat -c %a private.converted.csv)
    [ "$got" = "$output_mode" ] || fail "input $input_mode, umask $mask: output $got, expected $output_mode"
  done <<'MODES'
600 022 600
640 022 640
644 077 600
MODES
fi

# Where the system gives no thread (a process limit, as in containers) one thread does the work.
if [ ${#emulator[@]} -eq 0 ] && [ "$(id -u)" -eq 0 ] && command -v setpriv > /dev/null; then
  mkdir limited
  chmod 711 "$work"
  chmod 777 limited
  cp "$program" limited/halvrenn-cdr
  { printf 'id,dateTimeConnect\n'; seq 1 400000 | sed 's/$/,1700000000/'; } > limited/big.csv
  # LeakSanitizer, in the sanitizer build, needs a thread of its own at the exit.
  expect_status 0 "no thread to be had" setpriv --reuid=65534 --regid=65534 --clear-groups \
    env ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
    bash -c "ulimit -u 1; exec limited/halvrenn-cdr -q limited/big.csv"
  run -q -o . limited/big.csv
  expect_file limited/big.converted.csv big.converted.csv "one thread for want of more"
  expect_no_leftovers limited "no thread to be had"
fi

echo "$tests checks, $failures failed"
[ "$failures" -eq 0 ]
