// Any bytes as the text of Text1, handled in one of six real zones: the first byte chooses the
// zone by its value modulo 6, so the digits '0' to '5' choose them in the order of kZones; the
// rest is the text. The locale is C.UTF-8, whose dates read "YYYY-MM-DD HH:MM:SS".
//
// Whatever the text, the dispatch returns having written all three outputs, each "Invalid" or a
// well-formed date. A count it accepts shows the dates that gmtime_r gives for the count, for it
// shifted by the zone's base offset, and for that an hour later, or "Invalid" where the 32-bit
// local arithmetic overflows; anything else shows "Invalid" three times.

#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "fuzz_check.h"
#include "time/module1.h"
#include "time/number_text.h"
#include "window/dispatch.h"
#include "written_number.h"

namespace {

struct Zone {
  const char* name;
  std::int32_t bias_minutes;  // standard time's offset, minutes west of Greenwich
};

// tzdata zones whose standard offsets have held for decades, west and east of Greenwich.
constexpr Zone kZones[] = {
    {"UTC", 0},          {"America/New_York", 300}, {"Europe/Paris", -60},
    {"Etc/GMT+12", 720}, {"Asia/Kolkata", -330},    {"Pacific/Kiritimati", -840},
};

constexpr std::string_view kInvalid = "Invalid";
constexpr std::string_view kStale = "stale";  // what an output reads until the handler writes it

class Fields final : public halvrenn::InputChangeFields {
 public:
  explicit Fields(std::string text) : text1(std::move(text)) {}

  std::string ReadText1() const override { return text1; }
  void WriteText2(const std::string& text) override { text2 = text; }
  void WriteText3(const std::string& text) override { text3 = text; }
  void WriteText4(const std::string& text) override { text4 = text; }

  std::string text1;
  std::string text2{kStale}, text3{kStale}, text4{kStale};
};

[[noreturn]] void Fail(std::string_view property, const Zone& zone, const Fields& fields) {
  std::fprintf(stderr, "Text2 \"%s\", Text3 \"%s\", Text4 \"%s\"\n", fields.text2.c_str(),
               fields.text3.c_str(), fields.text4.c_str());
  halvrenn::fuzz::Fail(property, zone.name, fields.text1);
}

void UseZone(std::size_t choice) {
  static std::optional<std::size_t> current;
  if (current == choice) return;
  if (setenv("TZ", kZones[choice].name, 1) != 0) std::abort();
  tzset();
  current = choice;
}

void UseLocale() {
  static const bool set = std::setlocale(LC_ALL, "C.UTF-8") != nullptr;
  if (!set) halvrenn::fuzz::Fail("the locale exists", "C.UTF-8", "");
}

bool FitsInt32(std::int64_t n) {
  return n >= std::numeric_limits<std::int32_t>::min() &&
         n <= std::numeric_limits<std::int32_t>::max();
}

// The date of `seconds` after 1970 at Greenwich by the C library's calendar, as the C.UTF-8
// renderer writes it: ISO 8601, the date alone at midnight.
std::string ReferenceDateText(std::int64_t seconds) {
  const auto instant = static_cast<std::time_t>(seconds);
  std::tm fields{};
  if (gmtime_r(&instant, &fields) == nullptr) std::abort();
  const bool midnight = fields.tm_hour == 0 && fields.tm_min == 0 && fields.tm_sec == 0;
  char text[32];
  const std::size_t length =
      std::strftime(text, sizeof text, midnight ? "%Y-%m-%d" : "%Y-%m-%d %H:%M:%S", &fields);
  return std::string(text, length);
}

// "Invalid" where the 32-bit arithmetic overflows: the count itself, or it shifted to local time.
std::string ExpectedLocalText(std::int64_t count, std::int64_t offset_seconds) {
  if (!FitsInt32(count) || !FitsInt32(count - offset_seconds)) return std::string(kInvalid);
  return ReferenceDateText(count - offset_seconds);
}

std::optional<int> Digits(std::string_view text, std::size_t position, std::size_t count) {
  int value = 0;
  for (const char c : text.substr(position, count)) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// "YYYY-MM-DD", or "YYYY-MM-DD HH:MM:SS" other than at midnight, of a real day in the years that
// 32-bit counts reach in any zone.
bool IsDateText(std::string_view text) {
  if (text.size() != 10 && text.size() != 19) return false;
  const auto year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  if (!year || !month || !day || text[4] != '-' || text[7] != '-') return false;
  if (*year < 1901 || *year > 2038 || *month < 1 || *month > 12 || *day < 1 ||
      *day > DaysInMonth(*year, *month)) {
    return false;
  }
  if (text.size() == 10) return true;
  const auto hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
  if (!hour || !minute || !second || text[10] != ' ' || text[13] != ':' || text[16] != ':') {
    return false;
  }
  return *hour <= 23 && *minute <= 59 && *second <= 59 && *hour + *minute + *second > 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  UseLocale();
  const std::size_t choice = size == 0 ? 0 : data[0] % std::size(kZones);
  const Zone& zone = kZones[choice];
  UseZone(choice);
  Fields fields(size == 0 ? std::string()
                          : std::string(reinterpret_cast<const char*>(data) + 1, size - 1));

  halvrenn::DispatchInputChange(fields);

  for (const std::string* output : {&fields.text2, &fields.text3, &fields.text4}) {
    if (*output == kStale) Fail("every output is written", zone, fields);
    if (*output != kInvalid && !IsDateText(*output)) {
      Fail("every output is \"Invalid\" or a date", zone, fields);
    }
  }

  const std::string& text = fields.text1;
  const double count = !text.empty() && halvrenn::IsNumericText(text)
                           ? halvrenn::TextToDouble(text)
                           : std::numeric_limits<double>::quiet_NaN();
  if (!(count >= 25569.0 && count <= 2147483647.0)) {
    if (fields.text2 != kInvalid || fields.text3 != kInvalid || fields.text4 != kInvalid) {
      Fail("a rejected text shows \"Invalid\" three times", zone, fields);
    }
    return 0;
  }

  // nearbyint rounds half to even in the default rounding mode, apart from the core's rounding.
  const auto whole = static_cast<std::int64_t>(std::nearbyint(count));
  if (fields.text2 != ReferenceDateText(whole)) Fail("Greenwich date", zone, fields);
  if (fields.text2 != halvrenn::Module1::EpochToGmtText(text)) {
    Fail("Greenwich date as EpochToGmtText writes it", zone, fields);
  }
  const std::int64_t offset = std::int64_t{zone.bias_minutes} * 60;
  // The standard date takes the written number rounded once, which differs from the double's
  // rounding where the double is exactly halfway ("2147480048.5000001").
  const auto written = static_cast<std::int64_t>(halvrenn::fuzz::RoundWrittenNumber(text, count));
  if (fields.text3 != ExpectedLocalText(written, offset)) Fail("standard date", zone, fields);
  // Daylight is the count read from the text plus an hour, rounded once: the sum of two doubles,
  // so where it crosses a power of two its last bit can round away first (1073738224.5000001).
  const auto daylight = static_cast<std::int64_t>(std::nearbyint(count + 3600.0));
  if (fields.text4 != ExpectedLocalText(daylight, offset)) Fail("daylight date", zone, fields);
  return 0;
}
