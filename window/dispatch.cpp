#include "dispatch.h"

#include <array>

#include "checked_int32.h"
#include "serial_date.h"

namespace halvrenn {
namespace {

// Passes the four operations through and notes which outputs the handler wrote.
class WriteTracker final : public InputChangeFields {
 public:
  explicit WriteTracker(InputChangeFields& fields) : fields_(fields) {}

  std::string ReadText1() const override { return fields_.ReadText1(); }
  void WriteText2(const std::string& text) override { Write(0, text); }
  void WriteText3(const std::string& text) override { Write(1, text); }
  void WriteText4(const std::string& text) override { Write(2, text); }

  void MarkUnwrittenInvalid() {
    for (std::size_t output = 0; output < written_.size(); ++output) {
      if (!written_[output]) Write(output, std::string(kInvalidText));
    }
  }

 private:
  void Write(std::size_t output, const std::string& text) {
    switch (output) {
      case 0:
        fields_.WriteText2(text);
        break;
      case 1:
        fields_.WriteText3(text);
        break;
      default:
        fields_.WriteText4(text);
        break;
    }
    written_[output] = true;
  }

  InputChangeFields& fields_;
  std::array<bool, 3> written_{};
};

}  // namespace

void DispatchInputChange(InputChangeFields& fields) noexcept {
  WriteTracker tracker(fields);
  try {
    OnInputChange(tracker);
  } catch (const OverflowError&) {
    tracker.MarkUnwrittenInvalid();
  }
}

}  // namespace halvrenn
