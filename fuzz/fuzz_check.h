#pragma once

// How a fuzz target reports a broken property: the property and the input, then abort(), which
// libFuzzer records as a crash with the input saved, and which fails a replay.

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace halvrenn::fuzz {

// The input with every byte outside printable ASCII as \xHH, so that blanks and separators show.
inline void PrintEscaped(std::string_view text) {
  std::fputc('"', stderr);
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f && c != '"' && c != '\\') {
      std::fputc(c, stderr);
    } else {
      std::fprintf(stderr, "\\x%02x", byte);
    }
  }
  std::fputs("\"\n", stderr);
}

[[noreturn]] inline void Fail(std::string_view property, std::string_view context,
                              std::string_view text) {
  std::fprintf(stderr, "Broken: %.*s\n  under %.*s, text ", static_cast<int>(property.size()),
               property.data(), static_cast<int>(context.size()), context.data());
  PrintEscaped(text);
  std::abort();
}

}  // namespace halvrenn::fuzz
