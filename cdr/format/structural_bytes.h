#pragma once

// The searches of the record scanner for the bytes that give a record its shape: the delimiter,
// the double quote, CR and LF. Each comes twice, a word of 8 bytes at a time for any processor,
// and 16 bytes at a time with SSE2, which every x86-64 processor has; both give the same results
// on the same bytes, and the scanner takes the faster one that the processor it is built for has.
// Neither reads a byte at or past `end`. The delimiter is never a quote, CR or LF.
//
// Example, on `ab,c,"d"` with the delimiter ',':
//   SkipPlainBytes(p, end, ',', 5) is {p + 5, 2}: stopped at the quote, two delimiters passed;
//   SkipPlainBytes(p, end, ',', 1) is {p + 3, 1}: stopped just past the first delimiter;
//   FieldEnd(p, end, ',') is p + 2, FindQuote(p, end) is p + 5, FindLineBreak(p, end) is end.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || (defined(_M_X64) && !defined(_M_ARM64EC))
#include <emmintrin.h>
#define HALVRENN_SSE2 1
#endif

namespace halvrenn::cdr::structural {

// Where a run of plain bytes ended, and how many delimiters it held.
struct PlainRun {
  const char* at;
  std::size_t delimiters;
  friend bool operator==(const PlainRun&, const PlainRun&) = default;
};

namespace words {

inline constexpr std::uint64_t kEveryByte = 0x0101010101010101;
inline constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;

// 0x80 in each byte of `word` that is zero, nothing elsewhere (no borrow crosses bytes).
constexpr std::uint64_t ZeroBytes(std::uint64_t word) {
  return ~(((word & kLow7) + kLow7) | word | kLow7);
}

inline std::uint64_t WordAt(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// From `p`, past the bytes before the first quote, CR or LF, counting delimiters; just past the
// `most`-th delimiter (`most` at least 1) when it comes first, or at `end`.
inline PlainRun SkipPlainBytes(const char* p, const char* end, char delimiter, std::size_t most) {
  const std::uint64_t delimiters = kEveryByte * static_cast<unsigned char>(delimiter);
  std::size_t counted = 0;
  for (;;) {
    while (end - p >= 8) {
      const std::uint64_t word = WordAt(p);
      if ((ZeroBytes(word ^ (kEveryByte * '"')) | ZeroBytes(word ^ (kEveryByte * '\r')) |
           ZeroBytes(word ^ (kEveryByte * '\n'))) != 0) {
        break;
      }
      // One bit per delimiter, summed into the top byte by the multiplication.
      const auto fields =
          static_cast<std::size_t>(((ZeroBytes(word ^ delimiters) >> 7) * kEveryByte) >> 56);
      if (counted + fields >= most) break;
      counted += fields;
      p += 8;
    }
    // The word that stopped the words, byte by byte.
    const char* const stop = end - p > 8 ? p + 8 : end;
    for (; p < stop; ++p) {
      if (*p == '"' || *p == '\r' || *p == '\n') return {p, counted};
      if (*p == delimiter && ++counted == most) return {p + 1, counted};
    }
    if (p == end) return {p, counted};
  }
}

// The first delimiter, CR or LF from `p`, or `end`.
inline const char* FieldEnd(const char* p, const char* end, char delimiter) {
  const std::uint64_t delimiters = kEveryByte * static_cast<unsigned char>(delimiter);
  for (; end - p >= 8; p += 8) {
    const std::uint64_t word = WordAt(p);
    const std::uint64_t stops = ZeroBytes(word ^ delimiters) |
                                ZeroBytes(word ^ (kEveryByte * '\r')) |
                                ZeroBytes(word ^ (kEveryByte * '\n'));
    if (stops == 0) continue;
    // Read little-endian, the lowest flagged byte is the first; else the bytes tell.
    if constexpr (std::endian::native == std::endian::little) {
      return p + std::countr_zero(stops) / 8;
    }
    break;
  }
  while (p < end && *p != delimiter && *p != '\r' && *p != '\n') ++p;
  return p;
}

// The first quote from `p`, or nothing.
inline const char* FindQuote(const char* p, const char* end) {
  return static_cast<const char*>(std::memchr(p, '"', static_cast<std::size_t>(end - p)));
}

// The first CR or LF from `p`, or `end`.
inline const char* FindLineBreak(const char* p, const char* end) {
  for (; end - p >= 8; p += 8) {
    const std::uint64_t word = WordAt(p);
    if ((ZeroBytes(word ^ (kEveryByte * '\r')) | ZeroBytes(word ^ (kEveryByte * '\n'))) != 0) {
      break;
    }
  }
  while (p < end && *p != '\r' && *p != '\n') ++p;
  return p;
}

}  // namespace words

#if HALVRENN_SSE2
namespace sse2 {

// A bit per byte of the 16 at `p` that equals `byte`.
inline unsigned Matches(__m128i bytes, char byte) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(byte))));
}

// The bits set in a 16-bit mask, in a few instructions: std::popcount is a library call where the
// processor's instruction cannot be assumed, and SSE2 does not promise it.
inline unsigned BitsSet(unsigned mask) {
  mask -= (mask >> 1) & 0x5555U;
  mask = (mask & 0x3333U) + ((mask >> 2) & 0x3333U);
  mask = (mask + (mask >> 4)) & 0x0F0FU;
  return (mask + (mask >> 8)) & 0x1FU;
}

inline __m128i BytesAt(const char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline PlainRun SkipPlainBytes(const char* p, const char* end, char delimiter, std::size_t most) {
  std::size_t counted = 0;
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = BytesAt(p);
    const unsigned specials = Matches(bytes, '"') | Matches(bytes, '\r') | Matches(bytes, '\n');
    // The delimiters before the first special byte, if any.
    const unsigned before = specials != 0 ? (1U << std::countr_zero(specials)) - 1 : 0xFFFFU;
    unsigned found = Matches(bytes, delimiter) & before;
    const std::size_t fields = BitsSet(found);
    if (counted + fields >= most) {
      for (std::size_t left = most - counted; left > 1; --left) found &= found - 1;
      return {p + std::countr_zero(found) + 1, most};
    }
    counted += fields;
    if (specials != 0) return {p + std::countr_zero(specials), counted};
  }
  const PlainRun rest = words::SkipPlainBytes(p, end, delimiter, most - counted);
  return {rest.at, counted + rest.delimiters};
}

inline const char* FieldEnd(const char* p, const char* end, char delimiter) {
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = BytesAt(p);
    if (const unsigned stops =
            Matches(bytes, delimiter) | Matches(bytes, '\r') | Matches(bytes, '\n')) {
      return p + std::countr_zero(stops);
    }
  }
  return words::FieldEnd(p, end, delimiter);
}

// A quoted field's text is mostly short: one load finds its end, where memchr costs a call.
inline const char* FindQuote(const char* p, const char* end) {
  if (end - p >= 16) {
    if (const unsigned quotes = Matches(BytesAt(p), '"')) return p + std::countr_zero(quotes);
    p += 16;
  }
  return words::FindQuote(p, end);
}

inline const char* FindLineBreak(const char* p, const char* end) {
  for (; end - p >= 16; p += 16) {
    const __m128i bytes = BytesAt(p);
    if (const unsigned breaks = Matches(bytes, '\r') | Matches(bytes, '\n')) {
      return p + std::countr_zero(breaks);
    }
  }
  return words::FindLineBreak(p, end);
}

}  // namespace sse2
namespace fastest = sse2;
#else
namespace fastest = words;
#endif

using fastest::FieldEnd;
using fastest::FindLineBreak;
using fastest::FindQuote;
using fastest::SkipPlainBytes;

}  // namespace halvrenn::cdr::structural
