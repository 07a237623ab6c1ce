// The platform seam on Windows: the zone from GetTimeZoneInformation, the formats of the user's
// locale from the NLS functions. Texts arrive in UTF-16 and leave in UTF-8.

#include <windows.h>

#include <string>
#include <vector>

#include "time/locale_and_zone.h"
#include "time/number_text.h"
#include "time/utf16_text.h"

namespace halvrenn::platform {
namespace {

// The NLS functions report the size they need, terminator included, when given no buffer.
template <typename Call>
std::string ReadNlsText(Call call) {
  const int size = call(nullptr, 0);
  if (size <= 0) return {};
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  const int written = call(text.data(), size);
  if (written <= 0) return {};
  text.resize(static_cast<std::size_t>(written - 1));
  return Utf8FromUtf16(text);
}

// The NLS renderers accept years from 1601 on; an earlier date fails and renders as "Invalid".
SYSTEMTIME ToSystemTime(const CivilDateTime& when) {
  SYSTEMTIME time{};
  time.wYear = static_cast<WORD>(when.year);
  time.wMonth = static_cast<WORD>(when.month);
  time.wDayOfWeek = static_cast<WORD>(when.weekday);
  time.wDay = static_cast<WORD>(when.day);
  time.wHour = static_cast<WORD>(when.hour);
  time.wMinute = static_cast<WORD>(when.minute);
  time.wSecond = static_cast<WORD>(when.second);
  return time;
}

}  // namespace

std::int32_t ZoneBiasMinutes() {
  // Zero-filled first, so a call that fails and writes nothing leaves Greenwich. The return
  // value (standard, daylight, unknown or failure) is deliberately not used.
  TIME_ZONE_INFORMATION zone{};
  GetTimeZoneInformation(&zone);
  return static_cast<std::int32_t>(zone.Bias);
}

std::string FormatDateTime(const CivilDateTime& when, bool with_time) {
  const SYSTEMTIME time = ToSystemTime(when);
  std::string text = ReadNlsText([&](wchar_t* buffer, int size) {
    return GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, buffer, size,
                           nullptr);
  });
  if (text.empty() || !with_time) return text;
  const std::string time_of_day = ReadNlsText([&](wchar_t* buffer, int size) {
    return GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &time, nullptr, buffer, size);
  });
  if (time_of_day.empty()) return {};
  text += ' ';
  text += time_of_day;
  return text;
}

std::string DecimalSeparator() {
  return ReadNlsText([](wchar_t* buffer, int size) {
    return GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, buffer, size);
  });
}

std::string GroupedCount(std::uint64_t count) {
  const std::string separator = ReadNlsText([](wchar_t* buffer, int size) {
    return GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, buffer, size);
  });
  // "3;0": groups of three; "3;2;0": three, then twos (India); "3": three, then no more.
  const std::string grouping = ReadNlsText([](wchar_t* buffer, int size) {
    return GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SGROUPING, buffer, size);
  });
  std::vector<int> groups;
  bool repeat_last = false;
  for (const char c : grouping) {
    if (c < '0' || c > '9') continue;
    if (c == '0') {
      repeat_last = true;
      break;
    }
    groups.push_back(c - '0');
  }
  if (separator.empty()) groups.clear();
  return GroupDigits(count, separator, groups, repeat_last);
}

}  // namespace halvrenn::platform
