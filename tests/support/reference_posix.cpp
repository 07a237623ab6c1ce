#include <clocale>
#include <cstdio>
#include <ctime>
#include <string_view>

#include "reference.h"

namespace halvrenn::testing {

ReferenceDateTime ReferenceCalendar(std::int64_t seconds_since_1970) {
  const auto time = static_cast<std::time_t>(seconds_since_1970);
  std::tm fields{};
  gmtime_r(&time, &fields);
  return {fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour,
          fields.tm_min,         fields.tm_sec,     fields.tm_wday};
}

// ISO 8601 in the C locales, and glibc's German pattern (%d.%m.%Y %T) in de_DE: the two locales
// the native runs that compare whole dates use.
std::string ExpectedDateText(std::int64_t seconds_since_1970) {
  const ReferenceDateTime r = ReferenceCalendar(seconds_since_1970);
  const char* locale = std::setlocale(LC_TIME, nullptr);
  const bool german = locale != nullptr && std::string_view(locale).starts_with("de_DE");
  char date[32];
  if (german) {
    std::snprintf(date, sizeof date, "%02d.%02d.%04d", r.day, r.month, r.year);
  } else {
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", r.year, r.month, r.day);
  }
  if (r.hour == 0 && r.minute == 0 && r.second == 0) return date;
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", r.hour, r.minute, r.second);
  return std::string(date) + " " + time;
}

}  // namespace halvrenn::testing
