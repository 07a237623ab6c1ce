// Any bytes as a file of time stamps: the conversion keeps every byte. The first byte chooses the
// delimiter (its value modulo 3: comma, semicolon, tab), the texts added (bits 2 to 6, one per
// kind, none meaning gmt,local) and the format (bit 7: locale); the second byte, the size of the
// pieces the input arrives in (bits 0 to 5) and the kinds decoded (bits 6 and 7: all, time stamps
// only, the others only, all). The rest is the file.
//
// Whatever the bytes, the conversion ends, and dropping the fields it added to each record
// (read apart from the converter, cdr_round_trip.h) gives the file back; the pieces do not
// change the output.

#include <clocale>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cdr/convert/conversion.h"
#include "cdr_round_trip.h"
#include "fuzz_check.h"

namespace {

using halvrenn::cdr::TimeText;

// Nothing for bytes that are not CSV text (compressed, UTF-16, NUL bytes in the header), which
// fail before anything is written.
std::optional<std::string> Convert(const halvrenn::cdr::Converter& converter, std::string_view file,
                                   std::size_t piece) {
  halvrenn::cdr::MemorySource source(file, piece);
  halvrenn::cdr::StringSink sink;
  const halvrenn::cdr::StreamResult result = converter.ConvertStream(source, sink, {}, nullptr);
  if (result.failure == halvrenn::cdr::Failure::kNotText) {
    if (!sink.text.empty()) halvrenn::fuzz::Fail("what is not text writes nothing", "", file);
    return std::nullopt;
  }
  if (result.outcome != halvrenn::cdr::Outcome::kDone) {
    halvrenn::fuzz::Fail("the conversion of bytes in memory succeeds", result.error, file);
  }
  return sink.text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool locale_set = std::setlocale(LC_ALL, "C.UTF-8") != nullptr;
  if (!locale_set) halvrenn::fuzz::Fail("the locale exists", "C.UTF-8", "");
  if (size < 2) return 0;

  halvrenn::cdr::Options options;
  options.delimiter = ",;\t"[data[0] % 3];
  options.zone = "America/New_York";
  options.jobs = 1;
  options.format =
      (data[0] & 0x80) != 0 ? halvrenn::cdr::TextFormat::kLocale : halvrenn::cdr::TextFormat::kIso;
  options.time_texts.clear();
  constexpr TimeText kKinds[] = {TimeText::kGmt, TimeText::kLocal, TimeText::kOffset,
                                 TimeText::kStandard, TimeText::kDaylight};
  for (unsigned bit = 0; bit < 5; ++bit) {
    if ((data[0] >> (bit + 2) & 1) != 0) options.time_texts.push_back(kKinds[bit]);
  }
  if (options.time_texts.empty()) options.time_texts = {TimeText::kGmt, TimeText::kLocal};
  const std::size_t piece = 1 + data[1] % 64;
  constexpr unsigned kDecoded[] = {63, 1, 62, 63};
  options.decode.bits = kDecoded[data[1] >> 6];
  const std::string_view file(reinterpret_cast<const char*>(data) + 2, size - 2);

  static std::string error;
  const auto converter = halvrenn::cdr::Converter::Create(options, error);
  if (!converter) halvrenn::fuzz::Fail("the zone exists", error, file);

  const std::optional<std::string> converted = Convert(*converter, file, SIZE_MAX);
  if (!converted) {
    // The same bytes in other pieces are refused alike.
    if (Convert(*converter, file, piece)) {
      halvrenn::fuzz::Fail("the pieces the file arrives in change nothing", "", file);
    }
    return 0;
  }
  const std::string fault = halvrenn::fuzz::RoundTripFault(
      file, *converted, *options.delimiter, options.time_texts.size(), options.decode.bits);
  if (!fault.empty()) halvrenn::fuzz::Fail(fault, "", file);
  if (Convert(*converter, file, piece) != *converted) {
    halvrenn::fuzz::Fail("the pieces the file arrives in change nothing", "", file);
  }
  return 0;
}
