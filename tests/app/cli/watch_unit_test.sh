#!/usr/bin/env bash
# The watcher's systemd unit as the package installs it, with its settings file and its user:
# checked by systemd itself (systemd-analyze verify, with nothing to say, and its exposure rating
# as a confined service), its user made by systemd-sysusers from the package's entry, and its
# ExecStart line run as systemd would expand it, with the settings of /etc/default pointed at a
# scratch folder: a file dropped in is converted and moved, and SIGTERM ends it with status 0.
# Usage: watch_unit_test.sh PROGRAM ROOT, where ROOT holds the installed tree (ROOT/usr/lib/
# systemd/system, ROOT/usr/lib/sysusers.d, ROOT/etc/default, ROOT/usr/share/man).
set -u
export LC_ALL=C

program=$1
root=$2
unit=$root/usr/lib/systemd/system/halvrenn-cdr-watch.service
defaults=$root/etc/default/halvrenn-cdr-watch
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

work=$(mktemp -d)
watcher=
trap '[ -n "$watcher" ] && kill -KILL "$watcher" 2>/dev/null; rm -rf "$work"' EXIT

# The settings with the folders moved into the scratch folder.
sed "s|/srv/cdr|$work/srv/cdr|g" "$defaults" >"$work/defaults"
grep -q '^IN_DIR=' "$work/defaults" && grep -q '^OUT_DIR=' "$work/defaults" ||
  fail "no IN_DIR or OUT_DIR in $defaults"

# systemd's own checks, on a copy that runs this build and reads the scratch settings: verify
# must have nothing to say (it warns of unknown keys and values but still succeeds).
mkdir "$work/unit"
sed -e "s|^ExecStart=/usr/bin/halvrenn-cdr |ExecStart=$program |" \
  -e "s|^EnvironmentFile=.*|EnvironmentFile=$work/defaults|" "$unit" \
  >"$work/unit/halvrenn-cdr-watch.service"
said=$(MANPATH=$root/usr/share/man systemd-analyze verify "$work/unit/halvrenn-cdr-watch.service" 2>&1)
status=$?
[ "$status" -eq 0 ] && [ -z "$said" ] || fail "systemd-analyze verify ($status): $said"
exposure=$(systemd-analyze security --offline=true "$work/unit/halvrenn-cdr-watch.service" 2>&1 |
  sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\) .*/\1/p')
awk -v e="$exposure" 'BEGIN { exit !(e != "" && e <= 1.5) }' ||
  fail "exposure level '$exposure' as systemd rates it, above 1.5 (confined services rate below)"

# The user the unit runs as is the one the package's sysusers.d entry makes, unprivileged and
# without a shell, made as the postinst makes it (into a root of the test's own).
user=$(sed -n 's/^User=//p' "$unit")
mkdir -p "$work/root/etc"
touch "$work/root/etc/passwd" "$work/root/etc/group" "$work/root/etc/shadow" "$work/root/etc/gshadow"
systemd-sysusers --root="$work/root" "$root/usr/lib/sysusers.d/halvrenn-cdr-watch.conf" >/dev/null 2>&1
IFS=: read -r name _ uid _ _ _ shell < <(grep "^$user:" "$work/root/etc/passwd")
[ "$name" = "$user" ] && [ "$uid" -gt 0 ] && [ "$uid" -lt 1000 ] && [ "$shell" = /usr/sbin/nologin ] &&
  grep -q "^$(sed -n 's/^Group=//p' "$unit"):" "$work/root/etc/group" ||
  fail "the unit's user '$user' is not the system user that sysusers.d makes: $(cat "$work/root/etc/passwd")"

# ExecStart as systemd expands it: ${NAME} is one word, $NAME splits at white space.
execstart=$(sed -n 's/^ExecStart=//p' "$unit")
(
  set -a
  # shellcheck disable=SC1091
  . "$work/defaults"
  for word in $execstart; do
    if [[ $word =~ ^\$\{([A-Za-z_][A-Za-z0-9_]*)\}$ ]]; then
      printf '%s\0' "${!BASH_REMATCH[1]}"
    elif [[ $word =~ ^\$([A-Za-z_][A-Za-z0-9_]*)$ ]]; then
      read -ra split <<<"${!BASH_REMATCH[1]}"
      [ ${#split[@]} -eq 0 ] || printf '%s\0' "${split[@]}"
    else
      printf '%s\0' "$word"
    fi
  done
) >"$work/command"
mapfile -d '' command <"$work/command"
[ "${command[0]}" = /usr/bin/halvrenn-cdr ] || fail "ExecStart runs ${command[0]}, not the package's /usr/bin/halvrenn-cdr"
command[0]=$program

mkdir -p "$work/srv/cdr/incoming" "$work/srv/cdr/converted" "$work/srv/cdr/done"
printf 'id,dateTimeConnect\n1,1796619600\n' >"$work/srv/cdr/incoming/cdr_1"
"${command[@]}" 2>"$work/log" &
watcher=$!
for _ in $(seq 100); do
  [ -f "$work/srv/cdr/done/cdr_1" ] && break
  sleep 0.05
done
kill -TERM "$watcher"
wait "$watcher"
status=$?
watcher=
[ "$status" -eq 0 ] || fail "ExecStart: exit status $status after SIGTERM, expected 0"
"$program" -q -o "$work" "$work/srv/cdr/done/cdr_1" &&
  cmp -s "$work/srv/cdr/converted/cdr_1.converted.csv" "$work/cdr_1.converted.csv" ||
  fail "ExecStart: the output differs from a one-shot conversion: $(cat "$work/log")"
[ -f "$work/srv/cdr/done/cdr_1" ] || fail "ExecStart: the input was not moved into the done folder"

[ "$failures" -eq 0 ] && echo "unit verified, exposure $exposure, ExecStart ran: ${command[*]:1}"
[ "$failures" -eq 0 ]
