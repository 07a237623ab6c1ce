// Walks every 32-bit signed count (all 2^32) through AddSeconds(count, EpochBase) and the
// rounding and split that FormatGeneralDate renders, and compares the calendar fields with an
// odometer: a clock advanced one second at a time by plain integer carries, with the Gregorian
// leap rule and nothing else. Two threads: one walks up from -2^31, one from 0; each odometer
// must end where the other began. Prints the mismatches and the time taken; exits 1 on any.

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <thread>

#include "time/serial_date.h"

namespace {

struct Odometer {
  std::int32_t year;
  int month, day, hour, minute, second, weekday;

  static bool IsLeap(std::int32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
  int DaysInMonth() const {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
  }
  void Tick() {
    if (++second < 60) return;
    second = 0;
    if (++minute < 60) return;
    minute = 0;
    if (++hour < 24) return;
    hour = 0;
    weekday = (weekday + 1) % 7;
    if (++day <= DaysInMonth()) return;
    day = 1;
    if (++month <= 12) return;
    month = 1;
    ++year;
  }
  bool Matches(const halvrenn::CivilDateTime& c) const {
    return c.year == year && c.month == month && c.day == day && c.hour == hour &&
           c.minute == minute && c.second == second && c.weekday == weekday;
  }
  bool operator==(const Odometer&) const = default;
};

struct Walk {
  std::int64_t first_count;
  Odometer clock;     // the calendar at first_count
  Odometer expected;  // the calendar one past the last count walked
  std::uint64_t mismatches = 0;
};

constexpr std::int64_t kHalf = std::int64_t{1} << 31;

void Run(Walk& walk) {
  for (std::int64_t count = walk.first_count; count < walk.first_count + kHalf; ++count) {
    const auto civil = halvrenn::SplitSerialDate(
        halvrenn::AddSeconds(static_cast<double>(count), halvrenn::EpochBase));
    if (!civil || !walk.clock.Matches(*civil)) {
      if (++walk.mismatches <= 10) {
        std::printf("mismatch at %lld: %04d-%02d-%02d %02d:%02d:%02d expected\n",
                    static_cast<long long>(count), walk.clock.year, walk.clock.month,
                    walk.clock.day, walk.clock.hour, walk.clock.minute, walk.clock.second);
      }
    }
    walk.clock.Tick();
  }
  if (!(walk.clock == walk.expected)) {
    std::printf("the walk from %lld ends at %04d-%02d-%02d %02d:%02d:%02d\n",
                static_cast<long long>(walk.first_count), walk.clock.year, walk.clock.month,
                walk.clock.day, walk.clock.hour, walk.clock.minute, walk.clock.second);
    ++walk.mismatches;
  }
}

}  // namespace

int main() {
  // Well-known instants: -2^31 is Friday 1901-12-13 20:45:52, 0 is Thursday 1970-01-01, and 2^31
  // is Tuesday 2038-01-19 03:14:08. Weekdays count from Sunday = 0.
  const Odometer kMinimum{1901, 12, 13, 20, 45, 52, 5};
  const Odometer kEpoch{1970, 1, 1, 0, 0, 0, 4};
  const Odometer kBeyondMaximum{2038, 1, 19, 3, 14, 8, 2};
  Walk lower{-kHalf, kMinimum, kEpoch};
  Walk upper{0, kEpoch, kBeyondMaximum};

  const auto start = std::chrono::steady_clock::now();
  std::thread lower_thread(Run, std::ref(lower));
  Run(upper);
  lower_thread.join();
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

  const std::uint64_t mismatches = lower.mismatches + upper.mismatches;
  std::printf("%llu counts checked, %llu mismatches, %.1f s\n",
              static_cast<unsigned long long>(2 * kHalf),
              static_cast<unsigned long long>(mismatches), elapsed.count());
  return mismatches == 0 ? 0 : 1;
}
