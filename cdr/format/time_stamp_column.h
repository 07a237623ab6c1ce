#pragma once

// The kind of column that holds time stamps: counts of seconds (or milliseconds, microseconds)
// since 1970, from 1 to 4294967295 seconds; it adds the texts that Added names, in order.
//
// Example: with added {kGmt, kLocal} in New York, 1796619600 gets "2026-12-07 05:00:00" and
// "2026-12-07 00:00:00"; 0 and an empty field are empty; 4294967296 and -5 are rejected.

#include <vector>

#include "cdr/format/added_columns.h"
#include "cdr/format/columns.h"
#include "cdr/format/time_texts.h"

namespace halvrenn::cdr {

class TimeStampColumn final : public AddedColumn {
 public:
  // `texts` is the converting thread's own; it outlives the column.
  TimeStampColumn(Unit unit, const std::vector<Added>& added, TextFormat format, TimeTexts& texts)
      : unit_(unit), added_(added), format_(format), texts_(texts) {}

  std::size_t Count() const override { return added_.size(); }
  std::string_view Suffix(std::size_t field) const override { return AddedWord(added_[field]); }
  std::size_t LongestText(std::size_t field) const override {
    return cdr::LongestText(added_[field], format_);
  }
  Verdict Judge(const IntegerValue& value) const override;
  void AppendText(std::string& out, std::size_t field, const IntegerValue& value) override;

 private:
  Unit unit_;
  const std::vector<Added>& added_;
  TextFormat format_;
  TimeTexts& texts_;
};

}  // namespace halvrenn::cdr
