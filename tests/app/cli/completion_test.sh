#!/usr/bin/env bash
# halvrenn-cdr's bash completion as installed under PREFIX (/usr, or usr in a DESTDIR), loaded by
# bash-completion's own loader as at a shell's first Tab, then asked to complete command lines.
# Every value it offers for --zone, --add, --format and --delimiter must be one the program takes.
# Usage: completion_test.sh PREFIX
prefix=$1
export PATH=$prefix/bin:$PATH XDG_DATA_DIRS=$prefix/share BASH_COMPLETION_USER_DIR=/nonexistent
# shellcheck source=/dev/null
source /usr/share/bash-completion/bash_completion
set -u

failures=0
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

complete -p halvrenn-cdr >/dev/null 2>&1 && fail "a completion was there before loading"
_completion_loader halvrenn-cdr
spec=$(complete -p halvrenn-cdr 2>/dev/null) || {
  echo "FAIL: bash-completion found no completion for halvrenn-cdr under $prefix/share" >&2
  exit 1
}
echo "$spec"
[[ $spec =~ -F\ ([^ ]+) ]] || fail "'$spec' names no function"
function=${BASH_REMATCH[1]}
# Where the function comes from: bash-completion falls back to a minimal one of its own.
source_file=$(shopt -s extdebug && declare -F "$function" | cut -d' ' -f3-)
[ "$source_file" = "$prefix/share/bash-completion/completions/halvrenn-cdr" ] ||
  fail "$function comes from '$source_file', not the installed completion"

# The replies to a command line (the cursor at its end), into `replies`. The words are split as
# bash splits them for completion: at blanks and around "=".
completions() {
  local line=$1
  local -a COMP_WORDS
  read -ra COMP_WORDS <<<"${line//=/ = }"
  [[ $line == *' ' ]] && COMP_WORDS+=("")
  local COMP_LINE=$line COMP_POINT=${#line} COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  "$function" halvrenn-cdr "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}" \
    2>"$errors" >/dev/null
  # compopt works only under a real Tab; anything else on standard error is a fault.
  if grep -v 'compopt: not currently executing' "$errors" >&2; then
    fail "completing '$line' wrote errors"
  fi
  replies=("${COMPREPLY[@]}")
}

# The program's own verdict on a value: a one-record file converts with it.
accepts() {  # <option> <value>
  printf 'a_epoch\n1796619600\n' | halvrenn-cdr --quiet "$1" "$2" >/dev/null 2>&1
}

# command line | one reply it must offer (the rest are checked against the program)
cases=(
  "halvrenn-cdr --zone America/New_|America/New_York"
  "halvrenn-cdr --zone=America/New_|America/New_York"
  "halvrenn-cdr -z Americ|America/"
  "halvrenn-cdr --zone |UTC"
  "halvrenn-cdr --add gmt,lo|gmt,local"
  "halvrenn-cdr -a |daylight"
  "halvrenn-cdr --format |locale"
  "halvrenn-cdr --delimiter |semicolon"
)
for case in "${cases[@]}"; do
  line=${case%|*} wanted=${case##*|}
  completions "$line"
  printf '%s\n' "${replies[@]}" | grep -qxF -- "$wanted" ||
    fail "'$line' offers ${replies[*]:-nothing}, not $wanted"
  option=$(sed -E 's/^halvrenn-cdr ([^ =]+).*/\1/' <<<"$line")
  for reply in "${replies[@]}"; do
    [[ $reply == */ ]] && continue # a folder of zones
    accepts "$option" "$reply" || fail "'$line' offers $reply, which halvrenn-cdr refuses"
  done
done

# Every long option of --help, and no other, after "--".
help_options=$(halvrenn-cdr --help | grep -oE '^ +(-[A-Za-z], )?--([A-Za-z][A-Za-z-]*)?( |$)' |
  grep -oE -- '--[A-Za-z-]*' | sort -u)
completions "halvrenn-cdr --"
offered=$(printf '%s\n' "${replies[@]}" | sort -u)
[ "$offered" = "$help_options" ] ||
  fail "'--' offers: ${offered//$'\n'/ }; --help lists: ${help_options//$'\n'/ }"

[ "$failures" -eq 0 ] || exit 1
echo "completion: ${#cases[@]} command lines and the options of --help"
