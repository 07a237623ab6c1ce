#!/usr/bin/env bash
# How soon halvrenn-cdr --watch has a file's output in place: from the close of an upload (the
# feeder of the fault test, tests/app/cli/watch_feeder.py, one node writing 1,000-record files in
# pieces of 32 KiB) to the rename of its output, seen by an inotify watch of the output folder of
# its own. At 10, 100 and 1,000 files a minute; the median and the 99th percentile, beside the
# time a one-shot conversion of one such file takes (the median of 20 runs of the program, start
# and flushes included). A growing backlog shows as later files waiting longer than earlier ones:
# the medians of the first and the last third are given.
#
# Usage: bench/watch_latency.sh [build folder, default build/linux]
# Environment: DURATION (seconds per rate, default 60; twice that at 10 a minute), WORK (default
# a fresh folder).
set -euo pipefail

cd "$(dirname "$0")/.."
build=${1:-build/linux}
program=$PWD/$build/app/cli/halvrenn-cdr
feeder=$PWD/tests/app/cli/watch_feeder.py
duration=${DURATION:-60}
work=${WORK:-$(mktemp -d)}
export TZ=America/New_York LC_ALL=C.UTF-8

[ -x "$program" ] || { echo "build halvrenn-cdr first: cmake --build --preset linux" >&2; exit 1; }

# The time each output is renamed into place, by an inotify watch (ctypes over the C library).
watch_outputs() {  # <folder> <file of "name time" lines>
  exec python3 - "$@" <<'PYTHON'
import ctypes, os, struct, sys, time
libc = ctypes.CDLL(None, use_errno=True)
IN_MOVED_TO = 0x80
descriptor = libc.inotify_init()
libc.inotify_add_watch(descriptor, sys.argv[1].encode(), IN_MOVED_TO)
with open(sys.argv[2], "w", buffering=1) as out:
    while True:
        data = os.read(descriptor, 65536)
        now = time.time()
        offset = 0
        while offset < len(data):
            _, _, _, length = struct.unpack_from("iIII", data, offset)
            name = data[offset + 16:offset + 16 + length].rstrip(b"\0").decode()
            offset += 16 + length
            if name.endswith(".converted.csv"):
                out.write(f"{name[:-len('.converted.csv')]} {now:.6f}\n")
PYTHON
}

percentiles() {  # latencies in ms on standard input: count, median, p99, first and last third
  sort -n | awk '{ v[NR] = $1 } END {
    printf "%d %.1f %.1f\n", NR, v[int((NR + 1) / 2)], v[int(NR * 0.99 + 0.999)] }'
}

# A one-shot conversion of one 1,000-record file, as the watcher converts it.
mkdir -p "$work/sample" "$work/sample_out"
python3 "$feeder" "$work/sample" "$work/sample.manifest" --nodes 1 --every 0 --seconds 0.01 \
  --records 1000,1000 >/dev/null
sample=$(ls "$work/sample" | head -1)
conversion=$(for _ in $(seq 20); do
  start=$EPOCHREALTIME
  "$program" -fq -o "$work/sample_out" "$work/sample/$sample"
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f\n", (b - a) * 1000 }'
done | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
size=$(stat -c %s "$work/sample/$sample")

printf '\n1,000-record files (%d KB); a one-shot conversion of one takes %s ms (median)\n\n' \
  $((size / 1000)) "$conversion"
printf '| files a minute | files | median | 99th percentile | first third | last third |\n'
printf '|---------------:|------:|-------:|----------------:|------------:|-----------:|\n'
for rate in 10 100 1000; do
  folder=$work/rate_$rate
  mkdir -p "$folder/in" "$folder/out"
  seconds=$duration
  if [ "$rate" -eq 10 ]; then seconds=$((seconds * 2)); fi
  "$program" --watch "$folder/in" --output "$folder/out" --log "$folder/watch.log" &
  watcher=$!
  watch_outputs "$folder/out" "$folder/renamed" &
  observer=$!
  sleep 0.5
  python3 "$feeder" "$folder/in" "$folder/manifest" --nodes 1 \
    --every "$(awk -v r="$rate" 'BEGIN { print 60 / r }')" --seconds "$seconds" \
    --records 1000,1000
  sleep 2
  kill -TERM "$watcher"
  wait "$watcher" || true
  kill "$observer"
  wait "$observer" 2>/dev/null || true
  # Latency per file in ms, in the order of the uploads.
  join <(sort "$folder/manifest" | cut -d' ' -f1,2) <(sort "$folder/renamed") |
    sort -k2,2n | awk '{ printf "%.1f\n", ($3 - $2) * 1000 }' >"$folder/latency"
  count=$(wc -l <"$folder/latency")
  third=$((count / 3))
  read -r files median p99 < <(percentiles <"$folder/latency")
  first=$(head -n "$third" "$folder/latency" | percentiles | cut -d' ' -f2)
  last=$(tail -n "$third" "$folder/latency" | percentiles | cut -d' ' -f2)
  printf '| %14d | %5d | %3.1f ms | %12.1f ms | %8.1f ms | %7.1f ms |\n' \
    "$rate" "$files" "$median" "$p99" "$first" "$last"
done
echo
echo "Goal: a median under 50 ms plus the conversion's $conversion ms; no growing backlog."
[ -n "${WORK:-}" ] || rm -rf "$work"
