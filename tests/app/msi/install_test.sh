#!/usr/bin/env bash
# The MSI under Wine's msiexec, in a fresh Wine prefix on a virtual display: a silent install puts
# the programs under Program Files\Halvrenn, a Start-menu shortcut that starts the window, and an
# uninstall entry; a newer MSI replaces it in place and an older one is refused; a silent removal
# leaves nothing behind. The environment names what to check:
#   MSI, MSI_INPUTS, MAKE_MSI (to build a newer MSI), STAGE (the files the MSI was built from),
#   INSTALLED (the names of those installed: the programs and the licence), PRODUCT_VERSION,
#   PUBLISHER, ICON, WINE, WINESERVER, WINEPREFIX, CMAKE.
set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
win() { "$WINE" "$@" 2>/dev/null | tr -d '\r'; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A fresh prefix, settled: every process of its first start has ended. Its windows unmanaged:
# without a window manager Wine would wait for one at every window.
rm -rf "$WINEPREFIX"
win reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f > /dev/null
"$WINESERVER" -w
drive_c=$WINEPREFIX/drive_c

# Everything on drive C: and in the registry's software keys, but for temporary folders, Windows
# Installer's own folder, which it keeps once made, and the caches of device set-up files that
# Wine writes when a device turns up.
snapshot() {
  find "$drive_c" -path '*/Temp' -prune -o -print |
    grep -vx -e "$drive_c/windows/Installer" -e "$drive_c/windows/inf/.*\.pnf" |
    sort >"$work/$1.files"
  for hive in HKLM HKCU; do
    "$WINE" reg export "$hive\Software" "$work/$1.$hive.reg" /y >/dev/null 2>&1
    iconv -f UTF-16 -t UTF-8 "$work/$1.$hive.reg" >"$work/$1.$hive.txt"
  done
}

# Nothing added since the snapshot: no file or folder, no registry value, and no key but the
# empty containers Windows Installer keeps for its own bookkeeping (no product's code in them).
nothing_left_since() {
  local added
  snapshot after
  added=$(comm -13 "$work/$1.files" "$work/after.files")
  [ -z "$added" ] || fail "left behind on drive C: $added"
  for hive in HKLM HKCU; do
    added=$(diff "$work/$1.$hive.txt" "$work/after.$hive.txt" | sed -n 's/^> //p' |
      grep -v '^\s*$' || true)
    if grep -v '^\[' <<<"$added" | grep -q .; then
      fail "registry values left behind in $hive: $added"
    fi
    if grep -Eiq 'halvrenn|[0-9A-F]{32}|\{[0-9A-F-]{36}\}' <<<"$added"; then
      fail "registry keys left behind in $hive: $added"
    fi
  done
}

# reg query prints a value as "    <name>    <type>    <data>".
data_of() { awk -v name="$1" '$1 == name { sub(/^ *[^ ]+ +[^ ]+ +/, ""); print }'; }
value_of() { win reg query "$1" /v "$2" | data_of "$2"; }
# The Uninstall keys whose DisplayName is Halvrenn, one per line.
uninstall_entries() {
  win reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
    awk '/^HKEY/ { key = $0 } /^ +DisplayName +REG_SZ +Halvrenn$/ { print key }'
}

install() { "$WINE" msiexec /i "$@" /qn 2>/dev/null 7>&-; }
uninstall() { "$WINE" msiexec /x "$1" /qn 2>/dev/null 7>&-; }
service_state() { win sc query HalvrennWatch 7>&- | sed -n 's/^ *STATE *: [0-9]* *//p'; }

snapshot before
install "$MSI" || fail "msiexec /i $MSI /qn returned $?"

# The programs and the licence, exactly those the MSI was built from.
installed=$drive_c/Program\ Files/Halvrenn
[ "$(ls "$installed" | sort)" = "$(tr ' ' '\n' <<<"$INSTALLED" | sort)" ] ||
  fail "Program Files\\Halvrenn holds $(ls "$installed" | tr '\n' ' '), not $INSTALLED"
for file in $INSTALLED; do
  cmp "$STAGE/$file" "$installed/$file" || fail "$file differs from the one packaged"
done

# Apps & features: one entry, with the name, version and publisher, and the product's icon (which
# Windows Installer keeps with the product, from ARPPRODUCTICON, rather than as a DisplayIcon).
mapfile -t entries < <(uninstall_entries)
[ ${#entries[@]} -eq 1 ] || fail "${#entries[@]} uninstall entries named Halvrenn"
[ "$(value_of "${entries[0]}" DisplayVersion)" = "$PRODUCT_VERSION" ] ||
  fail "DisplayVersion $(value_of "${entries[0]}" DisplayVersion), not $PRODUCT_VERSION"
[ "$(value_of "${entries[0]}" Publisher)" = "$PUBLISHER" ] ||
  fail "Publisher $(value_of "${entries[0]}" Publisher), not $PUBLISHER"
product_code=${entries[0]##*\\}
product_icon=$(win reg query 'HKLM\Software\Classes\Installer\Products' /s | data_of ProductIcon)
[[ $product_icon == *"$product_code"* ]] ||
  fail "no product icon for $product_code (found '$product_icon')"
cmp "$ICON" "$(win winepath -u "$product_icon")" || fail "the product icon is not Halvrenn's icon"

# Where the programs are, in Apps & features.
[ "$(value_of "${entries[0]}" InstallLocation)" = 'C:\Program Files\Halvrenn\' ] ||
  fail "InstallLocation is '$(value_of "${entries[0]}" InstallLocation)'"

# halvrenn-cdr on the system's PATH: a console finds it by its name.
environment='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'
path_entries() { value_of "$environment" PATH | tr ';' '\n' | grep -cF 'C:\Program Files\Halvrenn' || true; }
[ "$(path_entries)" -eq 1 ] || fail "PATH holds the programs' folder $(path_entries) times"
version=$(win cmd /c 'halvrenn-cdr --version' 7>&-)
[[ $version == "halvrenn-cdr "* ]] || fail "halvrenn-cdr is not found on PATH: '$version'"

# Send to Halvrenn: the shortcut passes the chosen file, which the window converts.
sendto=$(find "$drive_c" -path '*/SendTo/Halvrenn.lnk')
[ -n "$sendto" ] || fail "no Halvrenn shortcut in a Send to menu"
mkdir "$work/sent"
printf 'cdrRecordType,dateTimeOrigination\r\nINTEGER,INTEGER\r\n1,1796619600\r\n' > "$work/sent/cdr_1"
"$WINE" start /unix "$sendto" "Z:${work//\//\\}\\sent\\cdr_1" 2> /dev/null &
for _ in $(seq 150); do
  [ -f "$work/sent/cdr_1.converted.csv" ] && break
  sleep 0.2
done
grep -q '2026-12-07 05:00:00' "$work/sent/cdr_1.converted.csv" 2> /dev/null ||
  fail "Send to Halvrenn did not convert the file"
# The window that converted it shows its report; it ends with its process.
window=$(xdotool search --onlyvisible --class '^halvrenn\.exe$' 2>/dev/null | head -n 1) || true
[ -z "$window" ] || kill "$(xdotool getwindowpid "$window")"
wait

# Without its folders, no watch service.
[ -z "$(service_state)" ] || fail "a watch service installed without WATCH_INPUT: $(service_state)"

# The Start-menu shortcut starts the installed program, whose window is titled Halvrenn.
shortcut=$(find "$drive_c" -path '*/Start Menu/Programs/Halvrenn.lnk')
[ -n "$shortcut" ] || fail "no Halvrenn shortcut in a Start menu"
"$WINE" start /unix "$shortcut" 2>/dev/null &
window=
for _ in $(seq 150); do
  window=$(xdotool search --onlyvisible --class '^halvrenn\.exe$' 2>/dev/null | head -n 1) || true
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || fail "the shortcut opened no Halvrenn.exe window"
title=$(xdotool getwindowname "$window")
[ "$title" = Halvrenn ] || fail "the window is titled '$title'"
pid=$(xdotool getwindowpid "$window")
grep -qF 'C:\Program Files\Halvrenn\Halvrenn.exe' "/proc/$pid/cmdline" ||
  fail "the window belongs to $(tr '\0' ' ' <"/proc/$pid/cmdline"), not the installed program"
kill "$pid"
wait

uninstall "$MSI" || fail "msiexec /x $MSI /qn returned $?"
nothing_left_since before
[ "$(path_entries)" -eq 0 ] || fail "PATH still holds the programs' folder after the removal"

# Upgrades: the same product one patch later replaces it in place; going back is refused.
newer_version=$(awk -F. -v OFS=. '{ $NF += 1; print }' <<<"$PRODUCT_VERSION")
"$CMAKE" -DINPUTS="$MSI_INPUTS" -DOUTPUT="$work/newer.msi" -DPRODUCT_VERSION="$newer_version" \
  -P "$MAKE_MSI" >/dev/null
# Wine ends a prefix's services once its last other process has ended, which Windows does not:
# a console waits on a pipe while the service is tested.
mkfifo "$work/keep"
"$WINE" cmd /c "set /p line=" <"$work/keep" >/dev/null 2>&1 &
exec 7>"$work/keep"
trap 'exec 7>&-; "$WINESERVER" -k 2>/dev/null; rm -rf "$work"' EXIT
# With its folders (one with a blank), the watch service: started, starting with the system,
# converting; an upgrade stops it, keeps its folders and starts it again; the removal stops and
# removes it.
mkdir -p "$work/in coming" "$work/out" "$work/done"
folder() { echo "Z:${1//\//\\}"; }
record='cdrRecordType,dateTimeOrigination\r\nINTEGER,INTEGER\r\n1,1796619600\r\n'
converted() {
  printf "$record" >"$work/cdr_$1"
  mv "$work/cdr_$1" "$work/in coming/"
  for _ in $(seq 100); do
    [ -f "$work/done/cdr_$1" ] && break
    sleep 0.1
  done
  grep -q '2026-12-07 05:00:00' "$work/out/cdr_$1.converted.csv" 2>/dev/null
}
install "$MSI" WATCH_INPUT="$(folder "$work/in coming")" WATCH_OUTPUT="$(folder "$work/out")" \
  WATCH_DONE="$(folder "$work/done")" || fail "installing $MSI with the watch service failed"
[ "$(service_state)" = RUNNING ] || fail "the watch service is '$(service_state)' after installing"
# Start 2: automatic, with the system (Wine's sc has no qc).
service_key='HKLM\System\CurrentControlSet\Services\HalvrennWatch'
[ "$(value_of "$service_key" Start 7>&-)" = 0x2 ] || fail "the service does not start with the system"
# Its command line, folders quoted; its event source, with the program's message table.
[[ $(value_of "$service_key" ImagePath 7>&-) == *'--service --watch "'*' coming" --output "'*'" --done "'* ]] ||
  fail "the service's command line is $(value_of "$service_key" ImagePath)"
[ "$(value_of 'HKLM\System\CurrentControlSet\Services\EventLog\Application\Halvrenn' EventMessageFile 7>&-)" = \
  'C:\Program Files\Halvrenn\halvrenn-cdr.exe' ] || fail "no event source for the service"
converted 1 || fail "the installed service did not convert a file"
install "$work/newer.msi" || fail "installing $newer_version over $PRODUCT_VERSION failed"
[ "$(service_state)" = RUNNING ] || fail "the watch service is '$(service_state)' after the upgrade"
converted 2 || fail "the upgraded service did not convert a file"
mapfile -t entries < <(uninstall_entries)
[ ${#entries[@]} -eq 1 ] || fail "${#entries[@]} uninstall entries after the upgrade"
[ "$(value_of "${entries[0]}" DisplayVersion)" = "$newer_version" ] ||
  fail "after the upgrade the version is $(value_of "${entries[0]}" DisplayVersion)"
[ "$(path_entries)" -eq 1 ] || fail "after the upgrade PATH holds the folder $(path_entries) times"
for program in $PROGRAMS; do
  [ -f "$installed/$program" ] || fail "$program missing after the upgrade"
done
if install "$MSI"; then
  fail "$PRODUCT_VERSION installed over $newer_version"
fi
uninstall "$work/newer.msi" || fail "removing $newer_version failed"
[ -z "$(service_state)" ] || fail "the watch service is left after the removal: $(service_state)"
# The service's log is the administrator's, kept: it tells of both conversions.
service_log=$drive_c/ProgramData/Halvrenn/watch.log
[ "$(grep -c 'cdr_[12] -> .*: 1 records' "$service_log")" -eq 2 ] || fail "the service's log: $(cat "$service_log")"
rm -r "$drive_c/ProgramData/Halvrenn"
nothing_left_since before
echo "installed, started, upgraded and removed $MSI"
