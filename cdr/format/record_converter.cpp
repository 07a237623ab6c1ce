#include "cdr/format/record_converter.h"

#include <algorithm>
#include <cstring>
#include <span>

namespace halvrenn::cdr {
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
    : layout_(layout), record_index_(from_header ? 0 : 2), scanner_(layout.delimiter, *this) {
  // Texts of dates, offsets, addresses and durations are made of these characters alone; a
  // locale's dates and the voice quality's values may hold anything, and the codes' names come
  // quoted where they need it.
  const bool plain_may_need_quotes = layout.format == TextFormat::kLocale ||
                                     std::strchr("0123456789+-:. \"", layout.delimiter) != nullptr;
  const DecoderSettings settings{layout.delimiter, layout.time_texts, layout.format, texts};
  targets_.assign(layout.field_count, FieldTarget{});
  values_.resize(layout.columns.size());
  for (std::size_t slot = 0; slot < layout.columns.size(); ++slot) {
    const Column& column = layout.columns[slot];
    if (column.index >= targets_.size()) targets_.resize(column.index + 1);
    const ColumnKindEntry& kind = EntryOf(column.kind);
    decoders_.push_back(kind.make(column.variant, settings));
    ColumnDecoder* decoder = decoders_.back().get();
    if (decoder->ReadsText()) {
      text_readers_.push_back(decoder);
      targets_[column.index].reader = decoder;
    } else {
      targets_[column.index].value = &values_[slot];
    }
    using Texts = ColumnKindEntry::Texts;
    slots_.push_back(
        {decoder, kind.fields.empty() ? decoder->Fields() : kind.fields,
         static_cast<std::size_t>(column.kind), decoder->ReadsText(),
         kind.texts == Texts::kFree || (kind.texts == Texts::kPlain && plain_may_need_quotes)});
  }
  for (std::size_t field = targets_.size(); field-- > 0;) {
    FieldTarget& target = targets_[field];
    const bool decoded = target.value != nullptr || target.reader != nullptr;
    const std::size_t after = field + 1 < targets_.size() ? targets_[field + 1].next : SIZE_MAX;
    target.next = decoded ? field : after;
  }

  for (std::size_t slot = 0; slot < decoders_.size(); ++slot) {
    const Column& column = layout.columns[slot];
    for (const AddedField& field : slots_[slot].fields) {
      const std::string name = column.name + '_' + std::string(field.suffix);
      header_fields_ += layout.delimiter;
      if (column.quoted || NeedsQuotes(name, layout.delimiter)) {
        AppendQuoted(header_fields_, name);
      } else {
        header_fields_ += name;
      }
      type_fields_ += layout.delimiter;
      type_fields_ += "VARCHAR(" + std::to_string(field.longest) + ')';
      empty_fields_ += layout.delimiter;
    }
  }
  checking_types_ = record_index_ == 1;
  all_types_ = true;
}

void RecordConverter::QuoteFrom(std::string& out, std::size_t from) const {
  const std::string_view text(out.data() + from, out.size() - from);
  if (!NeedsQuotes(text, layout_.delimiter)) return;
  const std::string plain(text);
  out.resize(from);
  AppendQuoted(out, plain);
}

void RecordConverter::AppendValues(std::string& out) {
  // In locals: the compiler must take any byte written to `out` for one that may change a
  // member, and would read each of them again after every append.
  const char delimiter = layout_.delimiter;
  const IntegerValue* value_of = values_.data();
  std::uint64_t empty = 0;
  std::uint64_t converted = 0;
  for (const Slot& to_write : std::span<const Slot>(slots_)) {
    const IntegerValue& value = *value_of++;
    // Most of a call manager's coded fields are empty: an integer with no byte is empty to every
    // kind, without asking its decoder.
    const bool no_integer = value.kind == IntegerValue::Kind::kNone && !to_write.reads_text;
    switch (no_integer ? Verdict::kEmpty : to_write.decoder->Judge(value)) {
      case Verdict::kEmpty:
        ++empty;
        out.append(to_write.fields.size(), delimiter);
        continue;
      case Verdict::kRejected:
        tally_.rejected.Add(record_line_);
        out.append(to_write.fields.size(), delimiter);
        continue;
      case Verdict::kUnknown:
        ++tally_.unknown_of[to_write.kind];
        out.append(to_write.fields.size(), delimiter);
        continue;
      case Verdict::kConverted:
        break;
    }
    ++converted;
    ++tally_.converted_of[to_write.kind];
    for (std::size_t field = 0; field < to_write.fields.size(); ++field) {
      out += delimiter;
      const std::size_t from = out.size();
      to_write.decoder->AppendText(out, field, value);
      if (to_write.check_quotes) QuoteFrom(out, from);
    }
  }
  tally_.empty += empty;
  tally_.converted += converted;
}

bool RecordConverter::EndRecord(const RecordEnd& end) {
  record_line_ = end.line;
  const bool blank = end.blank && record_index_ > 0;
  if (!blank) {
    if (record_index_ == 0) {
      *out_ += header_fields_;
    } else if (checking_types_ && all_types_ && end.fields == layout_.field_count) {
      *out_ += type_fields_;
    } else {
      ++tally_.records;
      if (end.fields < layout_.field_count) {
        tally_.malformed.Add(end.line);
        *out_ += empty_fields_;
      } else {
        AppendValues(*out_);
      }
    }
    ++record_index_;
  }
  for (IntegerValue& value : values_) value = IntegerValue{};
  for (ColumnDecoder* reader : text_readers_) reader->Clear();
  checking_types_ = record_index_ == 1;
  all_types_ = true;
  return true;
}

void RecordConverter::EndInQuotes(std::uint64_t line) {
  // An unterminated quote: its field runs to the end, and anything added would land inside it,
  // so the record stays exactly as it is.
  ++tally_.records;
  tally_.malformed.Add(line);
  ++record_index_;
}

void RecordConverter::Feed(std::string_view data, std::string& out) {
  out_ = &out;
  scanner_.Feed(data);
}

void RecordConverter::Finish(std::string& out) {
  out_ = &out;
  scanner_.Finish();
}

}  // namespace halvrenn::cdr
