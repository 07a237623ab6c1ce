#include "time/module1.h"

#include "time/checked_int32.h"
#include "time/locale_and_zone.h"
#include "time/number_text.h"
#include "time/serial_date.h"

namespace halvrenn::Module1 {

std::string EpochToGmtText(std::string_view text) {
  return FormatGeneralDate(AddSeconds(TextToDouble(text), EpochBase));
}

std::string EpochToLocalText(std::int32_t seconds) {
  const std::int32_t offset = CheckedMul32(platform::ZoneBiasMinutes(), 60);
  const std::int32_t local = CheckedSub32(seconds, offset);
  return FormatGeneralDate(AddSeconds(static_cast<double>(local), EpochBase));
}

}  // namespace halvrenn::Module1
