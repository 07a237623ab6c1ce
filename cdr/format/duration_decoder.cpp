// Durations of calls, whole seconds from 0 to 4294967295, as H:MM:SS with as many hour digits
// as needed (1193046:28:15 at the most). 0 is a call that never connected: 0:00:00.

#include <array>
#include <string>

#include "cdr/format/column_kinds.h"
#include "cdr/format/field_limits.h"

namespace halvrenn::cdr {
namespace {

class DurationDecoder final : public ColumnDecoder {
 public:
  Verdict Judge(const IntegerValue& value) const override {
    if (value.kind == IntegerValue::Kind::kNone) return Verdict::kEmpty;
    const bool seconds = value.Integer() && (!value.negative || value.number == 0);
    return seconds && value.number <= kLargestUnsigned32 ? Verdict::kConverted : Verdict::kRejected;
  }

  void AppendText(std::string& out, std::size_t /*field*/, const IntegerValue& value) override {
    const std::uint64_t seconds = value.number;
    out += std::to_string(seconds / 3600);
    const std::array<char, 6> minutes_seconds = {
        ':', static_cast<char>('0' + seconds / 600 % 6), static_cast<char>('0' + seconds / 60 % 10),
        ':', static_cast<char>('0' + seconds % 60 / 10), static_cast<char>('0' + seconds % 10)};
    out.append(minutes_seconds.data(), minutes_seconds.size());
  }
};

}  // namespace

std::unique_ptr<ColumnDecoder> MakeDurationDecoder(unsigned /*variant*/,
                                                   const DecoderSettings& /*settings*/) {
  return std::make_unique<DurationDecoder>();
}

}  // namespace halvrenn::cdr
