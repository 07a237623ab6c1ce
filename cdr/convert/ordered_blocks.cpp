#include "cdr/convert/ordered_blocks.h"

#include <utility>

namespace halvrenn::cdr {

void BlockConversion::Begin(Block& block) const {
  block.texts = std::make_unique<TimeTexts>(rules_, bias_minutes_, layout_.format);
  block.converter = std::make_unique<RecordConverter>(layout_, *block.texts, false);
}

void BlockConversion::Convert(Block& block, bool last) const {
  Begin(block);
  block.out.clear();
  block.converter->Feed(block.in, block.out);
  if (last) block.converter->Finish(block.out);
  block.ended_in_record = !last && !block.converter->AtRecordStart();
  block.tally = block.converter->Counts();
}

BlockJob::BlockJob(Block block, bool last, const BlockConversion& conversion,
                   WorkerThreads& workers)
    : state_(std::make_unique<State>(std::move(block), last, conversion)), workers_(&workers) {
  workers.Run(
      [](void* state) {
        auto& job = *static_cast<State*>(state);
        try {
          job.conversion.Convert(job.block, job.last);
        } catch (...) {
          job.failure = std::current_exception();
        }
        job.done.store(true, std::memory_order_release);
      },
      state_.get());
}

void BlockJob::Wait() {
  if (!state_) return;
  // Rather than wait while blocks wait for a worker, this thread converts them itself, the first
  // given first: the one it waits for is then converted, or being converted by a worker.
  while (!Ready() && workers_->RunWaitingTask()) {
  }
  workers_->WaitUntil(
      [](void* state) { return static_cast<State*>(state)->done.load(std::memory_order_acquire); },
      state_.get());
}

Block OrderedBlocks::Fresh() {
  Block block;
  if (!spare_.empty()) {
    block = std::move(spare_.back());
    spare_.pop_back();
  }
  return block;
}

Block OrderedBlocks::TakeFront() {
  Block block = running_.front().Take();
  running_.pop_front();
  return block;
}

std::string OrderedBlocks::TakeInputs() {
  std::string inputs;
  for (BlockJob& later : running_) inputs += later.Take().in;
  running_.clear();
  return inputs;
}

void OrderedBlocks::Abandon() {
  for (BlockJob& block : running_) block.Wait();
  running_.clear();
}

}  // namespace halvrenn::cdr
