// The user's formats on POSIX systems (glibc): the locale that the program's start selected with
// setlocale(LC_ALL, ""). The zone is read in zone_posix.cpp.

#include <langinfo.h>

#include <array>
#include <clocale>
#include <cstring>
#include <ctime>
#include <optional>
#include <string_view>

#include "locale_and_zone.h"
#include "strftime_pattern.h"

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
      adapted += '%';
      adapted += flags;
      adapted += modifier;
      adapted += conversion;
    }
    i = j;
  }
  const std::size_t first = adapted.find_first_not_of(" \t");
  return first == std::string::npos ? std::string() : adapted.substr(first);
}

int DayOfYear(const CivilDateTime& when) {
  static constexpr std::array<int, 12> kDaysBeforeMonth = {0,   31,  59,  90,  120, 151,
                                                           181, 212, 243, 273, 304, 334};
  const bool leap = (when.year % 4 == 0 && when.year % 100 != 0) || when.year % 400 == 0;
  return kDaysBeforeMonth[static_cast<std::size_t>(when.month - 1)] + when.day - 1 +
         (leap && when.month > 2 ? 1 : 0);
}

std::string RenderWithStrftime(const std::string& pattern, const CivilDateTime& when) {
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
  // strftime returns 0 both for an empty result and for a buffer too small. Every pattern of a
  // real locale fits the stack buffer; a longer result is tried in a few larger ones.
  std::array<char, 128> text{};
  std::size_t length = std::strftime(text.data(), text.size(), pattern.c_str(), &fields);
  if (length > 0) return std::string(text.data(), length);
  for (std::size_t size = 512; size <= 8192; size *= 4) {
    std::string larger(size, '\0');
    length = std::strftime(larger.data(), larger.size(), pattern.c_str(), &fields);
    if (length > 0) {
      larger.resize(length);
      return larger;
    }
  }
  return {};
}

// The user's date and time patterns, adapted by AdaptPattern and compiled, kept while LC_TIME
// names the same locale and gives the same raw patterns and AM/PM texts: adapting and compiling
// cost more than rendering, and the check is a few string compares.
class LocalePatterns {
 public:
  // The date, and unless `with_time` is false one blank and the time; empty on failure.
  std::string Render(const CivilDateTime& when, bool with_time) {
    Refresh();
    const std::optional<StrftimePattern>& compiled =
        with_time ? compiled_date_and_time_ : compiled_date_;
    std::string text;
    if (compiled && compiled->AppendTo(text, when)) return text;
    text = RenderWithStrftime(date_pattern_, when);
    if (text.empty() || !with_time) return text;
    const std::string time = RenderWithStrftime(time_pattern_, when);
    return time.empty() ? std::string() : text + ' ' + time;
  }

 private:
  static constexpr const char* kIsoDate = "%Y-%m-%d";
  static constexpr const char* kIsoTime = "%H:%M:%S";

  // What the patterns are made from, as the C library gives it now.
  struct Source {
    const char* locale_name;
    bool plain_c;
    std::array<const char*, 5> texts;  // D_FMT, T_FMT, AM_STR, PM_STR, T_FMT_AMPM
  };

  static Source ReadSource() {
    const char* locale_name = std::setlocale(LC_TIME, nullptr);
    const bool plain_c = IsPlainCLocale(locale_name);
    return {locale_name,
            plain_c,
            {plain_c ? kIsoDate : nl_langinfo(D_FMT), plain_c ? kIsoTime : nl_langinfo(T_FMT),
             nl_langinfo(AM_STR), nl_langinfo(PM_STR), nl_langinfo(T_FMT_AMPM)}};
  }

  bool IsCurrent(const Source& source) const {
    if (!valid_ || source.locale_name == nullptr || locale_name_ != source.locale_name) {
      return false;
    }
    // glibc never unloads the data of a locale that setlocale loaded, so a text at the address
    // seen before is the text seen before; only a new address needs comparing.
    for (std::size_t i = 0; i < source.texts.size(); ++i) {
      if (addresses_[i] != source.texts[i] && texts_[i] != source.texts[i]) return false;
    }
    return true;
  }

  void Refresh() {
    const Source source = ReadSource();
    if (IsCurrent(source)) return;
    valid_ = false;
    locale_name_ = source.locale_name != nullptr ? source.locale_name : "";
    addresses_ = source.texts;
    for (std::size_t i = 0; i < source.texts.size(); ++i) texts_[i] = source.texts[i];
    // A locale without a pattern falls back to ISO 8601 too.
    date_pattern_ = source.plain_c ? texts_[0] : AdaptPattern(texts_[0]);
    if (date_pattern_.empty()) date_pattern_ = kIsoDate;
    time_pattern_ = source.plain_c ? texts_[1] : AdaptPattern(texts_[1]);
    if (time_pattern_.empty()) time_pattern_ = kIsoTime;
    const AmPmText am_pm{texts_[2], texts_[3], texts_[4]};
    compiled_date_ = StrftimePattern::Compile(date_pattern_, am_pm);
    compiled_date_and_time_ = StrftimePattern::Compile(date_pattern_ + ' ' + time_pattern_, am_pm);
    valid_ = source.locale_name != nullptr;
  }

  bool valid_ = false;
  std::string locale_name_;
  std::array<const char*, 5> addresses_{};
  std::array<std::string, 5> texts_;
  std::string date_pattern_;
  std::string time_pattern_;
  std::optional<StrftimePattern> compiled_date_;
  std::optional<StrftimePattern> compiled_date_and_time_;
};

}  // namespace

std::string FormatDateTime(const CivilDateTime& when, bool with_time) {
  thread_local LocalePatterns patterns;
  return patterns.Render(when, with_time);
}

std::string DecimalSeparator() { return nl_langinfo(RADIXCHAR); }

}  // namespace halvrenn::platform
