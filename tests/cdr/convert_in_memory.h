#pragma once

// A whole conversion in memory, for the tests of the file library: the bytes in, given in pieces
// of `piece` bytes at most, and the bytes out with their summary.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "cdr/convert/conversion.h"

namespace halvrenn::cdr {

struct Converted {
  std::string text;
  Summary summary;
};

inline Converted Convert(const std::string& input, const Options& options,
                         std::size_t piece = SIZE_MAX) {
  std::string error;
  const auto converter = Converter::Create(options, error);
  EXPECT_NE(converter, nullptr) << error;
  MemorySource source(input, piece);
  StringSink sink;
  StreamResult result = converter->ConvertStream(source, sink, {}, nullptr);
  EXPECT_EQ(result.outcome, Outcome::kDone) << result.error;
  return {sink.text, result.summary};
}

}  // namespace halvrenn::cdr
