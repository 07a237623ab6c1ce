#include "cli.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "cdr/convert/conversion.h"
#include "cdr/files/file_facts.h"
#include "cdr/files/paths.h"
#include "cdr/folders/folder_files.h"
#include "cdr/format/column_kinds.h"
#include "cdr/format/summary_text.h"
#include "command.h"
#include "exit_status.h"
#include "file_arguments.h"
#include "options.h"
#include "terminal.h"
#include "time/zone_rules.h"
#include "watch.h"

namespace halvrenn::cli {
namespace {

constexpr std::string_view kProgram = "halvrenn-cdr";

void Say(std::string_view text) { WriteStandardError(text); }

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
  static const std::array<std::string_view, kTimeTexts.size()> kWords = [] {
    std::array<std::string_view, kTimeTexts.size()> words;
    for (std::size_t i = 0; i < kTimeTexts.size(); ++i) {
      words[i] = cdr::TimeTextWord(kTimeTexts[i]);
    }
    return words;
  }();
  const auto indexes = ParseWordList(list, kWords);
  if (!indexes) return std::nullopt;
  std::vector<cdr::TimeText> added;
  for (const std::size_t index : *indexes) added.push_back(kTimeTexts[index]);
  return added;
}

std::optional<cdr::KindSet> ParseDecode(std::string_view list) {
  const auto indexes = ParseWordList(list, KindWords());
  if (!indexes) return std::nullopt;
  cdr::KindSet kinds{0};
  for (const std::size_t index : *indexes) kinds.bits |= 1U << index;
  return kinds;
}

std::optional<cdr::TextFormat> ParseFormat(std::string_view text) {
  for (const auto& [word, format] : kFormats) {
    if (text == word) return format;
  }
  return std::nullopt;
}

std::optional<char> ParseDelimiter(std::string_view text) {
  for (const auto& [word, delimiter] : kNamedDelimiters) {
    if (text == word || text == std::string_view(&delimiter, 1)) return delimiter;
  }
  if (text == "\\t") return '\t';  // as a shell passes '\t' on
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

std::optional<std::string> NotEmpty(const std::string& text) {
  if (text.empty()) return std::nullopt;
  return text;
}

// Sets `into` to the value parsed, or refuses the command line when there is none.
template <class Parsed, class Into>
std::optional<int> Take(std::optional<Parsed> parsed, Into& into, std::string_view refusal) {
  if (!parsed) return UsageError(refusal);
  into = std::move(*parsed);
  return std::nullopt;
}

// The same for an option that may be repeated, each value one more.
template <class Parsed>
std::optional<int> Append(std::optional<Parsed> parsed, std::vector<Parsed>& into,
                          std::string_view refusal) {
  if (!parsed) return UsageError(refusal);
  into.push_back(std::move(*parsed));
  return std::nullopt;
}

// What an option does to the command: an exit status when the program ends at once. Every value
// that an option needs is refused when it is missing as when it is empty.
std::optional<int> Apply(Option option, const std::string& value, Command& command) {
  cdr::Options& options = command.options;
  WatchCommand& watch = command.watch;
  switch (option) {
    case Option::kHelp:
      return Print(HelpText());
    case Option::kVersion:
      return Print(std::string(kProgram) + " " + HALVRENN_DISPLAY_VERSION + "\n");
    case Option::kForce:
      command.force = true;
      return std::nullopt;
    case Option::kQuiet:
      command.quiet = true;
      return std::nullopt;
    case Option::kService:
      watch.service = true;
      return std::nullopt;
    case Option::kEndOfOptions:  // Parse's own
      return std::nullopt;
    case Option::kOutput:
      return Take(NotEmpty(value), command.output_directory, "--output needs a folder");
    case Option::kColumn:
      return Append(ParseColumnChoice(value), options.columns,
                    "--column takes NAME, NAME:s, NAME:ms or NAME:us");
    case Option::kAdd:
      return Take(ParseAdded(value), options.time_texts,
                  "--add takes a list of gmt, local, offset, standard, daylight");
    case Option::kDecode:
      return Take(ParseDecode(value), options.decode,
                  "--decode takes a list of time, ip, cause, duration");
    case Option::kFormat:
      return Take(ParseFormat(value), options.format, "--format takes iso or locale");
    case Option::kZone:
      return Take(NotEmpty(value), options.zone, "--zone needs a zone name");
    case Option::kDelimiter:
      return Take(ParseDelimiter(value), options.delimiter,
                  "--delimiter takes comma, tab, semicolon or one character");
    case Option::kJobs:
      return Take(ParseJobs(value), options.jobs, "--jobs takes a number from 1 to 999");
    case Option::kWatch:
      return Take(NotEmpty(value), watch.input, "--watch needs a path");
    case Option::kDone:
      return Take(NotEmpty(value), watch.done, "--done needs a path");
    case Option::kLog:
      return Take(NotEmpty(value), watch.log, "--log needs a path");
    case Option::kPoll:
      return Take(ParsePollSeconds(value), watch.poll, "--poll takes seconds from 0.1 to 3600");
  }
  return std::nullopt;
}

// The option of the table that `name` names: "-o", "--output", or "--" itself.
const OptionSpec* FindOption(std::string_view name) {
  const bool long_name = name.starts_with("--");
  for (const OptionSpec& spec : OptionTable()) {
    if (long_name ? name.substr(2) == spec.long_name
                  : spec.short_name != '\0' && name == std::string{'-', spec.short_name}) {
      return &spec;
    }
  }
  return nullptr;
}

// The value joined to an option, taken off its name: "--zone=UTC" leaves "--zone" and gives
// "UTC", "-zUTC" leaves "-z"; nothing when none is joined.
std::optional<std::string> TakeAttached(std::string& argument) {
  std::optional<std::string> attached;
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
  return attached;
}

// Reads the arguments into `command`; an exit status when the program should end at once.
std::optional<int> Parse(std::vector<std::string> arguments, Command& command) {
  bool options_end = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string argument = arguments[i];  // its name alone, once the value is taken off
    if (options_end || argument == "-" || !argument.starts_with('-')) {
      command.files.push_back(argument);
      continue;
    }
    const bool long_name = argument.starts_with("--");
    const std::optional<std::string> attached = TakeAttached(argument);
    const OptionSpec* spec = FindOption(argument);
    const bool flag = spec != nullptr && spec->value.empty();
    if (spec == nullptr || (flag && long_name && attached)) {
      return UsageError("unknown option " + arguments[i]);
    }
    std::string value;
    if (flag && attached) {
      // Short options without a value combine: -fq is -f -q, and -fo DIR is -f -o DIR.
      arguments.insert(arguments.begin() + static_cast<std::ptrdiff_t>(i) + 1, "-" + *attached);
    } else if (!flag && attached) {
      value = *attached;
    } else if (!flag && i + 1 < arguments.size()) {
      value = arguments[++i];
    }
    if (spec->option == Option::kEndOfOptions) options_end = true;
    if (const std::optional<int> status = Apply(spec->option, value, command)) return status;
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

std::string WarningsText(std::string_view name, const cdr::Summary& summary) {
  std::string text;
  for (const std::string& warning : summary.warnings) {
    text += std::string(kProgram) + ": " + std::string(name) + ": warning: " + warning + "\n";
  }
  return text;
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

// What became of one argument, in one shape for standard input, a file and what a folder or a
// wildcard gives instead of a file (a note, a failure).
struct ArgumentResult {
  cdr::Outcome outcome = cdr::Outcome::kDone;
  std::string said;     // whatever --quiet says: a failure, warnings, the interrupt's words
  std::string summary;  // without --quiet: the summary line, a folder's note
};

// What every argument of one run shares.
struct RunContext {
  const Command& command;
  const cdr::Converter& converter;
  bool show_progress = false;
  const std::atomic<bool>* cancel = nullptr;
  cdr::OutputsOfRun* outputs = nullptr;
};

// A conversion told: `shown` names it in the summary line; `partial` when an interrupt came after
// some records were written.
ArgumentResult Told(std::string_view name, cdr::Outcome outcome, std::string_view failure,
                    const cdr::Summary& summary, std::string_view shown, bool partial) {
  switch (outcome) {
    case cdr::Outcome::kCancelled:
      return {outcome, InterruptedText(name, partial), {}};
    case cdr::Outcome::kFailed:
      return {outcome, std::string(kProgram) + ": " + std::string(failure) + "\n", {}};
    case cdr::Outcome::kDone:
      break;
  }
  return {outcome, WarningsText(name, summary), SummaryLine(shown, summary)};
}

ArgumentResult ConvertStandardStreams(const std::string& name,
                                      const cdr::ProgressCallback& progress,
                                      const RunContext& run) {
  const auto input = cdr::StandardInput();
  const auto output = cdr::StandardOutput();
  const cdr::StreamResult result =
      run.converter.ConvertStream(*input, *output, progress, run.cancel);
  // Standard output may have had records before an interrupt; a file's output never has.
  return Told(name, result.outcome, name + ": " + result.error, result.summary, name,
              result.summary.bytes_written > 0);
}

ArgumentResult ConvertNamedFile(const std::string& file, const std::string& name,
                                const cdr::ProgressCallback& progress, const RunContext& run) {
  const cdr::FileResult result = run.converter.ConvertFile(
      {file, run.command.output_directory, run.command.force, run.outputs}, progress, run.cancel);
  std::string failure = result.error;
  if (result.failure == cdr::Failure::kExists) failure += " (--force replaces it)";
  return Told(name, result.outcome, failure, result.summary,
              name + " -> " + cdr::PrintableName(result.output), false);
}

ArgumentResult ConvertArgument(const FileArgument& argument, const RunContext& run) {
  if (argument.kind != FileArgument::Kind::kFile) {
    const std::string text =
        std::string(kProgram) + ": " + cdr::PrintableName(argument.text) + "\n";
    if (argument.kind == FileArgument::Kind::kFailure) return {cdr::Outcome::kFailed, text, {}};
    return {cdr::Outcome::kDone, {}, text};
  }
  const bool standard = argument.path == "-";
  // Escaped wherever it is said: a name with a line break cannot start a line of its own.
  const std::string name = standard ? "(standard input)" : cdr::PrintableName(argument.path);
  // Where an interrupt cannot wait for the conversion to stop (Windows), it says the same.
  WhenInterrupted(InterruptedText(name, standard));
  ProgressLine line(run.show_progress, name);
  const cdr::ProgressCallback progress = [&line](const cdr::Progress& p) { line.Update(p); };
  return standard ? ConvertStandardStreams(name, progress, run)
                  : ConvertNamedFile(argument.path, name, progress, run);
}

// The files of the command line converted one after the other, until an interrupt.
int ConvertArguments(const Command& command, const cdr::Converter& converter) {
  static std::atomic<bool> cancel{false};
  CancelOnInterrupt(cancel);
  cdr::OutputsOfRun outputs;
  const RunContext run{command, converter, !command.quiet && StandardErrorIsTerminal(), &cancel,
                       &outputs};
  int status = kWritten;
  // A folder gives its files, as one dropped on the window does; on Windows the program expands
  // wildcards, which cmd.exe leaves to it.
  for (const FileArgument& argument :
       WithoutOutputsOfOthers(FilesOfArguments(command.files), command.output_directory)) {
    const ArgumentResult result = ConvertArgument(argument, run);
    if (result.outcome == cdr::Outcome::kCancelled) WhenInterrupted({});  // said here instead
    if (!result.said.empty()) Say(result.said);
    if (!command.quiet && !result.summary.empty()) Say(result.summary);
    if (result.outcome == cdr::Outcome::kCancelled) return kInterruptedStatus;
    if (result.outcome == cdr::Outcome::kFailed) status = kFileFailed;
  }
  return status;
}

// The converter of the options, in the zone they name or the machine's. On Windows a tz name is
// served by a Windows zone: said once, as a warning.
std::unique_ptr<cdr::Converter> ConverterFor(const cdr::Options& options, std::string& error) {
  std::string substitute;
  std::unique_ptr<ZoneRules> rules = ChosenZoneRules(options.zone, error, &substitute);
  if (!rules) return nullptr;
  if (!substitute.empty()) Say(std::string(kProgram) + ": warning: " + substitute + "\n");
  return cdr::Converter::Create(options, std::move(rules), error);
}

}  // namespace

int UsageError(std::string_view message) {
  Say(std::string(kProgram) + ": " + std::string(message) + "\nTry '" + std::string(kProgram) +
      " --help'.\n");
  return kWrongUsage;
}

int Run(const std::vector<std::string>& arguments) {
  // The user's formats, for --format locale, as the window takes them.
  std::setlocale(LC_ALL, "");
  Command command;
  if (const std::optional<int> status = Parse(arguments, command)) return *status;
  std::string error;
  const std::unique_ptr<cdr::Converter> converter = ConverterFor(command.options, error);
  if (!converter) return UsageError(error);
  if (command.output_directory && !cdr::IsFolder(*command.output_directory)) {
    return UsageError("no folder " + *command.output_directory);
  }
  if (command.watch.Given()) return RunWatch(command, *converter);
  return ConvertArguments(command, *converter);
}

}  // namespace halvrenn::cli
