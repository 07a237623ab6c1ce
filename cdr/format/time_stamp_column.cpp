#include "cdr/format/time_stamp_column.h"

namespace halvrenn::cdr {

Verdict TimeStampColumn::Judge(const IntegerValue& value) const {
  if (value.Empty()) return Verdict::kEmpty;
  const auto per_second = static_cast<std::uint64_t>(UnitsPerSecond(unit_));
  const bool in_range = value.Integer() && !value.negative && value.number >= per_second &&
                        value.number / per_second <= static_cast<std::uint64_t>(kLastSecond);
  return in_range ? Verdict::kConverted : Verdict::kRejected;
}

void TimeStampColumn::AppendText(std::string& out, std::size_t field, const IntegerValue& value) {
  const auto seconds =
      static_cast<std::int64_t>(value.number / static_cast<std::uint64_t>(UnitsPerSecond(unit_)));
  texts_.Append(out, added_[field], seconds);
}

}  // namespace halvrenn::cdr
