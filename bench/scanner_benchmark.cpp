// The record scanner alone, in bytes per second, on a CDR file given on the command line (the
// throughput benchmark's): once wanting no field (the word-at-a-time skip over whole records),
// and once wanting the three time stamps as the converter does. A change to the hot loop is
// measured here, where it happens, apart from the texts and the threads around it.
//
// Usage: bench_scanner FILE [Google Benchmark flags]

#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cdr/format/record_scanner.h"

namespace {

std::string file_bytes;

// Wants the fields in `wanted` (ascending), sums their content's length so that nothing is
// optimised away, and counts records.
class Counter {
 public:
  explicit Counter(const std::vector<std::size_t>& wanted) : wanted_(wanted) {}
  std::size_t NextWanted(std::size_t field) const {
    for (const std::size_t w : wanted_) {
      if (w >= field) return w;
    }
    return SIZE_MAX;
  }
  void Content(const char* from, const char* to) { content += static_cast<std::size_t>(to - from); }
  void EndField(bool /*quoted*/) {}
  void Pass(const char* /*from*/, const char* /*to*/) {}
  bool EndRecord(const halvrenn::cdr::RecordEnd& /*end*/) {
    ++records;
    return true;
  }
  void EndInQuotes(std::uint64_t /*line*/) {}

  std::size_t content = 0;
  std::size_t records = 0;

 private:
  const std::vector<std::size_t>& wanted_;
};

// The fields of the header named dateTimeOrigination, dateTimeConnect, dateTimeDisconnect.
std::vector<std::size_t> TimeFields() {
  const std::string header = file_bytes.substr(0, file_bytes.find('\n'));
  std::vector<std::size_t> fields;
  std::size_t field = 0;
  std::stringstream names(header);
  for (std::string name; std::getline(names, name, ','); ++field) {
    if (name.find("dateTimeOrigination") != std::string::npos ||
        name.find("dateTimeConnect") != std::string::npos ||
        name.find("dateTimeDisconnect") != std::string::npos) {
      fields.push_back(field);
    }
  }
  return fields;
}

void Scan(benchmark::State& state, const std::vector<std::size_t>& wanted) {
  constexpr std::size_t kPiece = std::size_t{1} << 20;  // as the converter reads
  for (auto _ : state) {
    Counter counter(wanted);
    halvrenn::cdr::RecordScanner<Counter> scanner(',', counter);
    for (std::size_t at = 0; at < file_bytes.size(); at += kPiece) {
      scanner.Feed(std::string_view(file_bytes).substr(at, kPiece));
    }
    scanner.Finish();
    benchmark::DoNotOptimize(counter.content);
    benchmark::DoNotOptimize(counter.records);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file_bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: bench_scanner FILE [benchmark flags]\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  file_bytes.assign(std::istreambuf_iterator<char>(in), {});
  static const std::vector<std::size_t> none;
  static const std::vector<std::size_t> times = TimeFields();
  benchmark::RegisterBenchmark("scan, no field wanted", Scan, none)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("scan, the time stamps wanted", Scan, times)
      ->Unit(benchmark::kMillisecond);
  argv[1] = argv[0];
  int rest = argc - 1;
  benchmark::Initialize(&rest, argv + 1);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
