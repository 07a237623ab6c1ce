// The scanner's searches for structural bytes, each way they are built (8 bytes at a time, and 16
// with SSE2), against a byte-at-a-time reading: every byte value at every offset around the
// edges of the 16- and 8-byte loads, in runs that end before, at and after each edge.

#include "cdr/format/structural_bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace halvrenn::cdr::structural {
namespace {

bool Special(char c) { return c == '"' || c == '\r' || c == '\n'; }

PlainRun ReferenceSkip(const char* p, const char* end, char delimiter, std::size_t most) {
  std::size_t counted = 0;
  for (; p < end && !Special(*p); ++p) {
    if (*p == delimiter && ++counted == most) return {p + 1, counted};
  }
  return {p, counted};
}

const char* ReferenceFieldEnd(const char* p, const char* end, char delimiter) {
  while (p < end && *p != delimiter && *p != '\r' && *p != '\n') ++p;
  return p;
}

const char* ReferenceLineBreak(const char* p, const char* end) {
  while (p < end && *p != '\r' && *p != '\n') ++p;
  return p;
}

const char* ReferenceQuote(const char* p, const char* end) {
  while (p < end && *p != '"') ++p;
  return p == end ? nullptr : p;
}

// Every way the searches are built, beside each other.
struct Searches {
  const char* name;
  PlainRun (*skip)(const char*, const char*, char, std::size_t);
  const char* (*field_end)(const char*, const char*, char);
  const char* (*line_break)(const char*, const char*);
  const char* (*quote)(const char*, const char*);
};

constexpr std::array kSearches = {
    Searches{"words", words::SkipPlainBytes, words::FieldEnd, words::FindLineBreak,
             words::FindQuote},
#if HALVRENN_SSE2
    Searches{"sse2", sse2::SkipPlainBytes, sse2::FieldEnd, sse2::FindLineBreak, sse2::FindQuote},
#endif
};

TEST(CdrScanner, StructuralBytesFoundAlikeEveryWay) {
  constexpr std::size_t kSize = 48;
  constexpr std::array<std::size_t, 8> kEnds = {7, 8, 9, 15, 16, 17, 33, 48};
  constexpr std::array<std::size_t, 4> kMosts = {1, 2, 5, SIZE_MAX};
  for (const char delimiter : {',', ';', '\t', '\xff'}) {
    // Plain bytes with delimiters close together and apart, as a record's empty and full fields.
    std::string background = "ab,c,,defghijklmnop,q,rstuvwxyz0123456789,,,,ABC";
    for (char& c : background) {
      if (c == ',') c = delimiter;
    }
    ASSERT_EQ(background.size(), kSize);
    for (int value = 0; value < 256; ++value) {
      for (std::size_t offset = 0; offset < kSize; ++offset) {
        std::string bytes = background;
        bytes[offset] = static_cast<char>(value);
        for (const std::size_t start : {std::size_t{0}, std::size_t{1}}) {
          for (const std::size_t end_at : kEnds) {
            const char* const p = bytes.data() + start;
            const char* const end = bytes.data() + end_at;
            const std::string where = std::string("value ") + std::to_string(value) + " at " +
                                      std::to_string(offset) + ", bytes " + std::to_string(start) +
                                      " to " + std::to_string(end_at);
            for (const Searches& searches : kSearches) {
              for (const std::size_t most : kMosts) {
                ASSERT_EQ(searches.skip(p, end, delimiter, most),
                          ReferenceSkip(p, end, delimiter, most))
                    << searches.name << ", " << where << ", most " << most;
              }
              ASSERT_EQ(searches.field_end(p, end, delimiter), ReferenceFieldEnd(p, end, delimiter))
                  << searches.name << ", " << where;
              ASSERT_EQ(searches.line_break(p, end), ReferenceLineBreak(p, end))
                  << searches.name << ", " << where;
              ASSERT_EQ(searches.quote(p, end), ReferenceQuote(p, end))
                  << searches.name << ", " << where;
            }
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace halvrenn::cdr::structural
