// The call manager's coded integers by the names of its code tables (code_tables.h): causes and
// their locations, redirect reasons, the features that acted, codecs, security, precedence,
// DTMF methods, protocols, routing and pattern usage. A code is a 32-bit integer, written
// unsigned or, by some files and tools, signed: -1493172161 is 2801795135. The whole value is
// looked up, composite redirect reasons too.
//
// Example: the causes' 393216 gets "Call split"; a codec's 4 gets "G.711 µ-law 64k" and its 0
// (no media) is empty; a cause the table lacks, such as 12, is unknown.

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "cdr/format/code_tables.h"
#include "cdr/format/column_kinds.h"

namespace halvrenn::cdr {
namespace {

class CodeDecoder final : public ColumnDecoder {
 public:
  CodeDecoder(CodeTable table, char delimiter) : codes_(CodesOf(table)) {
    // 0 means no media was established: in neither media table, and no value at all.
    zero_is_empty_ = table == CodeTable::kCodec || table == CodeTable::kVideoCodec;
    // Each name as it is written with this delimiter, once, rather than checked at every value.
    written_.reserve(codes_.size());
    std::size_t longest = 0;
    for (const CodeName& code : codes_) {
      longest = std::max(longest, code.name.size());
      if (code.code < small_.size()) small_[code.code] = &code;
      std::string& written = written_.emplace_back();
      if (NeedsQuotes(code.name, delimiter)) {
        AppendQuoted(written, code.name);
      } else {
        written = code.name;
      }
    }
    fields_[0] = {"text", longest};  // bytes of UTF-8, so at least its characters
  }

  std::span<const AddedField> Fields() const override { return fields_; }

  Verdict Judge(const IntegerValue& value) const override {
    if (value.kind == IntegerValue::Kind::kNone) return Verdict::kEmpty;
    const std::optional<std::uint32_t> code = value.Bits32();
    if (!code) return Verdict::kRejected;
    if (*code == 0 && zero_is_empty_) return Verdict::kEmpty;
    found_ = Find(*code);
    return found_ != nullptr ? Verdict::kConverted : Verdict::kUnknown;
  }

  void AppendText(std::string& out, std::size_t /*field*/, const IntegerValue& /*value*/) override {
    out += written_[static_cast<std::size_t>(found_ - codes_.data())];
  }

 private:
  // Most codes are small: those are found at once, the larger ones by halving.
  const CodeName* Find(std::uint32_t code) const {
    if (code < small_.size()) return small_[code];
    const auto found = std::lower_bound(
        codes_.begin(), codes_.end(), code,
        [](const CodeName& entry, std::uint32_t wanted) { return entry.code < wanted; });
    return found != codes_.end() && found->code == code ? &*found : nullptr;
  }

  std::span<const CodeName> codes_;
  std::vector<std::string> written_;  // by the codes' places
  std::array<const CodeName*, 256> small_{};
  bool zero_is_empty_ = false;
  std::array<AddedField, 1> fields_;
  mutable const CodeName* found_ = nullptr;  // of the value judged last, which AppendText writes
};

}  // namespace

std::unique_ptr<ColumnDecoder> MakeCodeDecoder(unsigned variant, const DecoderSettings& settings) {
  return std::make_unique<CodeDecoder>(static_cast<CodeTable>(variant), settings.delimiter);
}

}  // namespace halvrenn::cdr
