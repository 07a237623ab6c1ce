#!/usr/bin/env bash
# The manual pages as installed under PREFIX (/usr, or usr in a DESTDIR), found and formatted by
# man itself: each has the sections a user looks for, and halvrenn-cdr's names the same options
# and exit statuses as its --help, so that neither can change without the other.
# Usage: manual_pages_test.sh PREFIX
set -uo pipefail
prefix=$1
export MANPATH=$prefix/share/man LC_ALL=C MANWIDTH=200

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The lines of a section of text: from its heading to the next heading or blank line.
section() {  # <heading regex> <end regex>
  awk -v start="$1" -v end="$2" '$0 ~ start { on = 1; next } on && $0 ~ end { exit } on'
}
# Option names of lines that list options ("  -o, --output DIR  ..."), one a line, sorted.
option_names() {
  grep -oE '^ +-[^ ].*' | sed -E 's/^ +//' | grep -oE '(^|, )--?[A-Za-z][A-Za-z0-9-]*' |
    sed 's/^, //' | sort -u
}

for page in halvrenn halvrenn-cdr; do
  location=$(man -w "$page" 2>/dev/null)
  [ "$location" = "$MANPATH/man1/$page.1.gz" ] || {
    fail "man finds '$location' for $page, not $MANPATH/man1/$page.1.gz"
    continue
  }
  text=$(man "$page" 2>&1)
  for heading in NAME SYNOPSIS DESCRIPTION OPTIONS 'EXIT STATUS' ENVIRONMENT FILES EXAMPLES; do
    grep -qx "$heading" <<<"$text" || fail "$page(1) has no $heading section"
  done
  grep -q "^ *$page - " <<<"$text" || fail "$page(1) has no NAME line '$page - ...'"
done

help=$("$prefix/bin/halvrenn-cdr" --help)
manual=$(man halvrenn-cdr)
from_help=$(section '^Options:' '^$' <<<"$help" | option_names)
from_manual=$(section '^OPTIONS$' '^[A-Z]' <<<"$manual" | grep -E '^ {7}-' | option_names)
[ -n "$from_help" ] || fail "no options found in --help"
only_help=$(comm -23 <(echo "$from_help") <(echo "$from_manual"))
only_manual=$(comm -13 <(echo "$from_help") <(echo "$from_manual"))
[ -z "$only_help" ] || fail "in --help but not in halvrenn-cdr(1): ${only_help//$'\n'/ }"
[ -z "$only_manual" ] || fail "in halvrenn-cdr(1) but not in --help: ${only_manual//$'\n'/ }"

# "Exit status: 0 every file written, 1 ..., 130 interrupted." against the manual's list.
statuses_help=$(tr '\n' ' ' <<<"$help" | sed -n 's/.*Exit status: //p' |
  grep -oE '(^|, )[0-9]+ ' | grep -oE '[0-9]+' | sort -n)
statuses_manual=$(section '^EXIT STATUS$' '^[A-Z]' <<<"$manual" | grep -oE '^ {7}[0-9]+' |
  grep -oE '[0-9]+' | sort -n)
[ -n "$statuses_help" ] && [ "$statuses_help" = "$statuses_manual" ] ||
  fail "exit statuses: --help ${statuses_help//$'\n'/ };" \
    "halvrenn-cdr(1) ${statuses_manual//$'\n'/ }"

[ "$failures" -eq 0 ] || exit 1
echo "manual pages: halvrenn, halvrenn-cdr; options ${from_help//$'\n'/ }; exit statuses" \
  "${statuses_help//$'\n'/ }"
