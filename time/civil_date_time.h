#pragma once

#include <cstdint>

namespace halvrenn {

// A proleptic Gregorian date and time of day, as the renderers of the platform take it.
struct CivilDateTime {
  std::int32_t year;  // [1, 9999] for every value the core produces
  int month;          // [1, 12]
  int day;            // [1, 31]
  int hour;           // [0, 23]
  int minute;         // [0, 59]
  int second;         // [0, 59]
  int weekday;        // [0, 6], 0 = Sunday

  friend bool operator==(const CivilDateTime&, const CivilDateTime&) = default;
};

inline constexpr std::int64_t kSecondsPerDay = 86400;
// "Daylight" time is standard time plus one hour, in every zone and on every date.
inline constexpr std::int64_t kDaylightShiftSeconds = 3600;

// The day that holds a count of seconds since 1970-01-01 00:00:00 (or since any midnight):
// division rounded down, so that the second before the epoch lies on day -1.
constexpr std::int64_t DayOfSeconds(std::int64_t seconds_since_1970) {
  return seconds_since_1970 / kSecondsPerDay - (seconds_since_1970 % kSecondsPerDay < 0 ? 1 : 0);
}

struct CivilDate {
  std::int64_t year;
  unsigned month;  // [1, 12]
  unsigned day;    // [1, 31]
};

// Howard Hinnant's civil_from_days (https://howardhinnant.github.io/date_algorithms.html):
// days since 1970-01-01 to a proleptic Gregorian date. Eras are 400-year cycles of 146097 days
// that start on a March 1st, so the leap day falls at the end of the counted year.
constexpr CivilDate CivilFromDays(std::int64_t days_since_1970) {
  const std::int64_t z = days_since_1970 + 719468;  // days since 0000-03-01
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto day_of_era = static_cast<unsigned>(z - era * 146097);  // [0, 146096]
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) /
      365;  // [0, 399]
  const unsigned day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);  // [0, 365]
  const unsigned month_from_march = (5 * day_of_year + 2) / 153;               // [0, 11]
  const unsigned day = day_of_year - (153 * month_from_march + 2) / 5 + 1;     // [1, 31]
  const unsigned month = month_from_march < 10 ? month_from_march + 3 : month_from_march - 9;
  const std::int64_t year =
      static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0);
  return {year, month, day};
}

// Howard Hinnant's days_from_civil, the inverse of CivilFromDays: days since 1970-01-01 of a
// proleptic Gregorian date.
constexpr std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  const std::int64_t year_from_march = month <= 2 ? year - 1 : year;
  const std::int64_t era = (year_from_march >= 0 ? year_from_march : year_from_march - 399) / 400;
  const auto year_of_era = static_cast<unsigned>(year_from_march - era * 400);  // [0, 399]
  const unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  // [0, 365]
  const unsigned day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;  // [0, 146096]
  return era * 146097 + static_cast<std::int64_t>(day_of_era) - 719468;
}

// 1970-01-01 was a Thursday; the result is [0, 6] with 0 = Sunday.
constexpr int WeekdayFromDays(std::int64_t days_since_1970) {
  const std::int64_t remainder = (days_since_1970 + 4) % 7;  // [-6, 6]
  return static_cast<int>(remainder < 0 ? remainder + 7 : remainder);
}

static_assert(CivilFromDays(0).year == 1970 && CivilFromDays(0).month == 1 &&
              CivilFromDays(0).day == 1);
static_assert(CivilFromDays(-25569).year == 1899 && CivilFromDays(-25569).month == 12 &&
              CivilFromDays(-25569).day == 30);
static_assert(CivilFromDays(11016).month == 2 && CivilFromDays(11016).day == 29);  // 2000-02-29
static_assert(DaysFromCivil(1970, 1, 1) == 0 && DaysFromCivil(1899, 12, 30) == -25569 &&
              DaysFromCivil(2000, 2, 29) == 11016 && DaysFromCivil(2038, 1, 19) == 24855);
static_assert(DayOfSeconds(0) == 0 && DayOfSeconds(-1) == -1 && DayOfSeconds(86399) == 0 &&
              DayOfSeconds(-86400) == -1 && DayOfSeconds(-86401) == -2);
static_assert(WeekdayFromDays(0) == 4 && WeekdayFromDays(-1) == 3 && WeekdayFromDays(-7) == 4);

}  // namespace halvrenn
