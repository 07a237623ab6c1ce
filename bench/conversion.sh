#!/usr/bin/env bash
# Halvrenn's conversions beside the same work done with the C library (bench/conversion_benchmark.cpp),
# in the zones and locales a desktop has: TZ unset (the zone from /etc/localtime, as on most
# desktops) and set, the C locale and two real ones. Prints the median times and the ratios.
# Goals: a Greenwich text within 1.1x of gmtime_r + strftime, a whole change of the input within
# 1.25x of tzset + gmtime_r + localtime_r twice + strftime three times.
#
# usage, from the repository root: bench/conversion.sh [REPETITIONS]
set -euo pipefail

repetitions=${1:-${REPETITIONS:-7}}
build=build/linux
benchmark=$build/bench/bench_conversion

[ -f CMakePresets.json ] || { echo "run this from the repository root" >&2; exit 2; }
cmake --preset linux >/dev/null  # also turns the benchmarks on in an older build folder
cmake --build --preset linux --target bench_conversion >&2

# zone ("-" for TZ unset) and locale of each run
runs=(
  "- C.UTF-8"
  "- en_US.UTF-8"
  "America/New_York en_US.UTF-8"
  "Europe/Berlin de_DE.UTF-8"
)

printf '%-18s %-12s %-10s %10s %10s %7s\n' zone locale work Halvrenn "C library" ratio
for run in "${runs[@]}"; do
  read -r zone locale <<<"$run"
  if [ "$zone" = - ]; then
    environment=(env -u TZ "LC_ALL=$locale")
  else
    environment=(env "TZ=$zone" "LC_ALL=$locale")
  fi
  "${environment[@]}" "$benchmark" --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only=true |
    awk -v zone="${zone/#-/(unset)}" -v locale="$locale" '
      $1 ~ /_median$/ {
        name = $1; sub(/_median$/, "", name)
        # Google Benchmark prints the time and its unit as two fields.
        value = $2; unit = $3
        if (unit == "us") value *= 1000; else if (unit == "ms") value *= 1000000
        ns[name] = value
      }
      END {
        split("GmtText InputChange", works, " ")
        for (i = 1; i <= 2; ++i) {
          work = works[i]
          ours = ns[work "Halvrenn"]; theirs = ns[work "CLibrary"]
          printf "%-18s %-12s %-10s %8.0f ns %7.0f ns %6.2fx\n", zone, locale, work, ours, theirs,
                 ours / theirs
        }
      }'
done
