// The kind of column that holds time stamps: counts of seconds (or milliseconds, microseconds)
// since 1970, from 1 to 4294967295 seconds; it adds the time texts chosen, in order.
//
// Example: with the time texts {kGmt, kLocal} in New York, 1796619600 gets
// "2026-12-07 05:00:00" and "2026-12-07 00:00:00"; 0 and an empty field are empty; 4294967296
// and -5 are rejected.

#include <vector>

#include "cdr/format/column_kinds.h"

namespace halvrenn::cdr {
namespace {

class TimeStampDecoder final : public ColumnDecoder {
 public:
  TimeStampDecoder(Unit unit, const DecoderSettings& settings)
      : per_second_(static_cast<std::uint64_t>(UnitsPerSecond(unit))),
        time_texts_(settings.time_texts),
        texts_(settings.texts) {
    for (const TimeText text : time_texts_) {
      fields_.push_back({TimeTextWord(text), LongestText(text, settings.format)});
    }
  }

  std::span<const AddedField> Fields() const override { return fields_; }

  Verdict Judge(const IntegerValue& value) const override {
    if (value.Empty()) return Verdict::kEmpty;
    const bool in_range = value.Integer() && !value.negative && value.number >= per_second_ &&
                          value.number / per_second_ <= static_cast<std::uint64_t>(kLastSecond);
    return in_range ? Verdict::kConverted : Verdict::kRejected;
  }

  void AppendText(std::string& out, std::size_t field, const IntegerValue& value) override {
    texts_.Append(out, time_texts_[field], static_cast<std::int64_t>(value.number / per_second_));
  }

 private:
  std::uint64_t per_second_;
  std::span<const TimeText> time_texts_;
  TimeTexts& texts_;
  std::vector<AddedField> fields_;
};

}  // namespace

std::unique_ptr<ColumnDecoder> MakeTimeStampDecoder(unsigned variant,
                                                    const DecoderSettings& settings) {
  return std::make_unique<TimeStampDecoder>(static_cast<Unit>(variant), settings);
}

}  // namespace halvrenn::cdr
