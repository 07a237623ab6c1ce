#include <windows.h>

#include <cstdio>

#include "reference.h"

namespace halvrenn::testing {

// FILETIME counts 100-ns ticks from 1601-01-01, 11644473600 seconds before 1970.
ReferenceDateTime ReferenceCalendar(std::int64_t seconds_since_1970) {
  const auto ticks = static_cast<std::uint64_t>(seconds_since_1970 + 11644473600) * 10000000u;
  FILETIME file_time{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME t{};
  FileTimeToSystemTime(&file_time, &t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wDayOfWeek};
}

// US English, Wine's default user locale: M/d/yyyy and h:mm:ss tt.
std::string ExpectedDateText(std::int64_t seconds_since_1970) {
  const ReferenceDateTime r = ReferenceCalendar(seconds_since_1970);
  char text[64];
  if (r.hour == 0 && r.minute == 0 && r.second == 0) {
    std::snprintf(text, sizeof text, "%d/%d/%d", r.month, r.day, r.year);
  } else {
    const int hour12 = r.hour % 12 == 0 ? 12 : r.hour % 12;
    std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d:%02d %s", r.month, r.day, r.year, hour12,
                  r.minute, r.second, r.hour < 12 ? "AM" : "PM");
  }
  return text;
}

}  // namespace halvrenn::testing
