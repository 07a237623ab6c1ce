#!/usr/bin/env bash
# Sets up the machine, builds the release and opens Halvrenn.
#
#   scripts/run.sh             the native Linux program
#   scripts/run.sh --windows   Halvrenn.exe under Wine
#
# On a machine without a display it says so, opens the window on a virtual display (Xvfb),
# saves a screenshot and prints where it is.
set -euo pipefail
cd "$(dirname "$0")/.."

front=linux
[ "${1:-}" = "--windows" ] && front=windows

scripts/setup.sh >&2
cmake --preset "$front" >/dev/null
cmake --build --preset "$front" >&2

wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
export WINEPREFIX="$PWD/build/windows/wineprefix-run" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [ "$front" = windows ]; then
  if [ ! -d "$WINEPREFIX" ]; then
    echo "Preparing Wine (once)..." >&2
    DISPLAY= "$wine64" wineboot --init >/dev/null 2>&1
    "$wineserver" -w
  fi
  program=(env "$wine64" build/windows/app/win32/Halvrenn.exe)
  # Wine draws the title bar itself inside a virtual desktop, as Windows would.
  headless_program=(env "$wine64" explorer /desktop=Halvrenn,640x360 build/windows/app/win32/Halvrenn.exe)
  screen_area=640x360+0+0
else
  program=(build/linux/app/linux/halvrenn)
  headless_program=("${program[@]}")
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
window=$(timeout 60 xdotool search --sync --name 'Halvrenn' | head -n 1)
sleep 2  # let it finish drawing
xdotool windowfocus "$window" 2>/dev/null || true
xdotool type --delay 50 1000000000
sleep 1
import -window root -crop "$screen_area" +repage "$screenshot"
echo "Screenshot: $screenshot"
