// The user's formats on POSIX systems (glibc): the locale that the program's start selected with
// setlocale(LC_ALL, ""). The zone is read in zone_posix.cpp.
//
// The C library hands out texts in the locale's own encoding, which for a few locales is not
// UTF-8 (ja_JP.eucJP, ko_KR.eucKR, the ISO 8859 ones): every text is converted to UTF-8 here,
// before it leaves the seam.

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "time/locale_and_zone.h"
#include "time/locale_patterns_posix.h"
#include "time/number_text.h"
#include "time/strftime_pattern_posix.h"

namespace halvrenn::platform {
namespace {

// The C and POSIX locales only offer a two-digit year and a US month order; ISO 8601 reads
// unambiguously instead.
bool IsPlainCLocale(const char* name) {
  if (name == nullptr) return true;
  const std::string_view locale(name);
  return locale == "C" || locale == "POSIX" || locale.starts_with("C.");
}

// [0, 365]
int DayOfYear(const CivilDateTime& when) {
  const auto month = static_cast<unsigned>(when.month);
  const auto day = static_cast<unsigned>(when.day);
  return static_cast<int>(DaysFromCivil(when.year, month, day) - DaysFromCivil(when.year, 1, 1));
}

std::tm TmFields(const CivilDateTime& when) {
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
  return fields;
}

std::string Strftime(const std::string& pattern, const std::tm& fields) {
  // strftime returns 0 both for an empty result and for a buffer too small. Every pattern of a
  // real locale fits the stack buffer; a longer result is tried in a few larger ones.
  std::array<char, 128> text{};
  std::size_t length = std::strftime(text.data(), text.size(), pattern.c_str(), &fields);
  if (length > 0 || pattern.empty()) return std::string(text.data(), length);
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

bool IsUtf8Compatible(std::string_view codeset) {
  return codeset == "UTF-8" || codeset == "ANSI_X3.4-1968" || codeset.empty();
}

// One direction of iconv between the locale's encoding and UTF-8. Bytes that do not convert are
// left out rather than guessed at; a locale's own texts always convert.
class Recoder {
 public:
  Recoder(const char* to, const char* from) : descriptor_(iconv_open(to, from)) {}
  ~Recoder() {
    if (descriptor_ != kFailed) iconv_close(descriptor_);
  }
  Recoder(const Recoder&) = delete;
  Recoder& operator=(const Recoder&) = delete;

  bool Usable() const { return descriptor_ != kFailed; }

  std::string Convert(std::string_view text) const {
    std::string converted;
    if (!Usable()) return converted;
    iconv(descriptor_, nullptr, nullptr, nullptr, nullptr);
    std::array<char, 256> buffer{};
    // iconv's interface takes a non-const input pointer but never writes through it.
    char* in = const_cast<char*>(text.data());  // NOLINT(cppcoreguidelines-pro-type-const-cast)
    std::size_t in_left = text.size();
    while (in_left > 0) {
      char* out = buffer.data();
      std::size_t out_left = buffer.size();
      const std::size_t result = iconv(descriptor_, &in, &in_left, &out, &out_left);
      converted.append(buffer.data(), buffer.size() - out_left);
      if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
        ++in;  // an invalid or incomplete sequence: skip one byte
        --in_left;
      }
    }
    char* out = buffer.data();
    std::size_t out_left = buffer.size();
    iconv(descriptor_, nullptr, nullptr, &out, &out_left);
    converted.append(buffer.data(), buffer.size() - out_left);
    return converted;
  }

 private:
  // iconv_open reports failure as (iconv_t)-1.
  static inline const iconv_t kFailed =
      reinterpret_cast<iconv_t>(-1);  // NOLINT(performance-no-int-to-ptr)
  iconv_t descriptor_;
};

// The locale's encoding both ways; nothing to do for UTF-8 (and ASCII) locales.
class LocaleEncoding {
 public:
  explicit LocaleEncoding(const char* codeset) {
    if (codeset == nullptr || IsUtf8Compatible(codeset)) return;
    to_utf8_ = std::make_unique<Recoder>("UTF-8", codeset);
    from_utf8_ = std::make_unique<Recoder>(codeset, "UTF-8");
    if (!to_utf8_->Usable() || !from_utf8_->Usable()) {
      to_utf8_.reset();
      from_utf8_.reset();
    }
  }
  std::string ToUtf8(std::string_view text) const {
    return to_utf8_ ? to_utf8_->Convert(text) : std::string(text);
  }
  std::string FromUtf8(std::string_view text) const {
    return from_utf8_ ? from_utf8_->Convert(text) : std::string(text);
  }

 private:
  std::unique_ptr<Recoder> to_utf8_;
  std::unique_ptr<Recoder> from_utf8_;
};

// The last character of a UTF-8 text.
std::string_view LastCharacter(std::string_view text) {
  std::size_t start = text.size();
  while (start > 0 && (static_cast<unsigned char>(text[start - 1]) & 0xC0U) == 0x80U) --start;
  return start > 0 ? text.substr(start - 1) : text;
}

// The locale's digits as %O conversions write them: %OH of the hours 0 to 9.
LocaleDigits ReadLocaleDigits(const LocaleEncoding& encoding) {
  LocaleDigits digits;
  for (int digit = 0; digit < 10; ++digit) {
    std::tm fields{};
    fields.tm_hour = digit;
    const std::string written = encoding.ToUtf8(Strftime("%OH", fields));
    digits[static_cast<std::size_t>(digit)] = written.empty()
                                                  ? std::string(1, static_cast<char>('0' + digit))
                                                  : std::string(LastCharacter(written));
  }
  return digits;
}

// An adapted pattern ready for strftime: the pieces between its %OY years, in the locale's own
// encoding.
class StrftimePlan {
 public:
  StrftimePlan() = default;
  StrftimePlan(std::string_view utf8_pattern, const LocaleEncoding& encoding) {
    std::string piece;
    for (std::size_t i = 0; i < utf8_pattern.size(); ++i) {
      if (utf8_pattern.substr(i, 3) == "%OY") {
        pieces_.push_back(encoding.FromUtf8(piece));
        piece.clear();
        i += 2;
        continue;
      }
      piece += utf8_pattern[i];
      if (utf8_pattern[i] == '%' && i + 1 < utf8_pattern.size()) piece += utf8_pattern[++i];
    }
    pieces_.push_back(encoding.FromUtf8(piece));
  }

  // The text in UTF-8; empty when strftime gives nothing.
  std::string Render(const CivilDateTime& when, const LocaleEncoding& encoding,
                     const LocaleDigits& digits) const {
    const std::tm fields = TmFields(when);
    std::string text;
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
      if (i > 0) {  // a year in the locale's digits; [1, 9999] is four digits at most
        const std::string year = std::to_string(when.year);
        for (const char digit : year) text += digits[static_cast<std::size_t>(digit - '0')];
      }
      text += encoding.ToUtf8(Strftime(pieces_[i], fields));
    }
    return text;
  }

 private:
  std::vector<std::string> pieces_;
};

// The user's date and time patterns, adapted by AdaptPatterns and compiled, kept while LC_TIME
// names the same locale and gives the same raw texts: adapting and compiling cost more than
// rendering, and the check is a few string compares.
class LocalePatterns {
 public:
  // The date, and unless `with_time` is false one blank and the time; empty on failure.
  std::string Render(const CivilDateTime& when, bool with_time) {
    Refresh();
    const std::optional<StrftimePattern>& compiled =
        with_time ? compiled_date_and_time_ : compiled_date_;
    std::string text;
    if (compiled && compiled->AppendTo(text, when)) return text;
    text = date_plan_.Render(when, *encoding_, digits_);
    if (text.empty() || !with_time) return text;
    const std::string time = time_plan_.Render(when, *encoding_, digits_);
    return time.empty() ? std::string() : text + ' ' + time;
  }

 private:
  static constexpr const char* kIsoDate = "%Y-%m-%d";
  static constexpr const char* kIsoTime = "%H:%M:%S";
  static constexpr std::size_t kTextCount = 8;

  // What the patterns are made from, as the C library gives it now.
  struct Source {
    const char* locale_name;
    bool plain_c;
    // D_FMT, T_FMT, AM_STR, PM_STR, T_FMT_AMPM, ERA, ALT_DIGITS (its first entry), and the
    // encoding of LC_TIME's texts, which need not be LC_CTYPE's (LC_TIME set apart from LANG)
    std::array<const char*, kTextCount> texts;
  };

  static Source ReadSource() {
    const char* locale_name = std::setlocale(LC_TIME, nullptr);
    const bool plain_c = IsPlainCLocale(locale_name);
    return {locale_name,
            plain_c,
            {plain_c ? kIsoDate : nl_langinfo(D_FMT), plain_c ? kIsoTime : nl_langinfo(T_FMT),
             nl_langinfo(AM_STR), nl_langinfo(PM_STR), nl_langinfo(T_FMT_AMPM), nl_langinfo(ERA),
             nl_langinfo(ALT_DIGITS), nl_langinfo(_NL_TIME_CODESET)}};
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
    // glibc keeps the data of every locale that setlocale loaded, and one locale's texts are
    // read together: an unchanged name of LC_TIME and address of its date pattern mean that
    // nothing changed, which saves reading and comparing the rest at every rendering.
    const char* locale_name = std::setlocale(LC_TIME, nullptr);
    const char* date_format = nl_langinfo(D_FMT);
    if (valid_ && locale_name != nullptr && date_format == date_format_address_ &&
        locale_name_ == locale_name) {
      return;
    }
    const Source source = ReadSource();
    if (IsCurrent(source)) {
      date_format_address_ = date_format;
      return;
    }
    date_format_address_ = date_format;
    valid_ = false;
    locale_name_ = source.locale_name != nullptr ? source.locale_name : "";
    addresses_ = source.texts;
    for (std::size_t i = 0; i < source.texts.size(); ++i) texts_[i] = source.texts[i];
    encoding_ = std::make_unique<LocaleEncoding>(texts_[7].c_str());
    const LocaleEncoding& encoding = *encoding_;

    std::string date_pattern = kIsoDate;
    std::string time_pattern = kIsoTime;
    const std::string am = encoding.ToUtf8(texts_[2]);
    const std::string pm = encoding.ToUtf8(texts_[3]);
    const std::string twelve_hour = encoding.ToUtf8(texts_[4]);
    if (!source.plain_c) {
      const AdaptedPatterns adapted =
          AdaptPatterns({encoding.ToUtf8(texts_[0]), encoding.ToUtf8(texts_[1]), am, pm,
                         twelve_hour, !texts_[5].empty(), !texts_[6].empty()});
      // A locale without a pattern falls back to ISO 8601 too.
      if (!adapted.date.empty()) date_pattern = adapted.date;
      if (!adapted.time.empty()) time_pattern = adapted.time;
    }
    digits_ = ReadLocaleDigits(encoding);
    date_plan_ = StrftimePlan(date_pattern, encoding);
    time_plan_ = StrftimePlan(time_pattern, encoding);
    const AmPmText am_pm{am, pm, twelve_hour};
    compiled_date_ = StrftimePattern::Compile(date_pattern, am_pm);
    compiled_date_and_time_ = StrftimePattern::Compile(date_pattern + ' ' + time_pattern, am_pm);
    valid_ = source.locale_name != nullptr;
  }

  bool valid_ = false;
  std::string locale_name_;
  const char* date_format_address_ = nullptr;
  std::array<const char*, kTextCount> addresses_{};
  std::array<std::string, kTextCount> texts_;
  std::unique_ptr<LocaleEncoding> encoding_;
  LocaleDigits digits_;
  StrftimePlan date_plan_;
  StrftimePlan time_plan_;
  std::optional<StrftimePattern> compiled_date_;
  std::optional<StrftimePattern> compiled_date_and_time_;
};

}  // namespace

std::string FormatDateTime(const CivilDateTime& when, bool with_time) {
  thread_local LocalePatterns patterns;
  return patterns.Render(when, with_time);
}

namespace {

// A text of LC_NUMERIC in UTF-8: its encoding need not be LC_CTYPE's.
std::string NumericText(const char* text) {
  const std::string_view view(text);
  const bool ascii = std::all_of(view.begin(), view.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return text;
  const char* codeset = nl_langinfo(_NL_NUMERIC_CODESET);
  if (IsUtf8Compatible(codeset)) return text;
  return LocaleEncoding(codeset).ToUtf8(text);
}

}  // namespace

std::string DecimalSeparator() { return NumericText(nl_langinfo(RADIXCHAR)); }

std::string GroupedCount(std::uint64_t count) {
  const std::string separator = NumericText(nl_langinfo(THOUSEP));
  // The C library's grouping: one size per char, the rightmost group first; the last size
  // repeats, unless CHAR_MAX (or a size below 1) ends the grouping.
  std::vector<int> groups;
  bool repeat_last = true;
  for (const char* size = nl_langinfo(GROUPING); *size != '\0'; ++size) {
    if (*size == CHAR_MAX || *size < 1) {
      repeat_last = false;
      break;
    }
    groups.push_back(*size);
  }
  if (separator.empty()) groups.clear();
  return GroupDigits(count, separator, groups, repeat_last);
}

}  // namespace halvrenn::platform
