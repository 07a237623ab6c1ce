#pragma once

// The record scanner: RFC 4180 records split into fields, streaming, allocating nothing. Bytes
// go in in pieces of any size; the scanner tells its consumer (a template parameter, so that the
// calls inline) where fields and records end, hands it the content of the fields it asks for,
// and passes every byte on in order. It holds back nothing but a carriage return at the end of a
// piece, since whether it starts a CRLF is known only with the next byte.
//
// Records: a field that starts with a double quote runs to the closing quote and holds
// delimiters, line breaks and doubled quotes; a quote elsewhere is a plain character, and so is
// text after a closing quote. A record ends at a line break outside quotes, kept as it is: LF,
// CRLF, or a lone CR, as a spreadsheet's "CSV (Macintosh)" writes; a CRLF split between pieces
// is one line break. Lines are counted the same way, inside quoted fields too. The converter, the
// header reader and the delimiter guess all read records through it.
//
// A consumer provides:
//   std::size_t NextWanted(std::size_t field)   at the start of each field it may want: the first
//                                               field from `field` on whose content it wants
//                                               (SIZE_MAX: none); fields before it are skipped,
//                                               most of them 16 or 8 bytes at a time
//   void Content(const char* from, const char* to)  content of a wanted field, in pieces: the
//                                               bytes of an unquoted field, or a quoted field's
//                                               text without its quotes (a doubled quote as one)
//   void EndField(bool quoted)                  a wanted field ended; whether it began with a quote
//   void Pass(const char* from, const char* to) bytes of the input, every one, in order
//   bool EndRecord(const RecordEnd& end)        a record ended, before its line break is passed;
//                                               false stops the scan after the line break
//   void EndInQuotes(std::uint64_t line)        the input ended inside a quoted field
//
// Example: a consumer whose NextWanted returns `field`, fed `a,"b""c"\r\n`, gets Content("a"),
// EndField(false), Content("b"), Content("\""), Content("c"), EndField(true), Pass(`a,"b""c"`),
// EndRecord{fields 2, line 1, "\r\n"}, Pass("\r\n").

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "cdr/format/structural_bytes.h"

namespace halvrenn::cdr {

struct RecordEnd {
  std::size_t fields = 0;       // at least 1
  bool blank = false;           // no byte at all: an empty line
  std::uint64_t line = 1;       // the line the record starts on, counted from 1
  std::string_view line_break;  // "\n", "\r\n", "\r", or empty at the end of the input
};

template <typename Consumer>
class RecordScanner {
 public:
  // The consumer is first asked for what it wants when the first piece comes, so that it may
  // hold the scanner as a member and finish its own set-up first.
  RecordScanner(char delimiter, Consumer& consumer) : delimiter_(delimiter), consumer_(consumer) {}

  // Scans the next piece. Returns how many of its bytes were scanned: all of them, unless the
  // consumer stopped at a record's end.
  std::size_t Feed(std::string_view data);
  // Ends the input: the last record, when no line break ends it.
  void Finish();

  // Whether the last byte scanned ended a record (or nothing was scanned).
  bool AtRecordStart() const {
    return state_ == State::kFieldStart && field_ == 0 && !record_has_bytes_ && !pending_cr_;
  }
  std::uint64_t LineBreaks() const { return line_ - 1; }

 private:
  enum class State : unsigned char { kFieldStart, kUnquoted, kQuoted, kQuoteInQuoted };

  void Start() {
    started_ = true;
    StartField();
  }
  void StartField() {
    next_wanted_ = consumer_.NextWanted(field_);
    field_quoted_ = false;
  }
  bool Wanted() const { return next_wanted_ == field_; }
  void EndField() {
    if (Wanted()) consumer_.EndField(field_quoted_);
  }
  bool EndRecord(std::string_view line_break) {
    EndField();
    const bool go_on = consumer_.EndRecord(
        {field_ + 1, !record_has_bytes_ && field_ == 0, record_line_, line_break});
    consumer_.Pass(line_break.data(), line_break.data() + line_break.size());
    if (!line_break.empty()) ++line_;
    record_line_ = line_;
    field_ = 0;
    record_has_bytes_ = false;
    state_ = State::kFieldStart;
    StartField();
    return go_on;
  }
  // Line breaks in quoted text: each LF, and each CR that no LF follows. A CR that ends the
  // piece (`to_piece_end`) is counted, and taken back when the next piece starts with its LF.
  void CountLineBreaks(const char* from, const char* to, bool to_piece_end) {
    const bool after_cr = quoted_cr_at_end_;
    quoted_cr_at_end_ = false;
    // Quoted texts are mostly short names without a line break.
    if (structural::FindLineBreak(from, to) == to) return;
    line_ += static_cast<std::uint64_t>(std::count(from, to, '\n'));
    if (after_cr && *from == '\n') --line_;
    const auto size = static_cast<std::size_t>(to - from);
    if (std::memchr(from, '\r', size) == nullptr) return;
    for (const char* p = from; p + 1 < to; ++p) {
      if (*p == '\r' && p[1] != '\n') ++line_;
    }
    if (to[-1] == '\r') {
      ++line_;
      quoted_cr_at_end_ = to_piece_end;
    }
  }
  // Where a piece is scanned to, and what of it the consumer has been passed.
  struct Piece {
    const char* at;  // the next byte to scan
    const char* end;
    const char* unpassed;  // the first byte not yet passed on
  };

  // The steps of Feed, each at the byte `piece.at` in the state it is named for; those that
  // return a bool give false when the consumer stopped at a record's end.
  bool EndPendingCr(Piece& piece);
  bool ScanUnquoted(Piece& piece);
  const char* SkipUnwantedFields(const char* p, const char* end);
  bool EndAtStop(Piece& piece);
  bool EndAtLineBreak(Piece& piece);
  bool EndRecordAt(Piece& piece, const char* at, std::string_view line_break);
  void ScanQuoted(Piece& piece);
  void AfterQuoteInQuoted(Piece& piece);

  // The quote that closes a quoted field whose text starts at `p`; nothing when the piece ends
  // first, or with a quote whose doubling the next piece would tell.
  static const char* ClosingQuote(const char* p, const char* end);

  char delimiter_;
  Consumer& consumer_;
  State state_ = State::kFieldStart;
  bool started_ = false;
  bool pending_cr_ = false;        // a CR outside quotes ended the last piece
  bool quoted_cr_at_end_ = false;  // a CR inside quotes ended the last piece's quoted text
  bool record_has_bytes_ = false;
  std::size_t field_ = 0;
  std::size_t next_wanted_ = 0;
  bool field_quoted_ = false;
  std::uint64_t line_ = 1;
  std::uint64_t record_line_ = 1;
};

namespace scanner_detail {

inline constexpr std::string_view kCrLf = "\r\n";
inline constexpr std::string_view kCr = "\r";

}  // namespace scanner_detail

template <typename Consumer>
const char* RecordScanner<Consumer>::ClosingQuote(const char* p, const char* end) {
  for (;;) {
    const char* const quote = structural::FindQuote(p, end);
    if (quote == nullptr || quote + 1 == end) return nullptr;
    if (quote[1] != '"') return quote;
    p = quote + 2;
  }
}

template <typename Consumer>
std::size_t RecordScanner<Consumer>::Feed(std::string_view data) {
  if (!started_) Start();
  Piece piece{data.data(), data.data() + data.size(), data.data()};
  const auto scanned = [&] { return static_cast<std::size_t>(piece.at - data.data()); };
  if (pending_cr_ && piece.at < piece.end && !EndPendingCr(piece)) return scanned();
  while (piece.at < piece.end) {
    switch (state_) {
      case State::kFieldStart:
        if (*piece.at == '"') {
          state_ = State::kQuoted;
          field_quoted_ = true;
          record_has_bytes_ = true;
          ++piece.at;
          break;
        }
        state_ = State::kUnquoted;
        [[fallthrough]];
      case State::kUnquoted:
        if (!ScanUnquoted(piece)) return scanned();
        break;
      case State::kQuoted:
        ScanQuoted(piece);
        break;
      case State::kQuoteInQuoted:
        AfterQuoteInQuoted(piece);
        break;
    }
  }
  consumer_.Pass(piece.unpassed, piece.end);
  return data.size();
}

// The CR that ended the last piece ends a record: with the LF that starts this one, a CRLF.
template <typename Consumer>
bool RecordScanner<Consumer>::EndPendingCr(Piece& piece) {
  using scanner_detail::kCr;
  using scanner_detail::kCrLf;
  pending_cr_ = false;
  const bool crlf = *piece.at == '\n';
  if (crlf) piece.unpassed = ++piece.at;
  return EndRecord(crlf ? kCrLf : kCr);
}

// An unquoted field's bytes, wanted or not, up to the byte that ends the field.
template <typename Consumer>
bool RecordScanner<Consumer>::ScanUnquoted(Piece& piece) {
  const char* const from = piece.at;
  if (!Wanted()) {
    piece.at = SkipUnwantedFields(piece.at, piece.end);
    if (piece.at != from) record_has_bytes_ = true;
    if (state_ == State::kFieldStart) return true;
  } else {
    piece.at = structural::FieldEnd(piece.at, piece.end, delimiter_);
    if (piece.at != from) {
      record_has_bytes_ = true;
      consumer_.Content(from, piece.at);
    }
  }
  if (piece.at == piece.end) return true;
  return EndAtStop(piece);
}

// Fields that nothing reads are only counted, most of them 16 or 8 bytes at a time: a call
// manager's records are mostly such fields, many of them empty. Stops at the start of the next
// wanted field, at the end of the piece, or at a quoted field whose end a later piece decides (each
// then a field's start), or else at a line break.
template <typename Consumer>
const char* RecordScanner<Consumer>::SkipUnwantedFields(const char* p, const char* end) {
  bool field_start = false;
  for (;;) {
    if (field_start) {
      if (field_ >= next_wanted_ || p == end) {
        StartField();
        state_ = State::kFieldStart;
        return p;
      }
      if (*p == '"') {
        const char* const closing = ClosingQuote(p + 1, end);
        if (closing == nullptr) {  // decided in a later piece
          StartField();
          state_ = State::kFieldStart;
          return p;
        }
        CountLineBreaks(p, closing, false);
        p = closing + 1;  // text after the closing quote belongs to the field
      }
    }
    const char* const from = p;
    const structural::PlainRun run =
        structural::SkipPlainBytes(p, end, delimiter_, next_wanted_ - field_);
    field_ += run.delimiters;
    p = run.at;
    field_start = p != from && p[-1] == delimiter_;
    if (field_start) continue;
    if (p == end || *p != '"') return p;  // the piece's end, or a line break
    ++p;                                  // a quote inside an unquoted field is a plain character
  }
}

// At a byte that ends an unquoted field: the delimiter or a line break.
template <typename Consumer>
bool RecordScanner<Consumer>::EndAtStop(Piece& piece) {
  if (*piece.at == '\n' || *piece.at == '\r') return EndAtLineBreak(piece);
  EndField();
  ++field_;
  StartField();
  state_ = State::kFieldStart;
  record_has_bytes_ = true;
  ++piece.at;
  return true;
}

template <typename Consumer>
bool RecordScanner<Consumer>::EndAtLineBreak(Piece& piece) {
  using scanner_detail::kCr;
  using scanner_detail::kCrLf;
  const char* const at = piece.at;
  if (*at == '\n') return EndRecordAt(piece, at, kCrLf.substr(1));
  if (at + 1 == piece.end) {  // CRLF or a lone CR: the next piece tells
    consumer_.Pass(piece.unpassed, at);
    piece.unpassed = piece.at = piece.end;
    pending_cr_ = true;
    return true;
  }
  return EndRecordAt(piece, at, at[1] == '\n' ? kCrLf : kCr);
}

// Ends a record at `at`, whose line break is `line_break` long.
template <typename Consumer>
bool RecordScanner<Consumer>::EndRecordAt(Piece& piece, const char* at,
                                          std::string_view line_break) {
  consumer_.Pass(piece.unpassed, at);
  piece.at = at + line_break.size();
  piece.unpassed = piece.at;
  return EndRecord(line_break);
}

// Quoted text up to the next quote, or to the end of the piece.
template <typename Consumer>
void RecordScanner<Consumer>::ScanQuoted(Piece& piece) {
  const char* const p = piece.at;
  const char* const quote = structural::FindQuote(p, piece.end);
  const char* const stop = quote != nullptr ? quote : piece.end;
  CountLineBreaks(p, stop, quote == nullptr);
  if (Wanted() && stop != p) consumer_.Content(p, stop);
  piece.at = stop;
  if (quote != nullptr) {
    state_ = State::kQuoteInQuoted;
    ++piece.at;
  }
}

// After a quote in quoted text: a second quote makes it a doubled one, anything else closes it.
template <typename Consumer>
void RecordScanner<Consumer>::AfterQuoteInQuoted(Piece& piece) {
  if (*piece.at == '"') {
    if (Wanted()) consumer_.Content(piece.at, piece.at + 1);
    state_ = State::kQuoted;
    ++piece.at;
  } else {
    state_ = State::kUnquoted;  // text after the closing quote belongs to the field
  }
}

template <typename Consumer>
void RecordScanner<Consumer>::Finish() {
  using scanner_detail::kCr;
  if (!started_) Start();
  if (pending_cr_) {
    pending_cr_ = false;
    EndRecord(kCr);
    return;
  }
  if (state_ == State::kQuoted) {
    // An unterminated quote: its field runs to the end of the input.
    consumer_.EndInQuotes(record_line_);
    state_ = State::kFieldStart;
    field_ = 0;
    record_has_bytes_ = false;
    return;
  }
  if (record_has_bytes_ || field_ > 0) EndRecord({});
}

}  // namespace halvrenn::cdr
