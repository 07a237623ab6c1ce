#!/usr/bin/env bash
# Runs the README's run command without a display and checks the texts it reads back from the
# window's fields against the sample count's dates, computed here by date(1) in the same zone and
# locale. The zone keeps daylight saving time in September, when the daylight field reads as the
# zone's own clock. Usage: run_script_test.sh <source dir> <build dir>
set -euo pipefail
source_dir=$1
export HALVRENN_BUILD_DIR=$2
unset DISPLAY WAYLAND_DISPLAY
export TZ=America/New_York LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8

sample=1000000000
shown() { TZ=$1 date -d "@$sample" '+%x %X'; }
expected="Text1: $sample
Text2: $(shown UTC0)
Text3: $(shown Etc/GMT+5)
Text4: $(shown America/New_York)"

fields=$("$source_dir/scripts/run.sh" | grep '^Text[1-4]: ' || true)
if [ "$fields" != "$expected" ]; then
  printf 'The fields read\n%s\nbut should read\n%s\n' "$fields" "$expected" >&2
  exit 1
fi
printf '%s\n' "$fields"
