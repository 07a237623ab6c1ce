#!/usr/bin/env bash
# Sets up the machine, builds the release and opens Halvrenn.
#
#   scripts/run.sh             the native Linux program
#   scripts/run.sh --windows   Halvrenn.exe under Wine
#
# On a machine without a display it says so, opens the window on a virtual display (Xvfb), types
# a sample count, saves a screenshot and prints where it is, then prints the text of each field
# as read back from the window (select all and copy, then the clipboard).
#
# HALVRENN_BUILD_DIR names the build directory (default build/linux or build/windows); it is
# configured from the same preset.
set -euo pipefail
cd "$(dirname "$0")/.."

front=linux
[ "${1:-}" = "--windows" ] && front=windows
build_dir=${HALVRENN_BUILD_DIR:-build/$front}
sample=1000000000

scripts/setup.sh >&2
cmake --preset "$front" -B "$build_dir" >/dev/null
cmake --build "$build_dir" >&2

wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
export WINEPREFIX="$PWD/$build_dir/wineprefix-run" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ "$front" = windows ]; then
  if [ ! -d "$WINEPREFIX" ]; then
    echo "Preparing Wine (once)..." >&2
    DISPLAY= "$wine64" wineboot --init >/dev/null 2>&1
    "$wineserver" -w
  fi
  program=(env "$wine64" "$build_dir/app/win32/Halvrenn.exe")
  # Wine draws the title bar itself inside a virtual desktop, as Windows would. Its X window is
  # the desktop; Halvrenn's window lives inside it, out of xdotool's sight.
  headless_program=(env "$wine64" explorer /desktop=Halvrenn,640x360
                    "$build_dir/app/win32/Halvrenn.exe")
  window_name='^Halvrenn - Wine desktop$'
  screen_area=640x360+0+0
else
  program=("$build_dir/app/linux/halvrenn")
  headless_program=("${program[@]}")
  # Qt also names a hidden window of its own after the program ("Qt Selection Owner for ...").
  window_name='^Halvrenn$'
  screen_area=476x238+0+0  # the window, placed at the corner when no window manager runs
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "${program[@]}"
fi

screenshot="$PWD/build/halvrenn-${front}.png"
echo "No display here: opening Halvrenn on a virtual display and saving a screenshot instead."
display_number=$(mktemp)
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ "$front" = windows ] && "$wineserver" -k 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  rm -f "$display_number"
}
trap cleanup EXIT
# Xvfb picks a free display itself and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 800x480x24 -nolisten tcp 3>"$display_number" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_number" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$display_number")"

"${headless_program[@]}" >/dev/null 2>&1 &
program_pid=$!
# There is no window manager to give the window the keyboard: focus it by hand, then type.
window=$(timeout 60 xdotool search --sync --onlyvisible --name "$window_name" | head -n 1)
sleep 2  # let it finish drawing
xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool type --delay 50 "$sample"
sleep 1
import -window root -crop "$screen_area" +repage "$screenshot"
echo "Screenshot: $screenshot"

# Each field in tab order from Text1: select all, copy, read the clipboard. A marker put on the
# clipboard first tells a copy that has not arrived yet (Wine hands it over after a moment).
marker="(nothing copied)"
for field in Text1 Text2 Text3 Text4; do
  printf "%s" "$marker" | xclip -i -selection clipboard >/dev/null 2>&1
  xdotool key ctrl+a ctrl+c
  text=$marker
  for _ in $(seq 50); do
    text=$(xclip -o -selection clipboard 2>/dev/null || true)
    [ "$text" != "$marker" ] && break
    sleep 0.1
  done
  echo "$field: $text"
  xdotool key Tab
done
