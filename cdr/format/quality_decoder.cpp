// The voice quality of a call, from a call management record's varVQMetrics: a text of
// `key=value` pairs separated by `;`, such as `MLQK=4.5000;MLQKav=4.4000; CCR=0.0000;CS=0`. Each
// key of quality_keys.csv gets a column of its own, in that file's order, holding its value as
// written with the blanks around it trimmed; a pair splits at its first `=`, a blank may follow a
// `;`, and a key given twice keeps its first value. Keys not in the table stay in the original
// field only, as newer endpoints add their own (VoRxCodec, maxJitter).
//
// Example: `MLQK=4.5000; CS=0` gives MLQK "4.5000" and CS "0", the other columns empty. An empty
// field is empty; a text without any known key is unknown; a known key's value longer than
// kLongestValue makes the field rejected, as the type row promises that length.

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "cdr/format/code_tables.h"
#include "cdr/format/column_kinds.h"

namespace halvrenn::cdr {
namespace {

constexpr std::size_t kLongestValue = 32;  // MOS and ratios are written as 4.5000 or 0.0000
constexpr std::size_t kLongestKey = 16;    // longer keys are none of the table's

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A key or a value being read: its bytes without the blanks that lead, and with those that
// follow held back, as they are, until another byte shows they are inside it. Beyond `room`
// bytes it is only marked as too long.
class TrimmedText {
 public:
  explicit TrimmedText(std::size_t room) : room_(room) {}

  void Add(char c) {
    if (IsBlank(c)) {
      if (!text_.empty() && text_.size() + held_blanks_.size() < room_) held_blanks_ += c;
      return;
    }
    if (text_.size() + held_blanks_.size() + 1 > room_) {
      too_long_ = true;
      return;
    }
    text_ += held_blanks_;
    held_blanks_.clear();
    text_ += c;
  }
  void Clear() {
    text_.clear();
    held_blanks_.clear();
    too_long_ = false;
  }
  std::string_view Text() const { return text_; }
  bool TooLong() const { return too_long_; }

 private:
  std::size_t room_;
  std::string text_;
  std::string held_blanks_;
  bool too_long_ = false;
};

class QualityDecoder final : public ColumnDecoder {
 public:
  QualityDecoder() : keys_(QualityKeys()), values_(keys_.size()), given_(keys_.size()) {
    for (const std::string_view key : keys_) fields_.push_back({key, kLongestValue});
  }

  std::span<const AddedField> Fields() const override { return fields_; }
  bool ReadsText() const override { return true; }

  void Read(std::string_view piece) override {
    for (const char c : piece) {
      if (!IsBlank(c)) any_text_ = true;
      if (c == ';') {
        EndPair();
      } else if (c == '=' && !in_value_) {
        in_value_ = true;
      } else {
        (in_value_ ? value_ : key_).Add(c);
      }
    }
  }
  void EndText() override { EndPair(); }

  void Clear() override {
    key_.Clear();
    value_.Clear();
    in_value_ = false;
    any_text_ = false;
    too_long_ = false;
    for (std::size_t i = 0; i < values_.size(); ++i) {
      values_[i].clear();
      given_[i] = false;
    }
  }

  Verdict Judge(const IntegerValue& /*value*/) const override {
    if (!any_text_) return Verdict::kEmpty;
    if (too_long_) return Verdict::kRejected;
    const bool any_key = std::find(given_.begin(), given_.end(), true) != given_.end();
    return any_key ? Verdict::kConverted : Verdict::kUnknown;
  }

  void AppendText(std::string& out, std::size_t field, const IntegerValue& /*value*/) override {
    out += values_[field];
  }

 private:
  void EndPair() {
    if (in_value_ && !key_.TooLong()) {
      for (std::size_t i = 0; i < keys_.size(); ++i) {
        if (key_.Text() != keys_[i] || given_[i]) continue;
        given_[i] = true;
        too_long_ = too_long_ || value_.TooLong();
        values_[i] = value_.Text();
        break;
      }
    }
    key_.Clear();
    value_.Clear();
    in_value_ = false;
  }

  std::span<const std::string_view> keys_;
  std::vector<AddedField> fields_;
  std::vector<std::string> values_;  // by key
  std::vector<bool> given_;
  TrimmedText key_{kLongestKey};
  TrimmedText value_{kLongestValue};
  bool in_value_ = false;
  bool any_text_ = false;  // a byte other than a blank
  bool too_long_ = false;  // a value of the table's keys longer than kLongestValue
};

}  // namespace

std::unique_ptr<ColumnDecoder> MakeQualityDecoder(unsigned /*variant*/,
                                                  const DecoderSettings& /*settings*/) {
  return std::make_unique<QualityDecoder>();
}

}  // namespace halvrenn::cdr
