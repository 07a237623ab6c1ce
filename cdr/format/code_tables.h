#pragma once

// The call manager's code tables: for each coded column of its records, the number it writes
// and the name its documentation gives it. The data is the folder record_codes, a copy of the
// published tables as CSV (`code,name`), which code_tables.cmake turns into code_tables.cpp at
// build time; a name is changed there, never here.
//
// Example: CodesOf(CodeTable::kCause) holds {16, "Normal call clearing"} and
// {393216, "Call split"}; CodesOf(CodeTable::kCodec) holds {4, "G.711 µ-law 64k"}.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace halvrenn::cdr {

// In the order code_tables.cmake reads the files: kCause is cause.csv, kCauseLocation
// cause_location.csv, and so on.
enum class CodeTable : unsigned char {
  kCause,
  kCauseLocation,
  kRedirectReason,
  kOnBehalfOf,
  kCodec,
  kVideoCodec,
  kCallSecurity,
  kPrecedence,
  kDtmfMethod,
  kProtocol,
  kRoutingReason,
  kPatternUsage,
};
inline constexpr std::size_t kCodeTables = 12;

struct CodeName {
  std::uint32_t code;
  std::string_view name;  // UTF-8
};

// The codes of one table, in ascending order, each once.
std::span<const CodeName> CodesOf(CodeTable table);

// The keys of a call management record's voice quality text (varVQMetrics), in the order of
// quality_keys.csv: MLQK, MLQKav, ...
std::span<const std::string_view> QualityKeys();

constexpr bool Ascending(std::span<const CodeName> codes) {
  for (std::size_t i = 1; i < codes.size(); ++i) {
    if (codes[i - 1].code >= codes[i].code) return false;
  }
  return !codes.empty();
}

}  // namespace halvrenn::cdr
