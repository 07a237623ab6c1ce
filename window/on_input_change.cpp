#include "window/on_input_change.h"

#include "time/checked_int32.h"
#include "time/civil_date_time.h"
#include "time/module1.h"
#include "time/number_text.h"
#include "time/serial_date.h"

namespace halvrenn {
namespace {

// The accepted counts, both bounds inclusive, compared on the double read from the text: 0 to
// 25568 are refused like negative counts, and the top is the largest 32-bit count.
constexpr double kLowestAcceptedCount = 25569.0;
constexpr double kHighestAcceptedCount = 2147483647.0;

}  // namespace

void OnInputChange(InputChangeFields& fields) {
  const std::string text = fields.ReadText1();
  if (!text.empty() && IsNumericText(text)) {
    const double count = TextToDouble(text);
    if (!(count > kHighestAcceptedCount) && !(count < kLowestAcceptedCount)) {
      fields.WriteText2(Module1::EpochToGmtText(text));
      fields.WriteText3(Module1::EpochToLocalText(TextToInt32(text)));
      const double daylight_count = count + static_cast<double>(kDaylightShiftSeconds);
      fields.WriteText4(Module1::EpochToLocalText(DoubleToInt32(daylight_count)));
      return;
    }
  }
  const std::string invalid(kInvalidText);
  fields.WriteText2(invalid);
  fields.WriteText3(invalid);
  fields.WriteText4(invalid);
}

}  // namespace halvrenn
