#include "record_converter.h"

#include <algorithm>
#include <cstring>

namespace halvrenn::cdr {
namespace {

// Digits beyond this cannot make a count in range in any unit; further digits only keep the
// number above every limit without overflowing 64 bits.
constexpr std::uint64_t kSaturated = 100'000'000'000'000'000;

bool NeedsQuotes(std::string_view text, char delimiter) {
  return std::any_of(text.begin(), text.end(), [delimiter](char c) {
    return c == delimiter || c == '"' || c == '\r' || c == '\n';
  });
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

void LineNumbers::Add(std::uint64_t line) {
  ++count;
  if (!first.empty() && first.back() == line) return;
  if (first.size() < kKept) {
    first.push_back(line);
  } else {
    more = true;
  }
}

void LineNumbers::Append(const LineNumbers& later, std::uint64_t line_offset) {
  count += later.count;
  for (const std::uint64_t line : later.first) {
    if (!first.empty() && first.back() == line + line_offset) continue;
    if (first.size() < kKept) {
      first.push_back(line + line_offset);
    } else {
      more = true;
    }
  }
  more = more || later.more;
}

void Tally::Append(const Tally& later) {
  records += later.records;
  converted += later.converted;
  empty += later.empty;
  rejected.Append(later.rejected, line_breaks);
  malformed.Append(later.malformed, line_breaks);
  line_breaks += later.line_breaks;
}

bool IsTypeWord(std::string_view word) {
  if (word.empty() || word[0] < 'A' || word[0] > 'Z') return false;
  std::size_t i = 1;
  while (i < word.size() &&
         ((word[i] >= 'A' && word[i] <= 'Z') || (word[i] >= '0' && word[i] <= '9') ||
          word[i] == '_' || word[i] == ' ')) {
    ++i;
  }
  if (i == word.size()) return true;
  if (word[i] != '(' || !word.ends_with(')')) return false;
  const std::string_view size = word.substr(i + 1, word.size() - i - 2);
  if (size.empty() || size.front() == ',' || size.back() == ',') return false;
  return std::count(size.begin(), size.end(), ',') <= 1 &&
         std::all_of(size.begin(), size.end(),
                     [](char c) { return (c >= '0' && c <= '9') || c == ','; });
}

RecordConverter::RecordConverter(const Layout& layout, TimeTexts& texts, bool from_header)
    : layout_(layout), texts_(texts), record_index_(from_header ? 0 : 2) {
  slot_of_field_.assign(layout.field_count, -1);
  for (std::size_t slot = 0; slot < layout.columns.size(); ++slot) {
    const std::size_t index = layout.columns[slot].index;
    if (index >= slot_of_field_.size()) slot_of_field_.resize(index + 1, -1);
    slot_of_field_[index] = static_cast<int>(slot);
  }
  next_time_field_.assign(slot_of_field_.size(), SIZE_MAX);
  for (std::size_t field = slot_of_field_.size(); field-- > 0;) {
    const bool is_time = slot_of_field_[field] >= 0;
    const std::size_t after =
        field + 1 < next_time_field_.size() ? next_time_field_[field + 1] : SIZE_MAX;
    next_time_field_[field] = is_time ? field : after;
  }
  values_.resize(layout.columns.size());
  stops_[static_cast<unsigned char>(layout.delimiter)] = true;
  stops_['\r'] = true;
  stops_['\n'] = true;
  check_quotes_ = layout.format == TextFormat::kLocale ||
                  std::strchr("0123456789+-: \"", layout.delimiter) != nullptr;

  for (const TimeColumn& column : layout.columns) {
    for (const Added added : layout.added) {
      const std::string name = column.name + '_' + std::string(AddedWord(added));
      header_fields_ += layout.delimiter;
      if (column.quoted || NeedsQuotes(name, layout.delimiter)) {
        AppendQuoted(header_fields_, name);
      } else {
        header_fields_ += name;
      }
      type_fields_ += layout.delimiter;
      type_fields_ += "VARCHAR(" + std::to_string(LongestText(added, layout.format)) + ')';
      empty_fields_ += layout.delimiter;
    }
  }
  checking_types_ = record_index_ == 1;
  StartField();
}

void RecordConverter::StartField() {
  const int slot = field_ < slot_of_field_.size() ? slot_of_field_[field_] : -1;
  value_ = slot >= 0 ? &values_[static_cast<std::size_t>(slot)] : nullptr;
  next_interesting_ = field_ < next_time_field_.size() ? next_time_field_[field_] : SIZE_MAX;
  if (checking_types_) type_word_.clear();
}

void RecordConverter::EndField() {
  if (checking_types_ && !IsTypeWord(type_word_)) all_types_ = false;
}

void RecordConverter::Content(char c) {
  if (value_ != nullptr) {
    if (c >= '0' && c <= '9' && value_->kind != Value::Kind::kBad) {
      value_->kind = Value::Kind::kDigits;
      if (value_->number < kSaturated) value_->number = value_->number * 10 + unsigned(c - '0');
    } else {
      value_->kind = Value::Kind::kBad;
    }
  }
  if (checking_types_ && type_word_.size() <= 64) type_word_ += c;
}

void RecordConverter::QuoteFrom(std::string& out, std::size_t from) const {
  const std::string_view text(out.data() + from, out.size() - from);
  if (!NeedsQuotes(text, layout_.delimiter)) return;
  const std::string plain(text);
  out.resize(from);
  AppendQuoted(out, plain);
}

void RecordConverter::AppendValues(std::string& out) {
  for (std::size_t slot = 0; slot < values_.size(); ++slot) {
    const Value& value = values_[slot];
    const std::int64_t per_second = UnitsPerSecond(layout_.columns[slot].unit);
    const bool empty = value.kind == Value::Kind::kNone ||
                       (value.kind == Value::Kind::kDigits && value.number == 0);
    const bool in_range = value.kind == Value::Kind::kDigits &&
                          value.number >= std::uint64_t(per_second) &&
                          value.number / std::uint64_t(per_second) <= std::uint64_t(kLastSecond);
    if (!in_range) {
      if (empty) {
        ++tally_.empty;
      } else {
        tally_.rejected.Add(record_line_);
      }
      out.append(layout_.added.size(), layout_.delimiter);
      continue;
    }
    ++tally_.converted;
    const auto seconds = static_cast<std::int64_t>(value.number / std::uint64_t(per_second));
    for (const Added added : layout_.added) {
      out += layout_.delimiter;
      const std::size_t from = out.size();
      texts_.Append(out, added, seconds);
      if (check_quotes_) QuoteFrom(out, from);
    }
  }
}

void RecordConverter::EndRecord(std::string& out, std::string_view line_break) {
  EndField();
  const bool blank = !record_has_bytes_ && field_ == 0 && record_index_ > 0;
  if (!blank) {
    if (record_index_ == 0) {
      out += header_fields_;
    } else if (checking_types_ && all_types_ && field_ + 1 == layout_.field_count) {
      out += type_fields_;
    } else {
      ++tally_.records;
      if (field_ + 1 < layout_.field_count) {
        tally_.malformed.Add(record_line_);
        out += empty_fields_;
      } else {
        AppendValues(out);
      }
    }
    ++record_index_;
  }
  out += line_break;
  if (!line_break.empty()) {
    ++line_;
    ++tally_.line_breaks;
  }
  record_line_ = line_;
  field_ = 0;
  record_has_bytes_ = false;
  state_ = State::kFieldStart;
  for (Value& value : values_) value = Value{};
  checking_types_ = record_index_ == 1;
  all_types_ = true;
  StartField();
}

namespace {

constexpr std::uint64_t kEveryByte = 0x0101010101010101;
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;

// 0x80 in each byte of `word` that is zero, nothing elsewhere (no borrow crosses bytes).
constexpr std::uint64_t ZeroBytes(std::uint64_t word) {
  return ~(((word & kLow7) + kLow7) | word | kLow7);
}

}  // namespace

const char* RecordConverter::SkipWords(const char* p, const char* end) {
  const std::uint64_t delimiter = kEveryByte * static_cast<unsigned char>(layout_.delimiter);
  constexpr std::uint64_t kQuote = kEveryByte * '"';
  constexpr std::uint64_t kCarriageReturn = kEveryByte * '\r';
  constexpr std::uint64_t kLineFeed = kEveryByte * '\n';
  // With a delimiter above the quote, one test finds a word with any byte up to the quote:
  // a quote, CR or LF, and rarely a blank, which the byte loop then reads.
  const bool delimiter_above_quote = static_cast<unsigned char>(layout_.delimiter) > '"';
  constexpr std::uint64_t kAboveQuote = kEveryByte * ('"' + 1);
  while (end - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    const bool special = delimiter_above_quote
                             ? ((word - kAboveQuote) & ~word & (kEveryByte << 7)) != 0
                             : (ZeroBytes(word ^ kQuote) | ZeroBytes(word ^ kCarriageReturn) |
                                ZeroBytes(word ^ kLineFeed)) != 0;
    if (special) break;
    // One bit per delimiter, summed into the top byte by the multiplication.
    const auto fields =
        static_cast<std::size_t>(((ZeroBytes(word ^ delimiter) >> 7) * kEveryByte) >> 56);
    if (field_ + fields >= next_interesting_) break;
    field_ += fields;
    p += 8;
  }
  return p;
}

const char* RecordConverter::ClosingQuote(const char* p, const char* end) {
  for (;;) {
    const auto* quote =
        static_cast<const char*>(std::memchr(p, '"', static_cast<std::size_t>(end - p)));
    if (quote == nullptr || quote + 1 == end) return nullptr;
    if (quote[1] != '"') return quote;
    p = quote + 2;
  }
}

void RecordConverter::CountLineBreaks(const char* from, const char* to) {
  const auto line_breaks = static_cast<std::uint64_t>(std::count(from, to, '\n'));
  line_ += line_breaks;
  tally_.line_breaks += line_breaks;
}

void RecordConverter::Feed(std::string_view data, std::string& out) {
  const char* p = data.data();
  const char* const end = p + data.size();
  const char* run = p;  // the first byte not yet copied to `out`
  if (pending_cr_ && p < end) {
    pending_cr_ = false;
    if (*p == '\n') {
      ++p;
      EndRecord(out, "\r\n");
      run = p;
    } else {
      out += '\r';  // a plain character of the field
      Content('\r');
      record_has_bytes_ = true;
    }
  }
  while (p < end) {
    switch (state_) {
      case State::kFieldStart:
        if (*p == '"') {
          state_ = State::kQuoted;
          record_has_bytes_ = true;
          ++p;
          break;
        }
        state_ = State::kUnquoted;
        [[fallthrough]];
      case State::kUnquoted: {
        const char* const from = p;
        if (value_ == nullptr && !checking_types_) {
          // Fields that nothing reads are only counted, most of them a word at a time: a call
          // manager's records are mostly such fields, many of them empty.
          bool field_start = false;
          for (;;) {
            if (field_start) {
              if (field_ >= next_interesting_ || p == end) {
                StartField();
                state_ = State::kFieldStart;
                break;
              }
              if (*p == '"') {
                const char* const closing = ClosingQuote(p + 1, end);
                if (closing == nullptr) {  // decided in a later piece
                  StartField();
                  state_ = State::kFieldStart;
                  break;
                }
                CountLineBreaks(p, closing);
                p = closing + 1;  // text after the closing quote belongs to the field
              }
            }
            const char* const words = p;
            p = SkipWords(p, end);
            field_start = p != words && p[-1] == layout_.delimiter;
            if (field_start) continue;
            while (p < end && !stops_[static_cast<unsigned char>(*p)]) ++p;
            if (p == end || *p != layout_.delimiter) break;
            ++field_;
            ++p;
            field_start = true;
          }
          if (p != from) record_has_bytes_ = true;
          if (state_ == State::kFieldStart) break;
        } else if (!checking_types_) {
          // A time stamp's digits, read into a local so that the number stays in a register.
          Value value = *value_;
          for (; p < end && !stops_[static_cast<unsigned char>(*p)]; ++p) {
            const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
            if (digit < 10 && value.kind != Value::Kind::kBad) {
              value.kind = Value::Kind::kDigits;
              if (value.number < kSaturated) value.number = value.number * 10 + digit;
            } else {
              value.kind = Value::Kind::kBad;
            }
          }
          *value_ = value;
          if (p != from) record_has_bytes_ = true;
        } else {
          for (; p < end && !stops_[static_cast<unsigned char>(*p)]; ++p) Content(*p);
          if (p != from) record_has_bytes_ = true;
        }
        if (p == end) break;
        if (*p == '\n') {
          out.append(run, p);
          ++p;
          EndRecord(out, "\n");
          run = p;
        } else if (*p == '\r') {
          if (p + 1 == end) {  // CRLF or a plain CR: the next piece tells
            out.append(run, p);
            run = p = end;
            pending_cr_ = true;
          } else if (p[1] == '\n') {
            out.append(run, p);
            p += 2;
            EndRecord(out, "\r\n");
            run = p;
          } else {
            Content('\r');
            record_has_bytes_ = true;
            ++p;
          }
        } else {  // the delimiter
          EndField();
          ++field_;
          StartField();
          state_ = State::kFieldStart;
          record_has_bytes_ = true;
          ++p;
        }
        break;
      }
      case State::kQuoted: {
        const auto* quote =
            static_cast<const char*>(std::memchr(p, '"', static_cast<std::size_t>(end - p)));
        const char* const stop = quote != nullptr ? quote : end;
        CountLineBreaks(p, stop);
        if (value_ != nullptr || checking_types_) {
          for (const char* c = p; c < stop; ++c) Content(*c);
        }
        p = stop;
        if (quote != nullptr) {
          state_ = State::kQuoteInQuoted;
          ++p;
        }
        break;
      }
      case State::kQuoteInQuoted:
        if (*p == '"') {
          Content('"');
          state_ = State::kQuoted;
          ++p;
        } else {
          state_ = State::kUnquoted;  // text after the closing quote belongs to the field
        }
        break;
    }
  }
  out.append(run, end);
}

void RecordConverter::Finish(std::string& out) {
  if (pending_cr_) {
    pending_cr_ = false;
    out += '\r';
    Content('\r');
    record_has_bytes_ = true;
  }
  if (state_ == State::kQuoted) {
    // An unterminated quote: its field runs to the end, and anything added would land inside it,
    // so the record stays exactly as it is.
    ++tally_.records;
    tally_.malformed.Add(record_line_);
    ++record_index_;
    state_ = State::kFieldStart;
    return;
  }
  if (record_has_bytes_ || field_ > 0) EndRecord(out, "");
}

}  // namespace halvrenn::cdr
