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

work=$(mktemp -d)
trap 'cd /; umount "$work/full" 2>/dev/null; rm -rf "$work"' EXIT
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

# Wrong usage.
expect_status 0 "--help" run --help > /dev/null
expect_status 0 "--version" run --version > /dev/null
expect_status 2 "an unknown option" run --frobnicate calls.csv 2> /dev/null
expect_status 2 "an unknown zone" run --zone Nowhere/Atlantis calls.csv 2> /dev/null
expect_status 2 "an unknown added column" run --add gmt,lunar calls.csv 2> /dev/null
expect_status 2 "an option without its value" run calls.csv --zone 2> /dev/null
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
if [ "$(id -u)" -eq 0 ]; then
  full_disk
elif [ "${HALVRENN_IN_NAMESPACE:-}" != 1 ] && unshare -rm true 2> /dev/null; then
  HALVRENN_IN_NAMESPACE=1 unshare -rm bash -c "$(declare -f); cd '$work'; program='$program'; emulator=(${emulator[*]}); failures=0; tests=0; full_disk; exit \$failures" ||
    fail "the full disk"
else
  echo "SKIP: no tmpfs can be mounted here for the full disk" >&2
fi

# An interrupt while the input is still arriving: no output, no temporary file, status 130.
if [ ${#emulator[@]} -eq 0 ]; then
  mkfifo slow.csv
  "$program" -q slow.csv 2> /dev/null &
  pid=$!
  exec 3> slow.csv
  printf 'id,dateTimeConnect\n1,1700000000\n' >&3
  sleep 0.3
  kill -INT "$pid"
  expect_status 130 "an interrupt" wait "$pid"
  exec 3>&-
  tests=$((tests + 1))
  [ ! -e slow.converted.csv ] || fail "an output after the interrupt"
  expect_no_leftovers "$work" "the interrupt"
fi

echo "$tests checks, $failures failed"
[ "$failures" -eq 0 ]
