#pragma once

// Blocks of whole records converted on worker threads and taken back in the order they were
// given. The strings go round between the blocks, so that memory stays at the few blocks in
// flight.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cdr/convert/worker_threads.h"
#include "cdr/format/columns.h"
#include "cdr/format/record_converter.h"
#include "cdr/format/tally.h"
#include "cdr/format/time_texts.h"
#include "time/zone_rules.h"

namespace halvrenn::cdr {

// A block of whole records and its conversion.
struct Block {
  std::string in;
  std::string out;
  Tally tally;
  std::unique_ptr<TimeTexts> texts;
  std::unique_ptr<RecordConverter> converter;  // kept in case the next block's cut was wrong
  bool ended_in_record = false;
};

// A block's conversion, on a worker thread: it starts at a record's start.
class BlockConversion {
 public:
  BlockConversion(const Layout& layout, const ZoneRules& rules, std::int32_t bias_minutes)
      : layout_(layout), rules_(rules), bias_minutes_(bias_minutes) {}
  // Gives `block` its own time texts and a converter that starts at a record's start.
  void Begin(Block& block) const;
  void Convert(Block& block, bool last) const;

 private:
  const Layout& layout_;
  const ZoneRules& rules_;
  const std::int32_t bias_minutes_;
};

// A block handed to the worker threads, which only they touch until it is done.
class BlockJob {
 public:
  BlockJob(Block block, bool last, const BlockConversion& conversion, WorkerThreads& workers);
  BlockJob(BlockJob&&) noexcept = default;
  BlockJob& operator=(BlockJob&&) noexcept = default;
  ~BlockJob() { Wait(); }

  bool Ready() const { return state_->done.load(std::memory_order_acquire); }
  void Wait();
  // The block, or what its conversion threw (memory that ran out), thrown here, on the thread
  // that writes, as a conversion in one pass would throw it.
  Block Take() {
    Wait();
    if (state_->failure) std::rethrow_exception(state_->failure);
    return std::move(state_->block);
  }

 private:
  struct State {
    State(Block b, bool l, const BlockConversion& c)
        : block(std::move(b)), last(l), conversion(c) {}
    Block block;
    bool last;
    const BlockConversion& conversion;
    std::exception_ptr failure;
    std::atomic<bool> done{false};  // set even when the conversion threw: none waits forever
  };
  std::unique_ptr<State> state_;
  WorkerThreads* workers_;
};

// The blocks in flight, first given first taken, and the spent ones whose strings the next
// blocks reuse. Destroyed before the worker threads: it waits for the blocks still running.
class OrderedBlocks {
 public:
  OrderedBlocks(WorkerThreads& workers, const BlockConversion& conversion)
      : workers_(workers), conversion_(conversion) {}

  std::size_t Running() const { return running_.size(); }
  bool FrontReady() const { return running_.front().Ready(); }
  // An empty block, with the memory of a spent one where there is one.
  Block Fresh();
  void Start(Block block, bool last) {
    running_.emplace_back(std::move(block), last, conversion_, workers_);
  }
  // The first running block, once it is done.
  Block TakeFront();
  void Recycle(Block block) { spare_.push_back(std::move(block)); }
  // The input bytes of every running block, in order; the blocks are dropped.
  std::string TakeInputs();
  // After a failure: the running blocks are waited for and dropped.
  void Abandon();

 private:
  WorkerThreads& workers_;
  const BlockConversion& conversion_;
  std::deque<BlockJob> running_;
  std::vector<Block> spare_;
};

}  // namespace halvrenn::cdr
