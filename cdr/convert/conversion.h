#pragma once

// The conversion of whole files of time stamps, for the halvrenn-cdr program and the window: it
// never prints, exits or waits for the user. Progress goes to a callback, cancellation comes
// through a flag that any thread may set, and the outcome is a summary with an error text.
//
// Example: convert calls.csv into calls.converted.csv beside it, in the machine's zone:
//   halvrenn::cdr::FileResult result = halvrenn::cdr::ConvertFile({.input = "calls.csv"}, {});
//   if (result.outcome != halvrenn::cdr::Outcome::kDone) ShowError(result.error);

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cdr/files/byte_streams.h"
#include "cdr/files/file_facts.h"
#include "cdr/files/output_names.h"
#include "cdr/format/columns.h"
#include "cdr/format/summary_text.h"
#include "cdr/format/tally.h"
#include "cdr/format/time_texts.h"
#include "time/zone_rules.h"

namespace halvrenn::cdr {

struct Options {
  KindSet decode;                     // the kinds of column decoded: all by default
  std::vector<ColumnChoice> columns;  // time stamps; empty: recognised by their names
  std::vector<TimeText> time_texts{TimeText::kGmt, TimeText::kLocal};  // added per time stamp
  TextFormat format = TextFormat::kIso;
  std::string zone;               // empty: the machine's
  std::optional<char> delimiter;  // nothing: read from the header
  unsigned jobs = 0;              // threads, the reading one among them; 0: one per processor
};

struct Progress {
  std::uint64_t bytes_read = 0;
  std::uint64_t bytes_total = 0;  // 0 when unknown
  std::uint64_t records = 0;
};
using ProgressCallback = std::function<void(const Progress&)>;

enum class Outcome : unsigned char { kDone, kFailed, kCancelled };

// Why a stream or a file was not converted. Callers decide by the kind (a watcher retries a full
// disk and not an unreadable file; the terminal suggests --force for an existing output) and
// word their own messages from it, the file it concerns and the system's words.
enum class Failure : unsigned char {
  kNone,
  kCannotOpen,      // the input
  kCannotRead,      // the input
  kNoSuchColumn,    // the input lacks a column named by the user; the detail is the name
  kNotText,         // the input is compressed, an archive, UTF-16 or holds NUL bytes; the detail
                    // is what it is, as NotTextKindOf names it
  kExists,          // the output exists and is not to be replaced
  kWrittenThisRun,  // the output was written from another input of the same run
  kCannotCreate,    // the output's temporary file
  kCannotWrite,     // the output
  kDiskFull,        // the output: no space left, which may change
  kCancelled,
};

// kDone for kNone, kCancelled for kCancelled, else kFailed.
Outcome OutcomeOf(Failure failure);

// "calls.csv: cannot open: No such file or directory", "out/calls.converted.csv: already
// exists", "calls.csv.gz: a gzip-compressed file: unpack it first (zcat calls.csv.gz |
// halvrenn-cdr)": the library's own wording, for callers that need no other.
std::string FailureText(Failure failure, std::string_view path, std::string_view detail);

// What the first bytes of a file say it is when it is not CSV text: "gzip", "bzip2", "xz",
// "zstd", "zip", "utf-16", "utf-32", or "nul" for NUL bytes in `header` (the first record's
// bytes); empty for text. A UTF-8 byte-order mark is text.
std::string_view NotTextKindOf(std::string_view first_bytes, std::string_view header);

struct StreamResult {
  Outcome outcome = Outcome::kDone;
  Failure failure = Failure::kNone;
  std::string detail;  // the system's words, or the column's name
  std::string error;   // FailureText without a path
  Summary summary;
};

// The outputs that one run over several files has written, so that a later input that maps to
// one of them (d1/calls.csv and d2/calls.csv into one folder, or calls and calls.csv) fails
// rather than replacing it. Files are told apart by identity, not by how their path is spelled.
class OutputsOfRun {
 public:
  bool Wrote(std::string_view output) const;
  void Add(std::string_view output);

 private:
  std::vector<FileIdentity> written_;
};

struct FileRequest {
  std::string input;                            // UTF-8, as every path here
  std::optional<std::string> output_directory;  // nothing: beside the input
  bool force = false;                           // replace an existing output
  OutputsOfRun* run = nullptr;                  // the run's outputs so far, kept up to date
};

struct FileResult {
  Outcome outcome = Outcome::kDone;
  std::string output;
  Failure failure = Failure::kNone;
  std::string failed_path;  // the input or the output, as the failure concerns
  std::string detail;       // the system's words, or the column's name
  std::string error;        // FailureText of the three
  Summary summary;
};

class Converter {
 public:
  // Nothing, with `error` set, when the options name a zone that does not exist.
  static std::unique_ptr<Converter> Create(const Options& options, std::string& error);
  // With rules already chosen, such as MachineZoneRules(); options.zone is not read. A program
  // that never names a zone (the window) so carries no table of zone names.
  static std::unique_ptr<Converter> Create(const Options& options, std::unique_ptr<ZoneRules> rules,
                                           std::string& error);

  StreamResult ConvertStream(ByteSource& input, ByteSink& output, const ProgressCallback& progress,
                             const std::atomic<bool>* cancel) const;

  // Writes the output under a temporary name and renames it into place when complete; on any
  // failure or cancellation no output and no temporary file remain. The input is only read.
  FileResult ConvertFile(const FileRequest& request, const ProgressCallback& progress,
                         const std::atomic<bool>* cancel) const;

 private:
  Converter(Options options, std::unique_ptr<ZoneRules> rules);
  Options options_;
  std::unique_ptr<ZoneRules> rules_;
};

// The converters by options, and one file with them, defined here so that only a program that
// names zones carries the zone names: the window chooses its rules itself.
inline std::unique_ptr<Converter> Converter::Create(const Options& options, std::string& error) {
  std::unique_ptr<ZoneRules> rules = ChosenZoneRules(options.zone, error);
  if (!rules) return nullptr;
  return Create(options, std::move(rules), error);
}

inline FileResult ConvertFile(const FileRequest& request, const Options& options,
                              const ProgressCallback& progress = {},
                              const std::atomic<bool>* cancel = nullptr) {
  std::string error;
  const std::unique_ptr<Converter> converter = Converter::Create(options, error);
  if (!converter) {
    FileResult failed;
    failed.outcome = Outcome::kFailed;
    failed.error = error;
    return failed;
  }
  return converter->ConvertFile(request, progress, cancel);
}

}  // namespace halvrenn::cdr
