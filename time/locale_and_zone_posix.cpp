// The platform seam on POSIX systems (glibc): the zone from tzset(), the formats from the locale
// that the program's start selected with setlocale(LC_ALL, "").

#include <langinfo.h>

#include <clocale>
#include <cstring>
#include <ctime>
#include <string_view>

#include "locale_and_zone.h"

namespace halvrenn::platform {
namespace {

// The C and POSIX locales only offer a two-digit year and a US month order; ISO 8601 reads
// unambiguously instead.
bool IsPlainCLocale(const char* name) {
  if (name == nullptr) return true;
  const std::string_view locale(name);
  return locale == "C" || locale == "POSIX" || locale.starts_with("C.");
}

// Adapts a locale's strftime pattern to a time that carries no zone:
// - a two-digit year (%y, also as %Ey, %Oy, %-y) becomes four digits, because the range of
//   32-bit counts spans 1901 to 2038 and two digits would be ambiguous; %D is %m/%d/%Y;
// - zone names and offsets (%Z, %z) are dropped with the blanks before them: the renderer draws
//   Greenwich and local times alike and knows neither zone's name.
std::string AdaptPattern(std::string_view pattern) {
  std::string adapted;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] != '%') {
      adapted += pattern[i];
      continue;
    }
    std::size_t j = i + 1;
    std::string flags;
    while (j < pattern.size() && std::strchr("-_0^#", pattern[j]) != nullptr) flags += pattern[j++];
    while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9') flags += pattern[j++];
    std::string modifier;
    if (j < pattern.size() && (pattern[j] == 'E' || pattern[j] == 'O')) modifier = pattern[j++];
    if (j >= pattern.size()) break;
    const char conversion = pattern[j];
    if (conversion == 'y') {
      adapted += '%' + flags + 'Y';
    } else if (conversion == 'D') {
      adapted += "%m/%d/%Y";
    } else if (conversion == 'Z' || conversion == 'z') {
      while (!adapted.empty() && (adapted.back() == ' ' || adapted.back() == '\t')) {
        adapted.pop_back();
      }
    } else {
      adapted += '%' + flags + modifier + conversion;
    }
    i = j;
  }
  const std::size_t first = adapted.find_first_not_of(" \t");
  return first == std::string::npos ? std::string() : adapted.substr(first);
}

int DayOfYear(const CivilDateTime& when) {
  static constexpr int kDaysBeforeMonth[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
  const bool leap = (when.year % 4 == 0 && when.year % 100 != 0) || when.year % 400 == 0;
  return kDaysBeforeMonth[when.month - 1] + when.day - 1 + (leap && when.month > 2 ? 1 : 0);
}

std::string Render(const std::string& pattern, const CivilDateTime& when) {
  if (pattern.empty()) return {};
  std::tm fields{};
  fields.tm_year = when.year - 1900;
  fields.tm_mon = when.month - 1;
  fields.tm_mday = when.day;
  fields.tm_hour = when.hour;
  fields.tm_min = when.minute;
  fields.tm_sec = when.second;
  fields.tm_wday = when.weekday;
  fields.tm_yday = DayOfYear(when);
  fields.tm_isdst = -1;
  // strftime returns 0 both for an empty result and for a buffer too small: grow a few times.
  for (std::size_t size = 64; size <= 4096; size *= 4) {
    std::string text(size, '\0');
    const std::size_t length = std::strftime(text.data(), text.size(), pattern.c_str(), &fields);
    if (length > 0) {
      text.resize(length);
      return text;
    }
  }
  return {};
}

}  // namespace

std::int32_t ZoneBiasMinutes() {
  tzset();  // re-reads TZ, or /etc/localtime when TZ is unset and the file changed
  // The base offset is the smaller of the offsets the zone keeps in mid-January and mid-July of
  // this year: where clocks change, standard time is the one behind, in either hemisphere. glibc's
  // `timezone` would be simpler, but tzdata writes Irish winter time as a negative daylight
  // saving, which puts Dublin's standard time an hour east of Greenwich.
  const std::time_t now = std::time(nullptr);
  std::tm today{};
  if (localtime_r(&now, &today) == nullptr) return 0;
  long smallest_offset = 0;  // seconds east of Greenwich
  bool first = true;
  for (const int month : {0, 6}) {
    std::tm probe{};
    probe.tm_year = today.tm_year;
    probe.tm_mon = month;
    probe.tm_mday = 15;
    probe.tm_hour = 12;
    probe.tm_isdst = -1;
    const std::time_t instant = std::mktime(&probe);
    std::tm local{};
    if (instant == static_cast<std::time_t>(-1) || localtime_r(&instant, &local) == nullptr)
      return 0;
    if (first || local.tm_gmtoff < smallest_offset) smallest_offset = local.tm_gmtoff;
    first = false;
  }
  // Zones lie within a day of Greenwich, so the minutes fit 32 bits.
  return static_cast<std::int32_t>(-smallest_offset / 60);
}

std::string FormatShortDate(const CivilDateTime& when) {
  if (IsPlainCLocale(std::setlocale(LC_TIME, nullptr))) return Render("%Y-%m-%d", when);
  const std::string pattern = AdaptPattern(nl_langinfo(D_FMT));
  return Render(pattern.empty() ? std::string("%Y-%m-%d") : pattern, when);
}

std::string FormatLongTime(const CivilDateTime& when) {
  if (IsPlainCLocale(std::setlocale(LC_TIME, nullptr))) return Render("%H:%M:%S", when);
  const std::string pattern = AdaptPattern(nl_langinfo(T_FMT));
  return Render(pattern.empty() ? std::string("%H:%M:%S") : pattern, when);
}

std::string DecimalSeparator() { return nl_langinfo(RADIXCHAR); }

}  // namespace halvrenn::platform
