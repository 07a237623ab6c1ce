#include <cstdio>
#include <ctime>

#include "reference.h"

namespace halvrenn::testing {

ReferenceDateTime ReferenceCalendar(std::int64_t seconds_since_1970) {
  const auto time = static_cast<std::time_t>(seconds_since_1970);
  std::tm fields{};
  gmtime_r(&time, &fields);
  return {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour,
          fields.tm_min,         fields.tm_sec,     fields.tm_wday};
}

// ISO 8601, as the C.UTF-8 locale of the native test runs shows dates.
std::string ExpectedDateText(std::int64_t seconds_since_1970) {
  const ReferenceDateTime r = ReferenceCalendar(seconds_since_1970);
  char text[64];
  if (r.hour == 0 && r.minute == 0 && r.second == 0) {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", r.year, r.month, r.day);
  } else {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", r.year, r.month, r.day,
                  r.hour, r.minute, r.second);
  }
  return text;
}

}  // namespace halvrenn::testing
