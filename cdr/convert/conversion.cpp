// Converting a stream: the header first, then the records, either in one pass (one thread, or a
// small input) or in blocks that worker threads convert while this thread reads the next ones
// and writes the finished ones in order. Both give the same bytes: a block's conversion is used
// only when the block starts at a record's start, where the one-pass converter's state is the
// fresh state of a block's; when a cut falls inside a quoted field, the conversion goes on in
// one pass from the block before it.

#include "cdr/convert/conversion.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <deque>
#include <functional>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "cdr/convert/worker_threads.h"
#include "cdr/files/file_facts.h"
#include "cdr/files/temporary_files.h"
#include "cdr/format/record_converter.h"
#include "cdr/format/summary_text.h"
#include "time/locale_and_zone.h"

namespace halvrenn::cdr {
namespace {

constexpr std::size_t kReadSize = std::size_t{1} << 20;
// The reads of the threaded conversion, which are also its blocks: a few are in flight at once.
constexpr std::size_t kBlockReadSize = std::size_t{1} << 19;
constexpr std::size_t kWriteSize = std::size_t{1} << 20;
// A header longer than this is not a call manager's: the file is copied unchanged.
constexpr std::size_t kLongestHeader = std::size_t{4} << 20;
// A block that holds no record end by this size goes on in one pass instead.
constexpr std::size_t kLongestBlock = std::size_t{8} << 20;
// Below this size a file is converted in one pass: threads would cost more than they save.
constexpr std::uint64_t kSmallestParallelInput = std::uint64_t{4} << 20;

// The offset just past the last line break of `data` (LF, CRLF or a lone CR), 0 when there is
// none. A CR that ends the data is left for the next block, where an LF may complete its CRLF:
// so a cut never splits one, whatever the size of the blocks.
std::size_t LastLineBreakEnd(std::string_view data) {
  std::size_t line_break = data.find_last_of("\r\n");
  if (line_break != std::string_view::npos && line_break + 1 == data.size() &&
      data[line_break] == '\r') {
    line_break =
        line_break == 0 ? std::string_view::npos : data.find_last_of("\r\n", line_break - 1);
  }
  return line_break == std::string_view::npos ? 0 : line_break + 1;
}

// A path as a POSIX shell reads it back: in single quotes unless it is plain.
std::string ShellWord(std::string_view path) {
  const bool plain = !path.empty() && std::all_of(path.begin(), path.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("._/-+:,@%=").find(c) != std::string_view::npos;
  });
  if (plain) return std::string(path);
  std::string word = "'";
  for (const char c : path) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

// What a file that is not CSV text is, and what to do with it: for a compressed file the command
// that unpacks it into the converter, where the file has a name.
std::string NotTextText(std::string_view path, std::string_view kind) {
  struct Words {
    std::string_view kind;
    std::string_view what;
    std::string_view unpack;  // the command that writes the contents to standard output
  };
  static constexpr std::array<Words, 8> kWords = {{
      {"gzip", "a gzip-compressed file", "zcat"},
      {"bzip2", "a bzip2-compressed file", "bzcat"},
      {"xz", "an xz-compressed file", "xzcat"},
      {"zstd", "a zstd-compressed file", "zstdcat"},
      {"zip", "a zip archive", ""},
      {"utf-16", "UTF-16 text", ""},
      {"utf-32", "UTF-32 text", ""},
      {"nul", "not text (NUL bytes in the header)", ""},
  }};
  std::string text = path.empty() ? std::string() : PrintableName(path) + ": ";
  const auto words = std::find_if(kWords.begin(), kWords.end(),
                                  [&](const Words& entry) { return entry.kind == kind; });
  if (words == kWords.end()) return text + "not CSV text";
  text += words->what;
  if (!words->unpack.empty()) {
    text += ": unpack it first";
    if (!path.empty()) {
      text += " (" + std::string(words->unpack) + " " + ShellWord(PrintableName(path)) +
              " | halvrenn-cdr)";
    }
  } else if (kind == "zip") {
    text += ": extract its files first";
    if (!path.empty()) text += " (unzip " + ShellWord(PrintableName(path)) + ")";
  } else {
    text += ": save it as CSV UTF-8";
  }
  return text;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool Cancelled(const std::atomic<bool>* cancel) {
  return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// An output that cannot be written waits for space when the disk is full.
Failure WriteFailureOf(const SystemError& error) {
  return error.DiskFull() ? Failure::kDiskFull : Failure::kCannotWrite;
}

// One conversion of one stream.
class StreamConversion {
 public:
  StreamConversion(const Options& options, const ZoneRules& rules, ByteSource& input,
                   ByteSink& output, const ProgressCallback& progress,
                   const std::atomic<bool>* cancel)
      : options_(options),
        rules_(rules),
        input_(input),
        output_(output),
        progress_(progress),
        cancel_(cancel),
        bias_minutes_(rules.BaseBiasMinutes(std::time(nullptr))) {}

  StreamResult Run() {
    const auto start = std::chrono::steady_clock::now();
    result_.summary.warnings.clear();
    if (ReadHeader() && ConvertRecords()) result_.outcome = Outcome::kDone;
    result_.summary.seconds = SecondsSince(start);
    return std::move(result_);
  }

 private:
  // A block of whole records and its conversion. The strings go round between the blocks, so
  // that memory stays at the few blocks in flight.
  struct Block {
    std::string in;
    std::string out;
    Tally tally;
    std::unique_ptr<TimeTexts> texts;
    std::unique_ptr<RecordConverter> converter;  // kept in case the next block's cut was wrong
    bool ended_in_record = false;
  };

  // A block handed to the worker threads, which only they touch until it is done.
  class BlockJob {
   public:
    BlockJob(Block block, bool last, StreamConversion& conversion, WorkerThreads& workers)
        : state_(std::make_unique<State>(std::move(block), last, conversion)), workers_(&workers) {
      workers.Run(
          [](void* state) {
            auto& job = *static_cast<State*>(state);
            job.conversion.ConvertBlock(job.block, job.last);
            job.done.store(true, std::memory_order_release);
          },
          state_.get());
    }
    BlockJob(BlockJob&&) noexcept = default;
    BlockJob& operator=(BlockJob&&) noexcept = default;
    ~BlockJob() { Wait(); }

    bool Ready() const { return state_->done.load(std::memory_order_acquire); }
    void Wait() {
      if (!state_) return;
      workers_->WaitUntil(
          [](void* state) {
            return static_cast<State*>(state)->done.load(std::memory_order_acquire);
          },
          state_.get());
    }
    Block Take() {
      Wait();
      return std::move(state_->block);
    }

   private:
    struct State {
      State(Block b, bool l, StreamConversion& c) : block(std::move(b)), last(l), conversion(c) {}
      Block block;
      bool last;
      StreamConversion& conversion;
      std::atomic<bool> done{false};
    };
    std::unique_ptr<State> state_;
    WorkerThreads* workers_;
  };

  // A block's conversion, on a worker thread: it starts at a record's start.
  void ConvertBlock(Block& block, bool last) const {
    block.texts = std::make_unique<TimeTexts>(rules_, bias_minutes_, layout_.format);
    block.converter = std::make_unique<RecordConverter>(layout_, *block.texts, false);
    block.out.clear();
    block.converter->Feed(block.in, block.out);
    if (last) block.converter->Finish(block.out);
    block.ended_in_record = !last && !block.converter->AtRecordStart();
    block.tally = block.converter->Counts();
  }

  // Reads into `pending_` until it holds the header record, and sets the layout from it.
  bool ReadHeader() {
    HeaderRecord header;
    for (;;) {
      header = cdr::ReadHeader(pending_, at_end_, options_.delimiter);
      if (header.complete || pending_.size() > kLongestHeader) break;
      if (!ReadMore(pending_)) return false;
    }
    // A compressed file, an archive or UTF-16 text would be copied byte for byte as if it had
    // no column to decode: it fails instead, before anything is written.
    const std::string_view first_record =
        std::string_view(pending_).substr(0, pending_.find_first_of("\r\n"));
    if (const std::string_view kind = NotTextKindOf(pending_, first_record); !kind.empty()) {
      return Fail(Failure::kNotText, std::string(kind));
    }
    layout_.delimiter = header.delimiter;
    layout_.time_texts = options_.time_texts;
    layout_.format = options_.format;
    if (!header.complete) {
      result_.summary.warnings.emplace_back("the header is longer than 4 MiB: copied unchanged");
      return true;
    }
    layout_.field_count = header.names.size();
    std::vector<std::string> missing;
    layout_.columns = FindColumns(header, options_.columns, options_.decode, missing);
    if (!missing.empty()) {
      // Named by the user, so a file without it is not what was asked for: nothing is written.
      return Fail(Failure::kNoSuchColumn, missing.front());
    }
    for (const Column& column : layout_.columns) {
      ++result_.summary.columns_of[static_cast<std::size_t>(column.kind)];
    }
    if (layout_.columns.empty()) {
      result_.summary.warnings.emplace_back("no column to decode in the header: copied unchanged");
    }
    WarnOfNamesTwice(header);
    return true;
  }

  // dateTimeOrigination and DATETIMEORIGINATION both add dateTimeOrigination_gmt, names that a
  // database which ignores letter case takes for one.
  void WarnOfNamesTwice(const HeaderRecord& header) {
    for (const Column& column : layout_.columns) {
      for (std::size_t other = 0; other < header.names.size(); ++other) {
        if (other == column.index || !EqualsIgnoringCase(header.names[other], column.name)) {
          continue;
        }
        if (other < column.index) break;  // said at the first of them
        result_.summary.warnings.push_back("the header names \"" + column.name +
                                           "\" twice (letter case ignored): their added "
                                           "columns' names clash");
        break;
      }
    }
  }

  // Appends a block's bytes to `buffer`, fewer only at the end of the input, so that a pipe,
  // which gives 64 KiB a read, fills a block as a file does.
  bool ReadBlock(std::string& buffer) {
    const std::size_t wanted = buffer.size() + kBlockReadSize;
    while (buffer.size() < wanted && !at_end_) {
      if (!ReadMore(buffer, wanted - buffer.size())) return false;
    }
    return true;
  }

  // Appends what one read gives, up to `size` bytes, to `buffer`; false (with the outcome set)
  // on an error or a cancellation. Sets at_end_ at the end of the input.
  bool ReadMore(std::string& buffer, std::size_t size = kReadSize) {
    if (Cancelled(cancel_)) return Fail(Failure::kCancelled, {});
    const std::size_t old_size = buffer.size();
    buffer.resize(old_size + size);
    const Result<std::size_t> read = input_.Read(buffer.data() + old_size, size);
    buffer.resize(old_size + (read ? *read : 0));
    if (!read) {
      // A read that an interrupt broke off, with the flag that its handler set.
      return Cancelled(cancel_) ? Fail(Failure::kCancelled, {})
                                : Fail(Failure::kCannotRead, read.Error().text);
    }
    if (*read == 0) at_end_ = true;
    result_.summary.bytes_read += *read;
    return true;
  }

  bool Write(std::string& out) {
    if (out.empty()) return true;
    if (const std::optional<SystemError> failed = output_.Write(out)) {
      return Fail(WriteFailureOf(*failed), failed->text);
    }
    result_.summary.bytes_written += out.size();
    out.clear();
    return true;
  }

  bool Fail(Failure failure, std::string detail) {
    result_.outcome = OutcomeOf(failure);
    result_.failure = failure;
    result_.error = FailureText(failure, {}, detail);
    result_.detail = std::move(detail);
    return false;
  }

  void Report(std::uint64_t records) {
    if (progress_) progress_({result_.summary.bytes_read, input_.Size(), records});
  }

  // A small file is one pass before the system is asked what is free: a day's folder is
  // thousands of them.
  unsigned Jobs() const {
    const std::uint64_t size = input_.Size();
    if (size != 0 && size < kSmallestParallelInput) return 1;
    return options_.jobs != 0 ? options_.jobs : FreeProcessors();
  }

  bool ConvertRecords() {
    TimeTexts texts(rules_, bias_minutes_, layout_.format);
    RecordConverter head(layout_, texts, true);
    if (Jobs() == 1) return InOnePass(head, pending_);
    return InBlocks(head);
  }

  // Feeds `converter` with `buffer` and then the rest of the input, piece by piece.
  bool InOnePass(RecordConverter& converter, std::string& buffer) {
    std::string out;
    out.reserve(kWriteSize + kReadSize * 2);
    for (;;) {
      converter.Feed(buffer, out);
      buffer.clear();
      if (out.size() >= kWriteSize && !Write(out)) return false;
      Report(result_.summary.tally.records + converter.Counts().records);
      if (at_end_) break;
      if (!ReadMore(buffer)) return false;
    }
    converter.Finish(out);
    result_.summary.tally.Append(converter.Counts());
    return Write(out);
  }

  // The header and the type row in `head`, then blocks on worker threads. A block is cut after
  // its last line break, a guess that holds unless the break is inside a quoted field; the
  // block's converter, which starts at a record's start, tells at its end whether it ended
  // where a record does. If not, it goes on with the bytes of the blocks after it and the rest
  // of the input in one pass.
  bool InBlocks(RecordConverter& head) {
    WorkerThreads workers(Jobs());
    if (workers.Count() == 0) return InOnePass(head, pending_);
    // Twice as many blocks in flight as threads, so that none waits while this thread writes.
    const std::size_t most_in_flight = workers.Count() * 2;
    std::deque<BlockJob> running;
    std::vector<Block> spare;
    std::string out;
    bool head_done = false;
    std::string& buffer = pending_;

    // After a failure: the running blocks are waited for and dropped.
    const auto abandon = [&]() {
      for (BlockJob& block : running) block.Wait();
      running.clear();
      return false;
    };
    // Writes the first running block; false on an error, or with `switched` set when the rest
    // went on in one pass (and is done).
    bool switched = false;
    const auto finish_front = [&]() {
      Block block = running.front().Take();
      running.pop_front();
      if (!Write(block.out)) return abandon();
      if (block.ended_in_record) {
        std::string rest;
        for (BlockJob& later : running) rest += later.Take().in;
        running.clear();
        rest += buffer;
        buffer.clear();
        switched = true;
        return InOnePass(*block.converter, rest);
      }
      result_.summary.tally.Append(block.tally);
      spare.push_back(std::move(block));
      return true;
    };

    for (;;) {
      const std::size_t cut = at_end_ ? buffer.size() : LastLineBreakEnd(buffer);
      if (cut == 0 && !at_end_) {
        if (buffer.size() > kLongestBlock) {
          // A record longer than a block: the rest in one pass, which holds none of it.
          while (!running.empty()) {
            if (!finish_front()) return false;
            if (switched) return true;
          }
          if (!head_done) return InOnePass(head, buffer);
          TimeTexts texts(rules_, bias_minutes_, layout_.format);
          RecordConverter tail(layout_, texts, false);
          return InOnePass(tail, buffer);
        }
        if (!ReadBlock(buffer)) return abandon();
        continue;
      }
      Block block;
      if (!spare.empty()) {
        block = std::move(spare.back());
        spare.pop_back();
      }
      // The block takes the buffer and gives back only the bytes after the cut, a partial
      // record: copying the whole block would cost the reading thread more than reading it.
      block.in.swap(buffer);
      buffer.assign(block.in, cut, std::string::npos);
      block.in.resize(cut);
      if (!head_done) {
        // The head reads every byte in order, so its cuts need not fall between records.
        head.Feed(block.in, out);
        if (at_end_) head.Finish(out);
        if (!Write(out)) return false;
        head_done = head.PastTypeRow() && head.AtRecordStart();
        if (head_done || at_end_) result_.summary.tally.Append(head.Counts());
        spare.push_back(std::move(block));
      } else {
        const bool last = at_end_;
        running.emplace_back(std::move(block), last, *this, workers);
      }
      while (!running.empty() && (running.size() >= most_in_flight || running.front().Ready())) {
        if (!finish_front()) return false;
        if (switched) return true;
      }
      Report(result_.summary.tally.records);
      if (at_end_) break;
      if (!ReadBlock(buffer)) return abandon();
    }
    while (!running.empty()) {
      if (!finish_front()) return false;
      if (switched) return true;
    }
    return true;
  }

  const Options& options_;
  const ZoneRules& rules_;
  ByteSource& input_;
  ByteSink& output_;
  const ProgressCallback& progress_;
  const std::atomic<bool>* cancel_;
  const std::int32_t bias_minutes_;

  Layout layout_;
  std::string pending_;
  bool at_end_ = false;
  StreamResult result_{Outcome::kFailed, Failure::kNone, {}, {}, {}};
};

}  // namespace

Converter::Converter(Options options, std::unique_ptr<ZoneRules> rules)
    : options_(std::move(options)), rules_(std::move(rules)) {}

std::unique_ptr<Converter> Converter::Create(const Options& options,
                                             std::unique_ptr<ZoneRules> rules, std::string& error) {
  if (options.time_texts.empty()) {
    error = "no columns to add";
    return nullptr;
  }
  return std::unique_ptr<Converter>(new Converter(options, std::move(rules)));
}

StreamResult Converter::ConvertStream(ByteSource& input, ByteSink& output,
                                      const ProgressCallback& progress,
                                      const std::atomic<bool>* cancel) const {
  return StreamConversion(options_, *rules_, input, output, progress, cancel).Run();
}

FileResult Converter::ConvertFile(const FileRequest& request, const ProgressCallback& progress,
                                  const std::atomic<bool>* cancel) const {
  FileResult result;
  result.output = OutputPathFor(request.input, request.output_directory);
  const auto fail = [&](Failure failure, const std::string& path, std::string detail) {
    result.outcome = OutcomeOf(failure);
    result.failure = failure;
    result.failed_path = path;
    result.detail = std::move(detail);
    result.error = FailureText(failure, path, result.detail);
    return std::move(result);
  };
  const Result<std::unique_ptr<ByteSource>> opened = OpenInputFile(request.input);
  // An open that waits (a FIFO with no writer yet) is broken off by an interrupt.
  if (!opened && Cancelled(cancel)) return fail(Failure::kCancelled, request.input, {});
  if (!opened) return fail(Failure::kCannotOpen, request.input, opened.Error().text);
  ByteSource& input = **opened;
  // An output this run wrote from another input (two inputs of one name into one folder, or
  // calls and calls.csv) is never replaced, --force or not: it was not there before the run.
  if (request.run != nullptr && request.run->Wrote(result.output)) {
    return fail(Failure::kWrittenThisRun, result.output, {});
  }
  if (!request.force && PathExists(result.output)) {
    return fail(Failure::kExists, result.output, {});
  }
  Result<std::unique_ptr<TemporaryFile>> created =
      CreateTemporaryFile(result.output, input.Permissions());
  if (!created) return fail(Failure::kCannotCreate, result.output, created.Error().text);
  std::unique_ptr<TemporaryFile>& output = *created;

  StreamResult converted = ConvertStream(input, *output, progress, cancel);
  result.summary = std::move(converted.summary);
  if (converted.outcome != Outcome::kDone) {
    output.reset();  // removes the temporary file
    const bool of_input = converted.failure == Failure::kCannotRead ||
                          converted.failure == Failure::kNoSuchColumn ||
                          converted.failure == Failure::kNotText;
    return fail(converted.failure, of_input ? request.input : result.output,
                std::move(converted.detail));
  }
  // An interrupt that came with the last read cancels too: the output is not committed.
  if (Cancelled(cancel)) {
    output.reset();
    return fail(Failure::kCancelled, result.output, {});
  }
  if (const std::optional<SystemError> failed = output->Commit(request.force)) {
    if (!request.force && PathExists(result.output)) {
      return fail(Failure::kExists, result.output, {});
    }
    return fail(WriteFailureOf(*failed), result.output, failed->text);
  }
  if (request.run != nullptr) request.run->Add(result.output);
  return result;
}

std::string FailureText(Failure failure, std::string_view path, std::string_view detail) {
  // By the order of Failure; the detail follows where the text ends in ": ", and a column's name
  // stands between the parts of its text.
  if (failure == Failure::kNotText) return NotTextText(path, detail);
  static constexpr std::array<const char*, 11> kTexts = {
      "",
      "cannot open: ",
      "cannot read: ",
      "no column named \"",
      "",
      "already exists",
      "already written from another input of this run",
      "cannot create: ",
      "cannot write: ",
      "cannot write: ",
      "cancelled"};
  std::string text = path.empty() ? std::string() : PrintableName(path) + ": ";
  text += kTexts[static_cast<std::size_t>(failure)];
  if (text.ends_with(": ") || text.ends_with('"')) text += detail;
  if (failure == Failure::kNoSuchColumn) text += "\" in the header";
  return text;
}

std::string_view NotTextKindOf(std::string_view first_bytes, std::string_view header) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 8> kMagic = {{
      {std::string_view("\x1f\x8b", 2), "gzip"},
      {std::string_view("\xfd"
                        "7zXZ\0",
                        6),
       "xz"},
      {"\x28\xb5\x2f\xfd", "zstd"},
      {"PK\x03\x04", "zip"},
      {"PK\x05\x06", "zip"},  // an empty archive
      {"PK\x07\x08", "zip"},  // spanned
      {std::string_view("\xff\xfe\0\0", 4),
       "utf-32"},  // before UTF-16's mark, which it starts with
      {std::string_view("\0\0\xfe\xff", 4), "utf-32"},
  }};
  for (const auto& [magic, kind] : kMagic) {
    if (first_bytes.starts_with(magic)) return kind;
  }
  // "BZh", the block size '1' to '9', then the first block's mark (the digits of pi) or the end
  // of an empty stream's (those of the square root of pi): a header "BZhours" is text.
  if (first_bytes.size() >= 10 && first_bytes.starts_with("BZh") && first_bytes[3] >= '1' &&
      first_bytes[3] <= '9' &&
      (first_bytes.substr(4, 6) == "\x31\x41\x59\x26\x53\x59" ||
       first_bytes.substr(4, 6) == "\x17\x72\x45\x38\x50\x90")) {
    return "bzip2";
  }
  if (first_bytes.starts_with("\xff\xfe") || first_bytes.starts_with("\xfe\xff")) return "utf-16";
  if (header.find('\0') != std::string_view::npos) return "nul";
  return {};
}

Outcome OutcomeOf(Failure failure) {
  if (failure == Failure::kNone) return Outcome::kDone;
  return failure == Failure::kCancelled ? Outcome::kCancelled : Outcome::kFailed;
}

bool OutputsOfRun::Wrote(std::string_view output) const {
  const std::optional<FileIdentity> identity = FileIdentityOf(output);
  return identity && std::find(written_.begin(), written_.end(), *identity) != written_.end();
}

void OutputsOfRun::Add(std::string_view output) {
  if (const std::optional<FileIdentity> identity = FileIdentityOf(output)) {
    written_.push_back(*identity);
  }
}

}  // namespace halvrenn::cdr
