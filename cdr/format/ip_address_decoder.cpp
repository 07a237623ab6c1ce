// IPv4 addresses as call managers store them: the four bytes of the address read as one 32-bit
// integer with the first octet in the lowest byte, written signed (-2147483648 to 2147483647)
// or unsigned (up to 4294967295). 0 and an empty field mean no address.

#include <array>
#include <string>

#include "cdr/format/column_kinds.h"

namespace halvrenn::cdr {
namespace {

class IpAddressDecoder final : public ColumnDecoder {
 public:
  Verdict Judge(const IntegerValue& value) const override {
    if (value.Empty() || (value.Integer() && value.number == 0)) return Verdict::kEmpty;
    return value.Bits32() ? Verdict::kConverted : Verdict::kRejected;
  }

  void AppendText(std::string& out, std::size_t /*field*/, const IntegerValue& value) override {
    const std::uint32_t bits = *value.Bits32();
    std::array<char, 15> text{};  // 255.255.255.255
    std::size_t length = 0;
    for (int octet = 0; octet < 4; ++octet) {
      if (octet > 0) text[length++] = '.';
      const auto byte = static_cast<unsigned>(bits >> (8 * octet) & 0xFF);
      if (byte >= 100) text[length++] = static_cast<char>('0' + byte / 100);
      if (byte >= 10) text[length++] = static_cast<char>('0' + byte / 10 % 10);
      text[length++] = static_cast<char>('0' + byte % 10);
    }
    out.append(text.data(), length);
  }
};

}  // namespace

std::unique_ptr<ColumnDecoder> MakeIpAddressDecoder(unsigned /*variant*/,
                                                    const DecoderSettings& /*settings*/) {
  return std::make_unique<IpAddressDecoder>();
}

}  // namespace halvrenn::cdr
