#include "cdr/convert/strategies.h"

#include <cstddef>
#include <utility>

#include "cdr/convert/worker_threads.h"

namespace halvrenn::cdr {
namespace {

constexpr std::size_t kReadSize = std::size_t{1} << 20;
// The reads of the threaded conversion, which are also its blocks: a few are in flight at once.
constexpr std::size_t kBlockReadSize = std::size_t{1} << 19;
constexpr std::size_t kWriteSize = std::size_t{1} << 20;
// A block that holds no record end by this size goes on in one pass instead.
constexpr std::size_t kLongestBlock = std::size_t{8} << 20;

std::optional<StreamFailure> FailureOfRead(Failure failure, const BlockReader& reader) {
  if (failure == Failure::kNone) return std::nullopt;
  return StreamFailure{failure, failure == Failure::kCannotRead ? reader.Error() : std::string()};
}

// How writing the first running blocks went: on to the next block, or to the end of the
// conversion, where a write failed or a block ended inside a record and the rest of the input
// went on in one pass from it.
struct FrontsWritten {
  bool ended = false;
  std::optional<StreamFailure> failed;
};

// Writes the first running block, or when it ended inside a record, converts the rest of the
// input (the later blocks' bytes and then `buffer` and what follows) in one pass from it.
FrontsWritten WriteFront(ConversionContext& context, OrderedBlocks& blocks, std::string& buffer) {
  Block block = blocks.TakeFront();
  if (std::optional<StreamFailure> failed = context.Write(block.out)) {
    blocks.Abandon();
    return {true, std::move(failed)};
  }
  if (block.ended_in_record) {
    std::string rest = blocks.TakeInputs();
    rest += buffer;
    buffer.clear();
    return {true, InOnePass(context, *block.converter, rest)};
  }
  context.Add(block.tally);
  blocks.Recycle(std::move(block));
  return {};
}

// Writes the first running blocks while more than `left_running` run or the first is done.
FrontsWritten WriteFronts(ConversionContext& context, OrderedBlocks& blocks, std::string& buffer,
                          std::size_t left_running) {
  while (blocks.Running() != 0 && (blocks.Running() > left_running || blocks.FrontReady())) {
    if (FrontsWritten written = WriteFront(context, blocks, buffer); written.ended) return written;
  }
  return {};
}

// After a failure: the running blocks are waited for and dropped.
std::optional<StreamFailure> Abandoned(OrderedBlocks& blocks, std::optional<StreamFailure> failed) {
  blocks.Abandon();
  return failed;
}

}  // namespace

Failure WriteFailureOf(const SystemError& error) {
  return error.DiskFull() ? Failure::kDiskFull : Failure::kCannotWrite;
}

std::optional<StreamFailure> ConversionContext::Read(std::string& buffer, Amount amount) {
  return FailureOfRead(amount == Amount::kBlock ? reader_.ReadBlock(buffer, kBlockReadSize)
                                                : reader_.ReadMore(buffer, kReadSize),
                       reader_);
}

std::optional<StreamFailure> ConversionContext::Write(std::string& out) {
  if (out.empty()) return std::nullopt;
  if (const std::optional<SystemError> failed = output_.Write(out)) {
    return StreamFailure{WriteFailureOf(*failed), failed->text};
  }
  summary_.bytes_written += out.size();
  out.clear();
  return std::nullopt;
}

void ConversionContext::Report(std::uint64_t records) const {
  if (progress_) progress_({reader_.BytesRead(), reader_.Size(), records});
}

std::optional<StreamFailure> InOnePass(ConversionContext& context, RecordConverter& converter,
                                       std::string& buffer) {
  std::string out;
  out.reserve(kWriteSize + kReadSize * 2);
  for (;;) {
    converter.Feed(buffer, out);
    buffer.clear();
    if (out.size() >= kWriteSize) {
      if (std::optional<StreamFailure> failed = context.Write(out)) return failed;
    }
    context.Report(context.Records() + converter.Counts().records);
    if (context.AtEnd()) break;
    if (std::optional<StreamFailure> failed =
            context.Read(buffer, ConversionContext::Amount::kOneRead))
      return failed;
  }
  converter.Finish(out);
  context.Add(converter.Counts());
  return context.Write(out);
}

std::optional<StreamFailure> InBlocks(ConversionContext& context, const BlockConversion& conversion,
                                      unsigned jobs, RecordConverter& head, std::string& buffer) {
  // This thread is one of the `jobs`: it reads and writes, and converts the blocks that the
  // workers have not taken when it would otherwise wait for one.
  WorkerThreads workers(jobs - 1);
  if (workers.Count() == 0) return InOnePass(context, head, buffer);
  // Three blocks in flight for each thread, so that a worker finds the next one waiting while
  // this thread reads, writes or converts.
  const std::size_t most_in_flight = (workers.Count() + 1) * 3;
  OrderedBlocks blocks(workers, conversion);
  std::string out;
  bool head_done = false;

  for (;;) {
    const bool at_end = context.AtEnd();
    const std::size_t cut = at_end ? buffer.size() : LastLineBreakEnd(buffer);
    if (cut == 0 && !at_end) {
      if (buffer.size() > kLongestBlock) {
        // A record longer than a block: the rest in one pass, which holds none of it.
        if (FrontsWritten written = WriteFronts(context, blocks, buffer, 0); written.ended) {
          return std::move(written.failed);
        }
        if (!head_done) return InOnePass(context, head, buffer);
        Block tail;
        conversion.Begin(tail);
        return InOnePass(context, *tail.converter, buffer);
      }
      if (std::optional<StreamFailure> failed =
              context.Read(buffer, ConversionContext::Amount::kBlock)) {
        return Abandoned(blocks, std::move(failed));
      }
      continue;
    }
    Block block = blocks.Fresh();
    // The block takes the buffer and gives back only the bytes after the cut, a partial
    // record: copying the whole block would cost the reading thread more than reading it.
    block.in.swap(buffer);
    buffer.assign(block.in, cut, std::string::npos);
    block.in.resize(cut);
    if (!head_done) {
      // The head reads every byte in order, so its cuts need not fall between records.
      head.Feed(block.in, out);
      if (at_end) head.Finish(out);
      if (std::optional<StreamFailure> failed = context.Write(out)) return failed;
      head_done = head.PastTypeRow() && head.AtRecordStart();
      if (head_done || at_end) context.Add(head.Counts());
      blocks.Recycle(std::move(block));
    } else {
      blocks.Start(std::move(block), at_end);
    }
    if (FrontsWritten written = WriteFronts(context, blocks, buffer, most_in_flight - 1);
        written.ended) {
      return std::move(written.failed);
    }
    context.Report(context.Records());
    if (at_end) break;
    if (std::optional<StreamFailure> failed =
            context.Read(buffer, ConversionContext::Amount::kBlock)) {
      return Abandoned(blocks, std::move(failed));
    }
  }
  return WriteFronts(context, blocks, buffer, 0).failed;
}

}  // namespace halvrenn::cdr
