#include "cdr/format/time_texts.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "time/civil_date_time.h"
#include "time/serial_date.h"

namespace halvrenn::cdr {
namespace {

// Writes `value` as `width` digits, zero-padded, ending just before `end`.
char* WriteDigits(char* end, std::int64_t value, int width) {
  for (int i = 0; i < width; ++i) {
    *--end = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return end;
}

// The two digits of 0 to 99 from a table: a time of day is three of them.
constexpr std::array<char, 200> kTwoDigits = [] {
  std::array<char, 200> digits{};
  for (std::size_t i = 0; i < 100; ++i) {
    digits[2 * i] = static_cast<char>('0' + i / 10);
    digits[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return digits;
}();

void WriteTwoDigits(char* at, unsigned value) {  // value in [0, 99]
  const std::size_t first = std::size_t{2} * value;
  at[0] = kTwoDigits[first];
  at[1] = kTwoDigits[first + 1];
}

}  // namespace

std::string_view TimeTextWord(TimeText text) {
  switch (text) {
    case TimeText::kGmt:
      return "gmt";
    case TimeText::kLocal:
      return "local";
    case TimeText::kOffset:
      return "offset";
    case TimeText::kStandard:
      return "standard";
    case TimeText::kDaylight:
      return "daylight";
  }
  return {};
}

std::size_t LongestText(TimeText text, TextFormat format) {
  if (text == TimeText::kOffset) return 9;  // -00:44:30, as Monrovia kept until 1972
  // Locale patterns with names of months and days run long; 64 holds every glibc locale's.
  return format == TextFormat::kIso ? 19 : 64;
}

void AppendOffset(std::string& out, std::int32_t offset_seconds) {
  std::array<char, 9> text{};
  text[0] = offset_seconds < 0 ? '-' : '+';
  const std::int32_t magnitude = std::abs(offset_seconds);
  WriteDigits(text.data() + 3, magnitude / 3600, 2);
  text[3] = ':';
  WriteDigits(text.data() + 6, magnitude / 60 % 60, 2);
  std::size_t length = 6;
  if (magnitude % 60 != 0) {
    text[6] = ':';
    WriteDigits(text.data() + 9, magnitude % 60, 2);
    length = 9;
  }
  out.append(text.data(), length);
}

TimeTexts::TimeTexts(const ZoneRules& rules, std::int32_t bias_minutes, TextFormat format)
    : offsets_(rules), standard_shift_(-std::int64_t{bias_minutes} * 60), format_(format) {}

void TimeTexts::AppendDate(std::string& out, std::int64_t seconds) {
  if (format_ == TextFormat::kIso) {
    const std::int64_t day = DayOfSeconds(seconds);
    Day& cached = days_[static_cast<std::size_t>(day) % days_.size()];
    if (cached.day != day) {
      const CivilDate date = CivilFromDays(day);
      cached.text = {'0', '0', '0', '0', '-', '0', '0', '-', '0', '0'};
      WriteDigits(cached.text.data() + 4, date.year, 4);
      WriteDigits(cached.text.data() + 7, date.month, 2);
      WriteDigits(cached.text.data() + 10, date.day, 2);
      cached.day = day;
    }
    const auto second_of_day = static_cast<unsigned>(seconds - day * kSecondsPerDay);
    std::array<char, 19> text{};
    std::copy(cached.text.begin(), cached.text.end(), text.begin());
    text[10] = ' ';
    WriteTwoDigits(text.data() + 11, second_of_day / 3600);
    text[13] = ':';
    WriteTwoDigits(text.data() + 14, second_of_day / 60 % 60);
    text[16] = ':';
    WriteTwoDigits(text.data() + 17, second_of_day % 60);
    out.append(text.data(), text.size());
  } else {
    // The window's rendering: the count added to EpochBase, in the user's formats. Every count
    // here is far below 2^53, so the double holds it exactly.
    out += FormatGeneralDate(AddSeconds(static_cast<double>(seconds), EpochBase));
  }
}

void TimeTexts::Append(std::string& out, TimeText text, std::int64_t seconds) {
  switch (text) {
    case TimeText::kGmt:
      AppendDate(out, seconds);
      return;
    case TimeText::kLocal:
      AppendDate(out, seconds + offsets_.OffsetAt(seconds));
      return;
    case TimeText::kOffset:
      AppendOffset(out, offsets_.OffsetAt(seconds));
      return;
    case TimeText::kStandard:
      AppendDate(out, seconds + standard_shift_);
      return;
    case TimeText::kDaylight:
      AppendDate(out, seconds + standard_shift_ + kDaylightShiftSeconds);  // as in the window
      return;
  }
}

}  // namespace halvrenn::cdr
