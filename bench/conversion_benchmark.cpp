// Halvrenn's conversions beside the same work done with the C library, in one run, so that the
// ratio holds whatever the machine. The zone and the locale are the process's: set TZ and LC_ALL
// for the run (bench/conversion.sh runs the usual ones).
//
// - GmtText: one count to its Greenwich text. Halvrenn's AddSeconds + FormatGeneralDate against
//   gmtime_r + strftime with the same pattern (date, blank, time; the date alone at midnight).
// - InputChange: one whole change of the input, three texts and two zone reads, into plain
//   strings. Halvrenn's OnInputChange against strtod, tzset, gmtime_r, localtime_r twice and
//   strftime three times.
// Both sides hand back std::string, as the window needs, and walk the same counts.

#include <benchmark/benchmark.h>
#include <langinfo.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "time/serial_date.h"
#include "window/on_input_change.h"

namespace {

// Counts spread over the whole accepted range, a few of them at midnight.
std::vector<std::int64_t> SampleCounts() {
  std::vector<std::int64_t> counts;
  constexpr std::int64_t kFirst = 25569;
  constexpr std::int64_t kLast = 2147480047;  // the daylight text still fits 32 bits
  constexpr int kSamples = 4096;
  for (int i = 0; i < kSamples; ++i) {
    std::int64_t count = kFirst + (kLast - kFirst) / kSamples * i + i * 7919 % 86400;
    if (i % 16 == 0) count -= count % 86400;  // midnight: the date alone
    counts.push_back(count < kFirst ? kFirst + 86400 - kFirst % 86400 : count);
  }
  return counts;
}

const std::vector<std::int64_t>& Counts() {
  static const std::vector<std::int64_t> counts = SampleCounts();
  return counts;
}

// The patterns Halvrenn's renderer uses on this platform: ISO 8601 in the C locale, the
// locale's own short-date and time patterns otherwise (as they stand in the locales
// bench/conversion.sh runs; others may have a two-digit year or a zone name that Halvrenn adapts).
struct Patterns {
  std::string date;
  std::string date_and_time;
};

Patterns LocalePatterns() {
  const std::string_view locale = std::setlocale(LC_TIME, nullptr);
  if (locale == "C" || locale == "POSIX" || locale.starts_with("C.")) {
    return {"%Y-%m-%d", "%Y-%m-%d %H:%M:%S"};
  }
  const std::string date = nl_langinfo(D_FMT);
  return {date, date + ' ' + nl_langinfo(T_FMT)};
}

std::string CLibraryText(const std::tm& fields, const Patterns& patterns) {
  const bool midnight = fields.tm_hour == 0 && fields.tm_min == 0 && fields.tm_sec == 0;
  char text[128];
  const std::size_t length = std::strftime(
      text, sizeof text, (midnight ? patterns.date : patterns.date_and_time).c_str(), &fields);
  return std::string(text, length);
}

void GmtTextHalvrenn(benchmark::State& state) {
  const auto& counts = Counts();
  std::size_t next = 0;
  for (auto _ : state) {
    const auto count = static_cast<double>(counts[next]);
    std::string text =
        halvrenn::FormatGeneralDate(halvrenn::AddSeconds(count, halvrenn::EpochBase));
    benchmark::DoNotOptimize(text);
    next = (next + 1) % counts.size();
  }
}
BENCHMARK(GmtTextHalvrenn);

void GmtTextCLibrary(benchmark::State& state) {
  const auto& counts = Counts();
  const Patterns patterns = LocalePatterns();
  std::size_t next = 0;
  for (auto _ : state) {
    const auto count = static_cast<std::time_t>(counts[next]);
    std::tm fields{};
    gmtime_r(&count, &fields);
    std::string text = CLibraryText(fields, patterns);
    benchmark::DoNotOptimize(text);
    next = (next + 1) % counts.size();
  }
}
BENCHMARK(GmtTextCLibrary);

// A window reduced to four strings.
class InMemoryFields final : public halvrenn::InputChangeFields {
 public:
  std::string text1, text2, text3, text4;
  std::string ReadText1() const override { return text1; }
  void WriteText2(const std::string& text) override { text2 = text; }
  void WriteText3(const std::string& text) override { text3 = text; }
  void WriteText4(const std::string& text) override { text4 = text; }
};

std::vector<std::string> CountTexts() {
  std::vector<std::string> texts;
  for (const std::int64_t count : Counts()) texts.push_back(std::to_string(count));
  return texts;
}

void InputChangeHalvrenn(benchmark::State& state) {
  const std::vector<std::string> texts = CountTexts();
  InMemoryFields fields;
  std::size_t next = 0;
  for (auto _ : state) {
    fields.text1 = texts[next];
    halvrenn::OnInputChange(fields);
    benchmark::DoNotOptimize(fields.text2.data());
    benchmark::DoNotOptimize(fields.text3.data());
    benchmark::DoNotOptimize(fields.text4.data());
    next = (next + 1) % texts.size();
  }
}
BENCHMARK(InputChangeHalvrenn);

void InputChangeCLibrary(benchmark::State& state) {
  const std::vector<std::string> texts = CountTexts();
  const Patterns patterns = LocalePatterns();
  InMemoryFields fields;
  std::size_t next = 0;
  for (auto _ : state) {
    fields.text1 = texts[next];
    const std::string input = fields.ReadText1();
    const auto count = static_cast<std::time_t>(std::strtod(input.c_str(), nullptr));
    tzset();
    std::tm fields_gmt{};
    gmtime_r(&count, &fields_gmt);
    fields.WriteText2(CLibraryText(fields_gmt, patterns));
    std::tm fields_local{};
    localtime_r(&count, &fields_local);
    fields.WriteText3(CLibraryText(fields_local, patterns));
    const std::time_t one_hour_later = count + 3600;
    localtime_r(&one_hour_later, &fields_local);
    fields.WriteText4(CLibraryText(fields_local, patterns));
    benchmark::DoNotOptimize(fields.text2.data());
    benchmark::DoNotOptimize(fields.text3.data());
    benchmark::DoNotOptimize(fields.text4.data());
    next = (next + 1) % texts.size();
  }
}
BENCHMARK(InputChangeCLibrary);

}  // namespace

int main(int argc, char** argv) {
  if (std::setlocale(LC_ALL, "") == nullptr) {  // as the program's start does
    std::fprintf(stderr, "the locale of LC_ALL/LANG is not generated on this machine\n");
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::AddCustomContext("LC_TIME", std::setlocale(LC_TIME, nullptr));
  const char* zone = std::getenv("TZ");
  benchmark::AddCustomContext("TZ", zone != nullptr ? zone : "(unset: /etc/localtime)");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
