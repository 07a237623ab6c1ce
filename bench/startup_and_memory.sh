#!/usr/bin/env bash
# Start-up time (exec to mapped window) and idle resident memory of Halvrenn against a bare Qt
# window with the same size and eight plain widgets, both on a private Xvfb with no window manager.
# Goal: Halvrenn within 1.2x of the bare window on both.
#
# usage, from the repository root: bench/startup_and_memory.sh [RUNS]
#   RUNS     measured runs of each program, interleaved (default 15, or $RUNS)
#   HOLD_MS  how long each program idles before its VmRSS is read (default 2000)
set -euo pipefail

runs=${1:-${RUNS:-15}}
hold_ms=${HOLD_MS:-2000}
build=build/linux
halvrenn=$build/app/linux/halvrenn
bare=$build/bench/bench_bare_window
probe=$build/bench/bench_map_probe

[ -f CMakePresets.json ] || { echo "run this from the repository root" >&2; exit 2; }
cmake --preset linux >/dev/null  # also turns the benchmarks on in an older build folder
cmake --build --preset linux --target halvrenn bench_bare_window bench_map_probe >&2

work=$(mktemp -d)
xvfb_pid=
cleanup() {
  # The probe's children die with it (PR_SET_PDEATHSIG); Xvfb is ours to stop.
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# -displayfd picks a free display and reports it once the server accepts connections.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }

mkdir -m 700 "$work/runtime"
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
unset WAYLAND_DISPLAY

measure() {  # title command -> "ms kib"; the programs' own chatter goes to a log
  "$probe" --title "$1" --hold "$hold_ms" -- "$2" 2>>"$work/programs.log" ||
    { echo "$2 failed:" >&2; tail -n 20 "$work/programs.log" >&2; return 1; }
}

# One unrecorded run of each first, so both start from a warm page cache.
measure Halvrenn "$halvrenn" >/dev/null
measure Bare "$bare" >/dev/null

a_ms=() a_kib=() b_ms=() b_kib=()
for ((run = 1; run <= runs; run++)); do
  out=$(measure Halvrenn "$halvrenn"); read -r ms kib <<<"$out"; a_ms+=("$ms"); a_kib+=("$kib")
  out=$(measure Bare "$bare");         read -r ms kib <<<"$out"; b_ms+=("$ms"); b_kib+=("$kib")
  printf '\rrun %d/%d' "$run" "$runs" >&2
done
printf '\r%*s\r' 20 '' >&2

median() {
  printf '%s\n' "$@" | sort -g |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
a_ms_med=$(median "${a_ms[@]}") a_kib_med=$(median "${a_kib[@]}")
b_ms_med=$(median "${b_ms[@]}") b_kib_med=$(median "${b_kib[@]}")

echo "Start-up (exec to window mapped) and VmRSS after ${hold_ms} ms idle;" \
  "medians of $runs interleaved runs, Xvfb $DISPLAY, QT_QPA_PLATFORM=xcb"
awk -v am="$a_ms_med" -v ak="$a_kib_med" -v bm="$b_ms_med" -v bk="$b_kib_med" 'BEGIN {
  printf "%-22s %12s %12s\n", "program", "start-up ms", "RSS MiB"
  printf "%-22s %12.1f %12.1f\n", "halvrenn", am, ak / 1024
  printf "%-22s %12.1f %12.1f\n", "bare Qt window", bm, bk / 1024
  rm = am / bm; rk = ak / bk
  printf "%-22s %11.2fx %11.2fx\n", "halvrenn / bare", rm, rk
  printf "%-22s %12s %12s\n", "goal <= 1.20x", (rm <= 1.2 ? "met" : "MISSED"), (rk <= 1.2 ? "met" : "MISSED")
}'
