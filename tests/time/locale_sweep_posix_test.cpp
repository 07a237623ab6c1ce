// Every locale glibc ships (locales-all), each set in turn: properties that any locale's texts
// must have, whatever its patterns, and the texts of the locales whose patterns need adapting.

#include <langinfo.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "strftime_reference_posix.h"
#include "time/locale_patterns_posix.h"
#include "time/serial_date.h"
#include "time/strftime_pattern_posix.h"

namespace halvrenn {
namespace {

constexpr double kEvening = 1234567890;  // 2009-02-13 23:31:30 GMT, a Friday

std::string Render(double seconds) { return FormatGeneralDate(AddSeconds(seconds, EpochBase)); }

std::vector<std::string> InstalledLocales() {
  std::vector<std::string> locales;
  FILE* list = popen("locale -a", "r");
  if (list == nullptr) return locales;
  char line[256];
  while (std::fgets(line, sizeof line, list) != nullptr) {
    std::string name(line);
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    locales.push_back(name);
  }
  pclose(list);
  return locales;
}

bool IsUtf8Locale(const std::string& name) {
  return name.find(".utf8") != std::string::npos || name.find(".UTF-8") != std::string::npos;
}

bool IsValidUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if ((lead >= 0x80 && lead < 0xC2) || lead > 0xF4 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return text.find("\xEF\xBF\xBD") == std::string::npos;  // no replacement character
}

bool HasBlankAtAnEnd(const std::string& text) {
  for (const std::string blank : {" ", "\t", "\xC2\xA0", "\xE2\x80\xAF"}) {
    if (text.starts_with(blank) || text.ends_with(blank)) return true;
  }
  return false;
}

using testing::ReferenceStrftime;

// 2009 as the locale's own date writes a full year: the era's year where the date uses an era,
// the locale's own digits where it uses them (the last character of %OS for 0 to 9).
std::string ExpectedYear(const std::tm& fields) {
  const std::string date_pattern = nl_langinfo(D_FMT);
  if (date_pattern.find("%E") != std::string::npos && *nl_langinfo(ERA) != '\0') {
    const std::string era = ReferenceStrftime("%EY", fields);
    const std::size_t first = era.find_first_of("0123456789");
    return era.substr(first, era.find_first_not_of("0123456789", first) - first);
  }
  if (date_pattern.find("%O") == std::string::npos || *nl_langinfo(ALT_DIGITS) == '\0') {
    return "2009";
  }
  std::string year;
  for (const int digit : {2, 0, 0, 9}) {
    std::tm digit_fields{};
    digit_fields.tm_sec = digit;
    const std::string written = ReferenceStrftime("%OS", digit_fields);
    std::size_t last = written.size() - 1;
    while (last > 0 && (static_cast<unsigned char>(written[last]) & 0xC0) == 0x80) --last;
    year += written.substr(last);
  }
  return year;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

TEST(LocaleSweep, EveryLocaleShowsWholeUnambiguousTexts) {
  const std::vector<std::string> locales = InstalledLocales();
  ASSERT_GT(locales.size(), 300U) << "locales-all is not installed (scripts/setup.sh does it)";
  const CivilDateTime evening{2009, 2, 13, 23, 31, 30, 5};
  std::size_t utf8_locales = 0;
  for (const std::string& locale : locales) {
    if (std::setlocale(LC_ALL, locale.c_str()) == nullptr) continue;
    const std::string text = Render(kEvening);
    SCOPED_TRACE(locale + ": " + text);
    EXPECT_TRUE(IsValidUtf8(text));
    EXPECT_FALSE(HasBlankAtAnEnd(text));
    EXPECT_NE(text, Render(kEvening + 1)) << "the seconds do not show";
    EXPECT_NE(text, Render(kEvening - 43200)) << "morning and evening read alike";
    if (!IsUtf8Locale(locale) || locale.starts_with("C.")) continue;  // C shows ISO 8601
    ++utf8_locales;

    std::tm fields = testing::ReferenceFields(evening);
    fields.tm_yday = 43;  // February 13th
    EXPECT_EQ(Occurrences(text, ExpectedYear(fields)), 1U) << ExpectedYear(fields);
    const AdaptedPatterns adapted = AdaptPatterns(
        {nl_langinfo(D_FMT), nl_langinfo(T_FMT), nl_langinfo(AM_STR), nl_langinfo(PM_STR),
         nl_langinfo(T_FMT_AMPM), *nl_langinfo(ERA) != '\0', *nl_langinfo(ALT_DIGITS) != '\0'});
    const std::string pattern = adapted.date + ' ' + adapted.time;
    if (pattern.find("%OY") != std::string::npos) continue;  // no such conversion in strftime
    EXPECT_EQ(text, ReferenceStrftime(pattern, fields)) << pattern;
    const auto compiled = StrftimePattern::Compile(
        pattern, {nl_langinfo(AM_STR), nl_langinfo(PM_STR), nl_langinfo(T_FMT_AMPM)});
    std::string compiled_text;
    if (compiled && compiled->AppendTo(compiled_text, evening)) {
      EXPECT_EQ(compiled_text, ReferenceStrftime(pattern, fields)) << pattern;
    }
  }
  EXPECT_GT(utf8_locales, 100U);
  std::setlocale(LC_ALL, "C.UTF-8");
}

// Locales whose own patterns lack the seconds, repeat the century, write an era's year or their
// own digits, mark no half of the day, or are not UTF-8: each shows its texts as its people read
// them (the texts as the locales' own conventions give them, not as this program printed them).
TEST(LocaleSweep, AdaptedLocalesShowTheirOwnConventions) {
  const struct {
    const char* locale;
    double seconds;
    const char* text;
  } cases[] = {
      {"nb_NO.UTF-8", kEvening, "13. feb. 2009 kl. 23.31.30"},
      {"ff_SN.UTF-8", kEvening, "13/02/2009 23:31:30"},
      {"th_TH.UTF-8", kEvening, "13/02/2552 23:31:30"},
      {"hy_AM.UTF-8", kEvening, "02/13/2009 23:31:30"},
      {"hy_AM.UTF-8", kEvening - 43200, "02/13/2009 11:31:30"},
      {"tpi_PG.UTF-8", kEvening, "13/02/2009 11:31:30 apinun"},
      // Persian digits: ۲۰۰۹/۰۲/۱۳ ۲۳:۳۱:۳۰
      {"fa_IR.UTF-8", kEvening,
       "\xDB\xB2\xDB\xB0\xDB\xB0\xDB\xB9/\xDB\xB0\xDB\xB2/\xDB\xB1\xDB\xB3 "
       "\xDB\xB2\xDB\xB3:\xDB\xB3\xDB\xB1:\xDB\xB3\xDB\xB0"},
      // 2009年02月13日 23時31分30秒, from EUC-JP
      {"ja_JP.eucJP", kEvening,
       "2009\xE5\xB9\xB4"
       "02\xE6\x9C\x88"
       "13\xE6\x97\xA5 "
       "23\xE6\x99\x82"
       "31\xE5\x88\x86"
       "30\xE7\xA7\x92"},
  };
  for (const auto& example : cases) {
    ASSERT_NE(std::setlocale(LC_ALL, example.locale), nullptr) << example.locale;
    EXPECT_EQ(Render(example.seconds), example.text) << example.locale;
  }
  // LC_TIME set apart from the rest: its texts are in its own encoding, not LC_CTYPE's.
  ASSERT_NE(std::setlocale(LC_ALL, "ja_JP.UTF-8"), nullptr);
  const std::string japanese = Render(kEvening);
  ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
  ASSERT_NE(std::setlocale(LC_TIME, "ja_JP.eucJP"), nullptr);
  EXPECT_EQ(Render(kEvening), japanese);
  std::setlocale(LC_ALL, "C.UTF-8");
}

// Patterns no installed locale has, where the rules must still hold.
TEST(LocaleSweep, RulesHoldForPatternsBeyondTheInstalledLocales) {
  const struct {
    LocaleTimeTexts locale;
    const char* time;
  } cases[] = {
      {{"%d.%m.%Y", "%H時%M分", "", "", "", false, false}, "%H時%M分%S"},
      {{"%d.%m.%Y", "%Hh%M", "", "", "", false, false}, "%Hh%M:%S"},
      {{"%d.%m.%Y", "%I:%M:%S %p", "AM", "AM", "", false, false}, "%H:%M:%S"},
      {{"%d.%m.%Y", "%Z %l:%M %P", "am", "pm", "", false, false}, "%-l:%M:%S %P"},
      {{"%d.%m.%Y", "%r", "", "", "%I.%M %p", false, false}, "%H.%M.%S"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AdaptPatterns(c.locale).time, c.time) << c.locale.time_pattern;
  }
}

}  // namespace
}  // namespace halvrenn
