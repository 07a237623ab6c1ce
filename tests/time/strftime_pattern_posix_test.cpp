// The compiled patterns render exactly what the C library's strftime renders, in every locale the
// tests generate, and refuse whatever they do not know so that strftime renders it instead.

#include "time/strftime_pattern_posix.h"

#include <langinfo.h>

#include <gtest/gtest.h>

#include <clocale>
#include <ctime>
#include <string>
#include <vector>

#include "strftime_reference_posix.h"

namespace halvrenn {
namespace {

// Sets LC_TIME for one test and puts back the run's own.
class ScopedTimeLocale {
 public:
  explicit ScopedTimeLocale(const char* locale) : previous_(std::setlocale(LC_TIME, nullptr)) {
    active_ = std::setlocale(LC_TIME, locale) != nullptr;
  }
  ~ScopedTimeLocale() { std::setlocale(LC_TIME, previous_.c_str()); }
  bool active() const { return active_; }

 private:
  std::string previous_;
  bool active_ = false;
};

AmPmText LocaleAmPm() {
  return {nl_langinfo(AM_STR), nl_langinfo(PM_STR), nl_langinfo(T_FMT_AMPM)};
}

using testing::ReferenceStrftime;

// Every hour of the day (midnight and noon are where twelve-hour clocks turn), single- and
// two-digit days and months, and the first and last years rendered.
std::vector<CivilDateTime> SampleTimes() {
  std::vector<CivilDateTime> times;
  for (int hour = 0; hour < 24; ++hour) times.push_back({1970, 1, 1, hour, hour * 2, 59 - hour, 4});
  times.push_back({2038, 1, 19, 3, 14, 7, 2});
  times.push_back({1901, 12, 13, 20, 45, 52, 5});
  times.push_back({2000, 2, 29, 12, 0, 0, 2});
  times.push_back({1000, 10, 9, 9, 9, 9, 0});
  times.push_back({9999, 12, 31, 23, 59, 59, 5});
  return times;
}

TEST(StrftimePattern, RendersAsStrftimeInEveryLocale) {
  const char* locales[] = {"C.UTF-8",     "en_US.UTF-8", "de_DE.UTF-8",
                           "el_GR.UTF-8", "ko_KR.UTF-8", "en_GB.UTF-8"};
  const char* patterns[] = {
      "%Y-%m-%d",    "%m/%d/%Y", "%d.%m.%Y",   "%e.%m.%Y", "%H:%M:%S",          "%I:%M:%S %p",
      "%r",          "%T",       "%R",         "%F",       "%p %I시 %M분 %S초", "%Y년 %m월 %d일",
      "100%% %n%t|", "",         "%d/%m/%Y %r"};
  for (const char* locale : locales) {
    const ScopedTimeLocale scoped(locale);
    ASSERT_TRUE(scoped.active()) << locale << " is not generated (scripts/setup.sh does it)";
    for (const char* pattern : patterns) {
      const auto compiled = StrftimePattern::Compile(pattern, LocaleAmPm());
      if (!compiled) {
        // Only a locale's own twelve-hour pattern may hold what is left to strftime (en_GB's
        // "%l:%M:%S %P %Z").
        EXPECT_NE(std::string(pattern).find("%r"), std::string::npos) << locale << pattern;
        EXPECT_FALSE(StrftimePattern::Compile(nl_langinfo(T_FMT_AMPM), LocaleAmPm())) << locale;
        continue;
      }
      for (const CivilDateTime& when : SampleTimes()) {
        std::string text = "kept:";
        ASSERT_TRUE(compiled->AppendTo(text, when));
        EXPECT_EQ(text, "kept:" + ReferenceStrftime(pattern, when))
            << locale << " '" << pattern << "' " << when.year << '-' << when.month << '-'
            << when.day << ' ' << when.hour << ':' << when.minute << ':' << when.second;
      }
    }
  }
}

TEST(StrftimePattern, LeavesToStrftimeWhatItDoesNotKnow) {
  const AmPmText am_pm{"AM", "PM", ""};
  for (const char* pattern : {"%b %d", "%A", "%-d", "%_m", "%5Y", "%Ey", "%Od", "%y", "%D", "%c",
                              "%x", "%Z", "%P", "%l", "%j", "100%"}) {
    EXPECT_FALSE(StrftimePattern::Compile(pattern, am_pm).has_value()) << pattern;
  }
  // A twelve-hour pattern that refers to itself is refused rather than followed.
  EXPECT_FALSE(StrftimePattern::Compile("%r", {"AM", "PM", "%r"}).has_value());
  // An unknown conversion inside the locale's twelve-hour pattern refuses the whole pattern.
  EXPECT_FALSE(StrftimePattern::Compile("%r", {"am", "pm", "%l:%M:%S %P %Z"}).has_value());
}

TEST(StrftimePattern, RefusesYearsWhoseWidthStrftimeDecides) {
  const auto compiled = StrftimePattern::Compile("%Y-%m-%d", {"AM", "PM", ""});
  ASSERT_TRUE(compiled.has_value());
  for (const int year : {1, 999, 10000}) {
    std::string text;
    EXPECT_FALSE(compiled->AppendTo(text, {year, 1, 1, 0, 0, 0, 0})) << year;
    EXPECT_TRUE(text.empty()) << year;
  }
}

}  // namespace
}  // namespace halvrenn
