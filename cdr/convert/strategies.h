#pragma once

// The two ways of converting a stream's records once its header is read: in one pass on this
// thread, or in blocks that worker threads convert while this thread reads the next ones and
// writes the finished ones in order. Both give the same bytes: a block's conversion is used only
// when the block starts at a record's start, where the one-pass converter's state is the fresh
// state of a block's; when a cut falls inside a quoted field, the conversion goes on in one pass
// from the block before it. Each returns why it stopped short, or nothing when the whole input
// is converted and written, as the system's calls return a SystemError.
//
// Example, after the header's bytes are read into `pending` and `head` is made from them:
//   ConversionContext context(reader, output, progress, summary);
//   std::optional<StreamFailure> failed = InOnePass(context, head, pending);

#include <cstdint>
#include <optional>
#include <string>

#include "cdr/convert/block_reader.h"
#include "cdr/convert/conversion.h"
#include "cdr/convert/ordered_blocks.h"
#include "cdr/files/byte_streams.h"
#include "cdr/files/system_error.h"
#include "cdr/format/record_converter.h"
#include "cdr/format/summary_text.h"
#include "cdr/format/tally.h"

namespace halvrenn::cdr {

// Why a stream's conversion stopped before its end.
struct StreamFailure {
  Failure failure = Failure::kNone;
  std::string detail;  // the system's words, or the column's name
};

// An output that cannot be written waits for space when the disk is full.
Failure WriteFailureOf(const SystemError& error);

// What the reading of the header and both ways share: the reads, the output and the bytes
// written to it, the progress, and the summary whose tally the records' counts add to.
class ConversionContext {
 public:
  ConversionContext(BlockReader& reader, ByteSink& output, const ProgressCallback& progress,
                    Summary& summary)
      : reader_(reader), output_(output), progress_(progress), summary_(summary) {}

  // Appends one read to `buffer`, or a block's reads (fewer only at the end of the input).
  enum class Amount : unsigned char { kOneRead, kBlock };
  std::optional<StreamFailure> Read(std::string& buffer, Amount amount);
  bool AtEnd() const { return reader_.AtEnd(); }

  // Writes `out`, and empties it.
  std::optional<StreamFailure> Write(std::string& out);

  // Tells the progress callback the bytes read so far and `records`.
  void Report(std::uint64_t records) const;

  // The records' counts, which a later part's add to.
  std::uint64_t Records() const { return summary_.tally.records; }
  void Add(const Tally& later) { summary_.tally.Append(later); }

 private:
  BlockReader& reader_;
  ByteSink& output_;
  const ProgressCallback& progress_;
  Summary& summary_;
};

// Feeds `converter` with `buffer` and then the rest of the input, piece by piece.
std::optional<StreamFailure> InOnePass(ConversionContext& context, RecordConverter& converter,
                                       std::string& buffer);

// The header and the type row in `head`, then blocks converted by `conversion` on `jobs` threads,
// this one among them; in one pass where the system gives no other thread. A block is cut after its
// last line break, a guess that holds unless the break is inside a quoted field; the block's
// converter, which starts at a record's start, tells at its end whether it ended where a record
// does. If not, it goes on with the bytes of the blocks after it and the rest of the input in one
// pass.
std::optional<StreamFailure> InBlocks(ConversionContext& context, const BlockConversion& conversion,
                                      unsigned jobs, RecordConverter& head, std::string& buffer);

}  // namespace halvrenn::cdr
