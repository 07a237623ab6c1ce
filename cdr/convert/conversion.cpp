// Converting a stream: the header first, then the records, in one pass (one thread, or a small
// input) or in blocks on worker threads (strategies.h); and a file, through a temporary one.

#include "cdr/convert/conversion.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <string_view>
#include <utility>
#include <vector>

#include "cdr/convert/block_reader.h"
#include "cdr/convert/ordered_blocks.h"
#include "cdr/convert/strategies.h"
#include "cdr/convert/worker_threads.h"
#include "cdr/files/file_facts.h"
#include "cdr/files/temporary_files.h"
#include "cdr/format/record_converter.h"
#include "cdr/format/summary_text.h"
#include "time/locale_and_zone.h"

namespace halvrenn::cdr {
namespace {

// A header longer than this is not a call manager's: the file is copied unchanged.
constexpr std::size_t kLongestHeader = std::size_t{4} << 20;
// Below this size a file is converted in one pass: threads would cost more than they save.
constexpr std::uint64_t kSmallestParallelInput = std::uint64_t{4} << 20;

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

// One conversion of one stream: its header, then its records in one of the two ways.
class StreamConversion {
 public:
  StreamConversion(const Options& options, const ZoneRules& rules, ByteSource& input,
                   ByteSink& output, const ProgressCallback& progress,
                   const std::atomic<bool>* cancel)
      : options_(options),
        rules_(rules),
        reader_(input, cancel),
        context_(reader_, output, progress, summary_),
        bias_minutes_(rules.BaseBiasMinutes(std::time(nullptr))) {}

  StreamResult Run() {
    const auto start = std::chrono::steady_clock::now();
    std::optional<StreamFailure> failed = ReadHeader();
    if (!failed) failed = ConvertRecords();
    StreamResult result;
    if (failed) {
      result.failure = failed->failure;
      result.error = FailureText(failed->failure, {}, failed->detail);
      result.detail = std::move(failed->detail);
    }
    result.outcome = OutcomeOf(result.failure);
    result.summary = std::move(summary_);
    result.summary.bytes_read = reader_.BytesRead();
    result.summary.seconds = SecondsSince(start);
    return result;
  }

 private:
  // Reads into `pending_` until it holds the header record, and sets the layout from it.
  std::optional<StreamFailure> ReadHeader() {
    HeaderRecord header;
    for (;;) {
      header = cdr::ReadHeader(pending_, reader_.AtEnd(), options_.delimiter);
      if (header.complete || pending_.size() > kLongestHeader) break;
      if (std::optional<StreamFailure> failed =
              context_.Read(pending_, ConversionContext::Amount::kOneRead))
        return failed;
    }
    // A compressed file, an archive or UTF-16 text would be copied byte for byte as if it had
    // no column to decode: it fails instead, before anything is written.
    const std::string_view first_record =
        std::string_view(pending_).substr(0, pending_.find_first_of("\r\n"));
    if (const std::string_view kind = NotTextKindOf(pending_, first_record); !kind.empty()) {
      return StreamFailure{Failure::kNotText, std::string(kind)};
    }
    layout_.delimiter = header.delimiter;
    layout_.time_texts = options_.time_texts;
    layout_.format = options_.format;
    if (!header.complete) {
      summary_.warnings.emplace_back("the header is longer than 4 MiB: copied unchanged");
      return std::nullopt;
    }
    layout_.field_count = header.names.size();
    std::vector<std::string> missing;
    layout_.columns = FindColumns(header, options_.columns, options_.decode, missing);
    if (!missing.empty()) {
      // Named by the user, so a file without it is not what was asked for: nothing is written.
      return StreamFailure{Failure::kNoSuchColumn, missing.front()};
    }
    for (const Column& column : layout_.columns) {
      ++summary_.columns_of[static_cast<std::size_t>(column.kind)];
    }
    if (layout_.columns.empty()) {
      summary_.warnings.emplace_back("no column to decode in the header: copied unchanged");
    }
    WarnOfNamesTwice(header);
    return std::nullopt;
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
        summary_.warnings.push_back("the header names \"" + column.name +
                                    "\" twice (letter case ignored): their added "
                                    "columns' names clash");
        break;
      }
    }
  }

  // A small file is one pass before the system is asked what is free: a day's folder is
  // thousands of them.
  unsigned Jobs() const {
    const std::uint64_t size = reader_.Size();
    if (size != 0 && size < kSmallestParallelInput) return 1;
    return options_.jobs != 0 ? options_.jobs : UsableProcessors();
  }

  std::optional<StreamFailure> ConvertRecords() {
    TimeTexts texts(rules_, bias_minutes_, layout_.format);
    RecordConverter head(layout_, texts, true);
    const unsigned jobs = Jobs();
    if (jobs == 1) return InOnePass(context_, head, pending_);
    const BlockConversion conversion(layout_, rules_, bias_minutes_);
    return InBlocks(context_, conversion, jobs, head, pending_);
  }

  const Options& options_;
  const ZoneRules& rules_;
  BlockReader reader_;
  Summary summary_;
  ConversionContext context_;
  const std::int32_t bias_minutes_;

  Layout layout_;
  std::string pending_;
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
