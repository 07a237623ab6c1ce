#include "window/dispatch.h"

#include "time/checked_int32.h"
#include "time/serial_date.h"

namespace halvrenn {
namespace {

// Passes the four operations through and notes which outputs the handler wrote.
class WriteTracker final : public InputChangeFields {
 public:
  explicit WriteTracker(InputChangeFields& fields) : fields_(fields) {}

  std::string ReadText1() const override { return fields_.ReadText1(); }
  void WriteText2(const std::string& text) override {
    fields_.WriteText2(text);
    wrote_text2_ = true;
  }
  void WriteText3(const std::string& text) override {
    fields_.WriteText3(text);
    wrote_text3_ = true;
  }
  void WriteText4(const std::string& text) override {
    fields_.WriteText4(text);
    wrote_text4_ = true;
  }

  void MarkUnwrittenInvalid() {
    const std::string invalid(kInvalidText);
    if (!wrote_text2_) fields_.WriteText2(invalid);
    if (!wrote_text3_) fields_.WriteText3(invalid);
    if (!wrote_text4_) fields_.WriteText4(invalid);
  }

 private:
  InputChangeFields& fields_;
  bool wrote_text2_ = false;
  bool wrote_text3_ = false;
  bool wrote_text4_ = false;
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
