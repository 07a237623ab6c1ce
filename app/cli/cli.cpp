#include "cli.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <optional>
#include <span>
#include <string_view>

#include "cdr/convert/conversion.h"
#include "cdr/files/file_facts.h"
#include "cdr/files/paths.h"
#include "cdr/folders/folder_files.h"
#include "cdr/format/column_kinds.h"
#include "cdr/format/summary_text.h"
#include "file_arguments.h"
#include "terminal.h"
#include "watch.h"

namespace halvrenn::cli {
namespace {

constexpr int kWritten = 0;
constexpr int kFileFailed = 1;
constexpr int kWrongUsage = 2;

constexpr std::string_view kProgram = "halvrenn-cdr";

constexpr std::string_view kHelp = R"(Usage: halvrenn-cdr [OPTIONS] [FILE...]
Adds the dates of the time stamps of call-detail-record files (CSV) as new columns at the end of
every record, keeping every byte of the file. Each FILE is written converted beside it:
calls.csv becomes calls.converted.csv, cdr_Cluster1_01_202612070915_1 becomes
cdr_Cluster1_01_202612070915_1.converted.csv. No FILE, or -, converts standard input to standard
output. A folder gives its files and its sub-folders' files, six levels deep, leaving out hidden
and system files, earlier outputs and links to folders. On Windows the program expands * and ?
itself, as cmd.exe leaves them.

Time stamps are the columns dateTimeOrigination, dateTimeConnect, dateTimeDisconnect and
dateTimeStamp (seconds), names ending in _epoch (seconds) and _uepoch (microseconds): counts from
1 to 4294967295 seconds after 1970-01-01 00:00:00 GMT. 0 or an empty field adds empty columns.
Beside them, IPv4 addresses (origIpAddr, destIpAddr and the media and video transport
addresses) get <column>_ip, cause codes (origCause_value, destCause_value) their ITU-T Q.850
name in <column>_text, and duration H:MM:SS in duration_hms.

Options:
  -o, --output DIR         write the converted files into DIR, which must exist
  -f, --force              replace converted files that exist already
  -c, --column NAME[:s|ms|us]
                           convert this column (repeatable) instead of those found by name
      --decode LIST        the kinds of column decoded, from time,ip,cause,duration (default
                           all that are found)
  -a, --add LIST           the columns added per time stamp, in this order, from
                           gmt,local,offset,standard,daylight (default gmt,local)
      --format iso|locale  iso: 2026-12-07 09:15:00 (default); locale: the user's short date and
                           long time, as the Halvrenn window shows them
  -z, --zone NAME          the zone for local, offset, standard and daylight (default: this
                           machine's), a tz database name such as America/New_York; on Windows
                           also a Windows zone name, and a tz name is served by the Windows zone
                           it maps to, whose history may differ (it warns which)
  -d, --delimiter D        comma, tab (or \t), semicolon or one character (default: from the
                           header)
  -j, --jobs N             threads per file (default: one per processor)
  -q, --quiet              no progress line and no summary
  Watching a folder (halvrenn-cdr --watch IN_DIR --output OUT_DIR [OPTIONS]):
      --watch DIR          convert every file of DIR that has no output yet, then every file
                           that arrives or changes, until stopped (SIGTERM, SIGINT, Ctrl+C)
      --done DIR           move each input into DIR once its output is in place
      --poll SECONDS       scan the folder every SECONDS instead of waiting for its events
                           (network shares): a file is taken once unchanged for one period
      --log FILE           append the log lines to FILE instead of standard error
      --service            run under the Windows Service Control Manager (sc create)
  -h, --help               this text
  -V, --version            the version
      --                   every argument after it is a FILE, even one that starts with -

Exit status: 0 every file written, 1 a file could not be read or written, 2 wrong usage,
130 interrupted.
)";

struct Command {
  cdr::Options options;
  std::optional<std::string> output_directory;
  bool force = false;
  bool quiet = false;
  std::vector<std::string> files;
  WatchCommand watch;
};

void Say(std::string_view text) { WriteStandardError(text); }

int UsageError(std::string_view message) {
  Say(std::string(kProgram) + ": " + std::string(message) + "\nTry '" + std::string(kProgram) +
      " --help'.\n");
  return kWrongUsage;
}

// Standard output for the help and the version: a write that fails (a full disk, a closed pipe)
// is a failure, not a success.
int Print(std::string_view text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) {
    return kWritten;
  }
  Say(std::string(kProgram) + ": cannot write to standard output: " + std::strerror(errno) + "\n");
  return kFileFailed;
}

// NAME, or NAME:s, NAME:ms, NAME:us; a name that holds a colon is given with its unit (a:b:s).
std::optional<cdr::ColumnChoice> ParseColumnChoice(std::string_view text) {
  cdr::ColumnChoice choice;
  const std::size_t colon = text.rfind(':');
  if (colon != std::string_view::npos) {
    const std::string_view unit = text.substr(colon + 1);
    if (unit == "s") {
      choice.unit = cdr::Unit::kSeconds;
    } else if (unit == "ms") {
      choice.unit = cdr::Unit::kMilliseconds;
    } else if (unit == "us") {
      choice.unit = cdr::Unit::kMicroseconds;
    } else {
      return std::nullopt;
    }
    text = text.substr(0, colon);
  }
  if (text.empty()) return std::nullopt;
  choice.name = std::string(text);
  return choice;
}

// A comma-separated list of words, each the index of its place in `words`; nothing when a word
// is not among them.
std::optional<std::vector<std::size_t>> ParseWordList(std::string_view list,
                                                      std::span<const std::string_view> words) {
  std::vector<std::size_t> indexes;
  while (true) {
    const std::size_t comma = list.find(',');
    const auto known = std::find(words.begin(), words.end(), list.substr(0, comma));
    if (known == words.end()) return std::nullopt;
    indexes.push_back(static_cast<std::size_t>(known - words.begin()));
    if (comma == std::string_view::npos) return indexes;
    list.remove_prefix(comma + 1);
  }
}

std::optional<std::vector<cdr::TimeText>> ParseAdded(std::string_view list) {
  static constexpr std::array<cdr::TimeText, 5> kAdded = {
      cdr::TimeText::kGmt, cdr::TimeText::kLocal, cdr::TimeText::kOffset, cdr::TimeText::kStandard,
      cdr::TimeText::kDaylight};
  static const std::array<std::string_view, 5> kWords = [] {
    std::array<std::string_view, 5> words;
    for (std::size_t i = 0; i < kAdded.size(); ++i) words[i] = cdr::TimeTextWord(kAdded[i]);
    return words;
  }();
  const auto indexes = ParseWordList(list, kWords);
  if (!indexes) return std::nullopt;
  std::vector<cdr::TimeText> added;
  for (const std::size_t index : *indexes) added.push_back(kAdded[index]);
  return added;
}

std::optional<cdr::KindSet> ParseDecode(std::string_view list) {
  static constexpr std::array<std::string_view, cdr::kColumnKinds> kWords = [] {
    std::array<std::string_view, cdr::kColumnKinds> words;
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = cdr::kColumnKindTable[i].decode_word;
    return words;
  }();
  const auto indexes = ParseWordList(list, kWords);
  if (!indexes) return std::nullopt;
  cdr::KindSet kinds{0};
  for (const std::size_t index : *indexes) kinds.bits |= 1U << index;
  return kinds;
}

std::optional<char> ParseDelimiter(std::string_view text) {
  if (text == "comma" || text == ",") return ',';
  if (text == "tab" || text == "\\t" || text == "\t") return '\t';
  if (text == "semicolon" || text == ";") return ';';
  if (text.size() == 1 && text[0] != '"' && text[0] != '\r' && text[0] != '\n') return text[0];
  return std::nullopt;
}

std::optional<unsigned> ParseJobs(std::string_view text) {
  if (text.empty() || text.size() > 3) return std::nullopt;
  unsigned jobs = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    jobs = jobs * 10 + unsigned(c - '0');
  }
  if (jobs == 0) return std::nullopt;
  return jobs;
}

// Reads the arguments into `command`; an exit status when the program should end at once.
std::optional<int> Parse(std::vector<std::string> arguments, Command& command) {
  bool options_end = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string argument = arguments[i];
    if (options_end || argument == "-" || !argument.starts_with('-')) {
      command.files.push_back(argument);
      continue;
    }
    if (argument == "--") {
      options_end = true;
      continue;
    }
    std::optional<std::string> attached;  // --name=value, or -xVALUE
    if (argument.starts_with("--")) {
      const std::size_t equals = argument.find('=');
      if (equals != std::string::npos) {
        attached = argument.substr(equals + 1);
        argument.resize(equals);
      }
    } else if (argument.size() > 2) {
      attached = argument.substr(2);
      argument.resize(2);
    }
    const auto is = [&](std::string_view short_name, std::string_view long_name) {
      return (!short_name.empty() && argument == short_name) || argument == long_name;
    };
    const auto value = [&]() -> std::optional<std::string> {
      if (attached) return attached;
      if (i + 1 < arguments.size()) return arguments[++i];
      return std::nullopt;
    };
    // Short options without a value combine: -fq is -f -q, and -fo DIR is -f -o DIR.
    const auto flag = [&]() {
      if (attached && !argument.starts_with("--")) {
        arguments.insert(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1, "-" + *attached);
        attached.reset();
      }
      return !attached;
    };

    if (is("-h", "--help") && flag()) return Print(kHelp);
    if (is("-V", "--version") && flag()) {
      return Print(std::string(kProgram) + " " + HALVRENN_DISPLAY_VERSION + "\n");
    }
    if (is("-f", "--force") && flag()) {
      command.force = true;
    } else if (is("-q", "--quiet") && flag()) {
      command.quiet = true;
    } else if (is("-o", "--output")) {
      const auto directory = value();
      if (!directory || directory->empty()) return UsageError("--output needs a folder");
      command.output_directory = std::string(*directory);
    } else if (is("-c", "--column")) {
      const auto text = value();
      const auto choice = text ? ParseColumnChoice(*text) : std::nullopt;
      if (!choice) return UsageError("--column takes NAME, NAME:s, NAME:ms or NAME:us");
      command.options.columns.push_back(*choice);
    } else if (is("-a", "--add")) {
      const auto text = value();
      const auto added = text ? ParseAdded(*text) : std::nullopt;
      if (!added) return UsageError("--add takes a list of gmt, local, offset, standard, daylight");
      command.options.time_texts = *added;
    } else if (is("", "--decode")) {
      const auto text = value();
      const auto kinds = text ? ParseDecode(*text) : std::nullopt;
      if (!kinds) return UsageError("--decode takes a list of time, ip, cause, duration");
      command.options.decode = *kinds;
    } else if (is("", "--format")) {
      const auto text = value();
      if (text == "iso") {
        command.options.format = cdr::TextFormat::kIso;
      } else if (text == "locale") {
        command.options.format = cdr::TextFormat::kLocale;
      } else {
        return UsageError("--format takes iso or locale");
      }
    } else if (is("-z", "--zone")) {
      const auto zone = value();
      if (!zone || zone->empty()) return UsageError("--zone needs a zone name");
      command.options.zone = *zone;
    } else if (is("-d", "--delimiter")) {
      const auto text = value();
      const auto delimiter = text ? ParseDelimiter(*text) : std::nullopt;
      if (!delimiter) return UsageError("--delimiter takes comma, tab, semicolon or one character");
      command.options.delimiter = delimiter;
    } else if (is("-j", "--jobs")) {
      const auto text = value();
      const auto jobs = text ? ParseJobs(*text) : std::nullopt;
      if (!jobs) return UsageError("--jobs takes a number from 1 to 999");
      command.options.jobs = *jobs;
    } else if (is("", "--watch") || is("", "--done") || is("", "--log")) {
      const auto path = value();
      if (!path || path->empty()) return UsageError(argument + " needs a path");
      if (argument == "--watch") command.watch.input = path;
      if (argument == "--done") command.watch.done = path;
      if (argument == "--log") command.watch.log = path;
    } else if (is("", "--poll")) {
      const auto text = value();
      command.watch.poll = text ? ParsePollSeconds(*text) : std::nullopt;
      if (!command.watch.poll) return UsageError("--poll takes seconds from 0.1 to 3600");
    } else if (is("", "--service") && flag()) {
      command.watch.service = true;
    } else {
      return UsageError("unknown option " + arguments[i]);
    }
  }
  if (command.files.empty() && !command.watch.Given()) command.files.emplace_back("-");
  return std::nullopt;
}

std::string SummaryLine(std::string_view name, const cdr::Summary& summary) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, ", %.2f s\n", summary.seconds);
  return std::string(name) + ": " + cdr::SummaryText(summary) + seconds;
}

// The progress line on standard error: at most ten updates a second, erased at the end.
class ProgressLine {
 public:
  ProgressLine(bool shown, std::string name) : shown_(shown), name_(std::move(name)) {}
  ~ProgressLine() { Erase(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void Update(const cdr::Progress& progress) {
    if (!shown_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    char text[160];
    const double rate = elapsed > 0 ? static_cast<double>(progress.records) / elapsed : 0.0;
    if (progress.bytes_total > 0) {
      std::snprintf(text, sizeof text, "\r%s: %3d%%, %.0f records/s ", name_.c_str(),
                    static_cast<int>(progress.bytes_read * 100 / progress.bytes_total), rate);
    } else {
      std::snprintf(text, sizeof text, "\r%s: %.1f MB, %.0f records/s ", name_.c_str(),
                    static_cast<double>(progress.bytes_read) / 1e6, rate);
    }
    Say(text);
    drawn_ = true;
  }

  void Erase() {
    if (!drawn_) return;
    std::string blank(name_.size() + 42, ' ');
    blank.front() = '\r';
    blank.back() = '\r';
    Say(blank);
    drawn_ = false;
  }

 private:
  bool shown_;
  std::string name_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_{};
};

std::string InterruptedText(std::string_view name, bool partial) {
  return std::string(kProgram) + ": " + std::string(name) +
         (partial ? ": interrupted; the output stops part-way\n"
                  : ": interrupted, nothing written\n");
}

void SayWarnings(std::string_view name, const cdr::Summary& summary) {
  for (const std::string& warning : summary.warnings) {
    Say(std::string(kProgram) + ": " + std::string(name) + ": warning: " + warning + "\n");
  }
}

// A file argument that is the output of another of this run (cdr_x.converted.csv beside cdr_x,
// both matched by cdr_*) is left out with a note: converting it would give
// cdr_x.converted.converted.csv, its added columns twice, and again at each run. Paths are
// compared made absolute, as the run writes them.
std::vector<FileArgument> WithoutOutputsOfOthers(std::vector<FileArgument> files,
                                                 const std::optional<std::string>& directory) {
  std::map<std::string, std::string> input_of_output;
  for (const FileArgument& argument : files) {
    if (argument.kind != FileArgument::Kind::kFile || argument.path == "-") continue;
    input_of_output.emplace(cdr::AbsolutePath(cdr::OutputPathFor(argument.path, directory)),
                            argument.path);
  }
  for (FileArgument& argument : files) {
    if (argument.kind != FileArgument::Kind::kFile || argument.path == "-") continue;
    const auto input = input_of_output.find(cdr::AbsolutePath(argument.path));
    if (input == input_of_output.end()) continue;
    argument = {{},
                argument.path + ": left out, the output of " + input->second,
                FileArgument::Kind::kNote};
  }
  return files;
}

}  // namespace

int Run(const std::vector<std::string>& arguments) {
  // The user's formats, for --format locale, as the window takes them.
  std::setlocale(LC_ALL, "");
  Command command;
  if (const std::optional<int> status = Parse(arguments, command)) return *status;

  std::string error;
  // On Windows a tz name is served by a Windows zone: said once, as a warning.
  std::string substitute;
  std::unique_ptr<ZoneRules> rules = command.options.zone.empty()
                                         ? MachineZoneRules()
                                         : NamedZoneRules(command.options.zone, error, &substitute);
  if (!rules) return UsageError(error);
  if (!substitute.empty()) Say(std::string(kProgram) + ": warning: " + substitute + "\n");
  const std::unique_ptr<cdr::Converter> converter =
      cdr::Converter::Create(command.options, std::move(rules), error);
  if (!converter) return UsageError(error);
  if (command.output_directory && !cdr::IsFolder(*command.output_directory)) {
    return UsageError("no folder " + *command.output_directory);
  }
  if (command.watch.Given()) {
    return RunWatch(command.watch, *converter, command.options, command.output_directory,
                    command.files, command.force, command.quiet);
  }

  static std::atomic<bool> cancel{false};
  CancelOnInterrupt(cancel);
  const bool show_progress = !command.quiet && StandardErrorIsTerminal();

  int status = kWritten;
  cdr::OutputsOfRun outputs;
  // A folder gives its files, as one dropped on the window does; on Windows the program expands
  // wildcards, which cmd.exe leaves to it.
  for (const FileArgument& argument :
       WithoutOutputsOfOthers(FilesOfArguments(command.files), command.output_directory)) {
    if (argument.kind != FileArgument::Kind::kFile) {
      const bool failed = argument.kind == FileArgument::Kind::kFailure;
      if (failed || !command.quiet) {
        Say(std::string(kProgram) + ": " + cdr::PrintableName(argument.text) + "\n");
      }
      if (failed) status = kFileFailed;
      continue;
    }
    const std::string& file = argument.path;
    const bool standard = file == "-";
    // Escaped wherever it is said: a name with a line break cannot start a line of its own.
    const std::string name = standard ? "(standard input)" : cdr::PrintableName(file);
    // Where an interrupt cannot wait for the conversion to stop (Windows), it says the same.
    WhenInterrupted(InterruptedText(name, standard));
    ProgressLine line(show_progress, name);
    const cdr::ProgressCallback progress = [&line](const cdr::Progress& p) { line.Update(p); };
    cdr::Outcome outcome;
    std::string failure;
    cdr::Summary summary;
    std::string shown = name;
    if (standard) {
      const auto input = cdr::StandardInput();
      const auto output = cdr::StandardOutput();
      cdr::StreamResult result = converter->ConvertStream(*input, *output, progress, &cancel);
      outcome = result.outcome;
      failure = name + ": " + result.error;
      summary = std::move(result.summary);
    } else {
      cdr::FileResult result = converter->ConvertFile(
          {file, command.output_directory, command.force, &outputs}, progress, &cancel);
      outcome = result.outcome;
      failure = result.error;
      if (result.failure == cdr::Failure::kExists) {
        failure += " (--force replaces it)";
      }
      summary = std::move(result.summary);
      shown = name + " -> " + cdr::PrintableName(result.output);
    }
    line.Erase();
    if (outcome == cdr::Outcome::kCancelled) {
      // A file's output is never left part-written; standard output may have had records.
      WhenInterrupted({});  // said here, not again by the interrupt
      Say(InterruptedText(name, standard && summary.bytes_written > 0));
      return kInterruptedStatus;
    }
    if (outcome == cdr::Outcome::kFailed) {
      Say(std::string(kProgram) + ": " + failure + "\n");
      status = kFileFailed;
      continue;
    }
    SayWarnings(name, summary);
    if (!command.quiet) Say(SummaryLine(shown, summary));
  }
  return status;
}

}  // namespace halvrenn::cli
