#pragma once

// strftime itself, as the tests' reference for the texts the compiled patterns and the adapted
// locale patterns render.

#include <ctime>
#include <string>

#include "time/civil_date_time.h"

namespace halvrenn::testing {

inline std::tm ReferenceFields(const CivilDateTime& when) {
  std::tm fields{};
  fields.tm_year = when.year - 1900;
  fields.tm_mon = when.month - 1;
  fields.tm_mday = when.day;
  fields.tm_hour = when.hour;
  fields.tm_min = when.minute;
  fields.tm_sec = when.second;
  fields.tm_wday = when.weekday;
  fields.tm_isdst = -1;
  return fields;
}

inline std::string ReferenceStrftime(const std::string& pattern, const std::tm& fields) {
  char text[512];
  return {text, std::strftime(text, sizeof text, pattern.c_str(), &fields)};
}

inline std::string ReferenceStrftime(const std::string& pattern, const CivilDateTime& when) {
  return ReferenceStrftime(pattern, ReferenceFields(when));
}

}  // namespace halvrenn::testing
