#include "watch.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <utility>

#include "cdr/files/file_facts.h"
#include "cdr/files/folder_claim.h"
#include "cdr/format/summary_text.h"
#include "cdr/watch/watch_loop.h"
#include "exit_status.h"
#include "terminal.h"
#include "time/zone_rules.h"

namespace halvrenn::cli {
namespace {

// When a stop was asked for, on the steady clock (0: not yet), so that the log says how long the
// stop took.
std::atomic<std::chrono::steady_clock::rep> stop_requested{0};

// The flag that a termination request sets, and the watch it wakes.
std::atomic<bool>* stop_flag = nullptr;
std::atomic<cdr::FolderWatch*> woken{nullptr};
static_assert(std::atomic<cdr::FolderWatch*>::is_always_lock_free);

constexpr int kStopped = 0;
constexpr int kNotStarted = 1;

// "2026-12-07T09:15:02.123Z": the log's clock is UTC, whatever zone the files are converted for.
std::string UtcNow() {
  using namespace std::chrono;
  const auto now = floor<milliseconds>(system_clock::now());
  const auto day = floor<days>(now);
  const year_month_day date{day};
  const hh_mm_ss time{now - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int{date.year()},
                unsigned{date.month()}, unsigned{date.day()},
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()),
                static_cast<int>(time.subseconds().count()));
  return text;
}

std::string Seconds(std::chrono::seconds pause) { return std::to_string(pause.count()) + " s"; }

// The log: standard error (the journal under systemd), or appended to a file. A line that the
// file does not take goes to standard error rather than nowhere.
class Log {
 public:
  explicit Log(std::optional<std::string> file) : file_(std::move(file)) {}

  // Every line escaped whole: a name or a system's text with a line break in it cannot forge a
  // line of the log.
  void Line(std::string_view text) const { AppendLogLine(file_, cdr::PrintableName(text)); }

  void Refusal(std::string_view text) const {
    Line(text);
    ReportRefusal(text);
  }

  void Event(const cdr::WatchEvent& event) const {
    using Kind = cdr::WatchEvent::Kind;
    const cdr::FileResult* result = event.result;
    switch (event.kind) {
      case Kind::kConverted: {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, ", %.2f s", result->summary.seconds);
        std::string text = event.input + " -> " + result->output + ": " +
                           cdr::SummaryText(result->summary) + seconds;
        for (const std::string& warning : result->summary.warnings) text += "; warning: " + warning;
        return Line(text);
      }
      case Kind::kFailed:
        return Line(result->error + "; tried again when " + event.input + " changes");
      case Kind::kNotWritten:
        return Line(result->error + "; " + event.input + " is tried again in " +
                    Seconds(event.retry) + ", then less often, up to every minute");
      case Kind::kDiskFull:
        return Line(result->error + "; every file waits, tried again in " + Seconds(event.retry) +
                    ", then less often, up to every minute");
      case Kind::kWritingAgain:
        return Line(event.path + ": writing again");
      case Kind::kNotMoved:
        return Line(event.input + ": cannot move into " + event.path + ": " + event.detail +
                    "; tried again in " + Seconds(event.retry) + ", then less often");
      case Kind::kMovedAs:
        return Line(event.input + ": the done folder has a file of that name; moved as " +
                    event.path);
      case Kind::kSameOutput:
        return Line(event.input + ": not converted: " + event.path +
                    " has the same output name; rename one of them");
      case Kind::kLinkOut:
        return Line(event.input + ": not converted: a link that leads out of the folder");
      case Kind::kNotRegular:
        return Line(event.input + ": not a regular file: left alone");
      case Kind::kUnreadable:
        return Line(event.path + ": cannot list its files");
    }
  }

 private:
  std::optional<std::string> file_;
};

// The converter with the zone's rules as they are now: read again when their file changes, so
// that a watcher running for months converts as a fresh run would. Rules that cannot be read
// again (an upgrade half done) leave the earlier ones in use until the next change.
class CurrentConverter {
 public:
  CurrentConverter(const cdr::Converter& first, const cdr::Options& options, const Log& log)
      : first_(first), options_(options), log_(log), changed_(ZoneChanges(options.zone)) {}

  const cdr::Converter& Get() {
    if (changed_ && changed_()) ReadAgain();
    return latest_ ? *latest_ : first_;
  }

 private:
  void ReadAgain() {
    std::string error;
    std::unique_ptr<ZoneRules> rules = ZoneRulesReadAgain(options_.zone, error);
    std::unique_ptr<cdr::Converter> converter =
        rules ? cdr::Converter::Create(options_, std::move(rules), error) : nullptr;
    if (!converter) {
      log_.Line("the zone's rules changed and cannot be read: " + error + "; the earlier stay");
      return;
    }
    latest_ = std::move(converter);
    log_.Line("the zone's rules changed: read again");
  }

  const cdr::Converter& first_;
  const cdr::Options& options_;
  const Log& log_;
  std::function<bool()> changed_;
  std::unique_ptr<cdr::Converter> latest_;
};

std::optional<std::string> UsageProblem(const Command& command) {
  const WatchCommand& watch = command.watch;
  const std::optional<std::string>& output = command.output_directory;
  if (!watch.input) return "--done, --poll, --log and --service go with --watch";
  if (!output) return "--watch needs --output, the folder of the converted files";
  if (!command.files.empty()) return "--watch takes no files: it converts those of its folder";
  if (command.force) return "--watch always replaces the outputs of files that change: no --force";
  if (command.quiet) return "--watch always logs: no --quiet";
  if (watch.service) {
    // A service starts in the system's folder, where a relative name would find another folder.
    for (const auto* path : {&watch.input, &output, &watch.done, &watch.log}) {
      if (*path && !std::filesystem::path(**path).is_absolute()) {
        return "--service takes absolute paths, not " + **path;
      }
    }
  }
  if (!cdr::IsFolder(*watch.input)) return "no folder " + *watch.input;
  const std::optional<cdr::FileIdentity> input_identity = cdr::FileIdentityOf(*watch.input);
  if (input_identity == cdr::FileIdentityOf(*output)) {
    return "the output folder must differ from the watched folder";
  }
  if (watch.done) {
    if (!cdr::IsFolder(*watch.done)) return "no folder " + *watch.done;
    if (input_identity == cdr::FileIdentityOf(*watch.done)) {
      return "the done folder must differ from the watched folder";
    }
  }
  return std::nullopt;
}

int Watch(const Command& command, const cdr::Converter& converter, const Log& log,
          const std::atomic<bool>& stop) {
  const WatchCommand& watch_command = command.watch;
  const std::string& output = *command.output_directory;
  const std::unique_ptr<cdr::FolderClaim> claim = cdr::ClaimFolder(output);
  if (!claim) {
    log.Refusal(output + ": another watcher converts into this folder; not started");
    return kNotStarted;
  }
  std::string error;
  std::unique_ptr<cdr::FolderWatch> watch =
      watch_command.poll ? cdr::WatchFolderByScan(*watch_command.input, *watch_command.poll)
                         : cdr::WatchFolderEvents(*watch_command.input, error);
  if (!watch) {
    log.Refusal(*watch_command.input + ": cannot watch: " + error + "; --poll scans it instead");
    return kNotStarted;
  }
  const cdr::WatchFolders folders{*watch_command.input, output, watch_command.done};
  std::string how = watch_command.poll
                        ? "scanning every " + std::to_string(watch_command.poll->count()) + " ms"
                        : std::string("on its events");
  if (watch_command.done) how += ", inputs moved into " + *watch_command.done;
  log.Line("watching " + *watch_command.input + " (" + how + "), converting into " + output);
  WatchStarted();
  WakeOnStop(watch.get());
  try {
    CurrentConverter current(converter, command.options, log);
    cdr::WatchAndConvert([&current]() -> const cdr::Converter& { return current.Get(); }, folders,
                         *watch, [&log](const cdr::WatchEvent& event) { log.Event(event); }, stop);
  } catch (const std::exception& failure) {
    WakeOnStop(nullptr);
    log.Refusal(std::string("stopped by an unexpected error: ") + failure.what());
    return kNotStarted;
  }
  WakeOnStop(nullptr);
  const auto requested = std::chrono::steady_clock::duration(stop_requested.load());
  const auto took = std::chrono::steady_clock::now().time_since_epoch() - requested;
  log.Line(requested.count() == 0
               ? std::string("stopped")
               : "stopped, " +
                     std::to_string(std::chrono::ceil<std::chrono::milliseconds>(took).count()) +
                     " ms after the request");
  return kStopped;
}

}  // namespace

void AppendLogLine(const std::optional<std::string>& file, std::string_view text) {
  const std::string line = UtcNow() + " " + std::string(text);
  if (!file || !AppendLine(*file, line)) WriteStandardError(line + "\n");
}

void NoteStopRequest() noexcept {
  static_assert(std::atomic<std::chrono::steady_clock::rep>::is_always_lock_free);
  std::chrono::steady_clock::rep none = 0;
  stop_requested.compare_exchange_strong(
      none, std::chrono::steady_clock::now().time_since_epoch().count());
}

void SetStopFlag(std::atomic<bool>& stop) { stop_flag = &stop; }

bool RequestStop() noexcept {
  if (stop_flag->exchange(true)) return true;
  WakeWatch();
  return false;
}

// A request that comes before the watch is there has nothing to wake: the loop sees the flag.
void WakeOnStop(cdr::FolderWatch* watch) { woken.store(watch); }

void WakeWatch() noexcept {
  NoteStopRequest();
  if (cdr::FolderWatch* watch = woken.load()) watch->Wake();
}

std::optional<std::chrono::milliseconds> ParsePollSeconds(std::string_view text) {
  // Whole seconds and up to three decimals, read exactly rather than through a double.
  long long milliseconds = 0;
  int decimals = -1;
  if (text.empty() || text.size() > 12) return std::nullopt;
  for (const char c : text) {
    if (c == '.' && decimals < 0) {
      decimals = 0;
    } else if (c >= '0' && c <= '9' && decimals < 3) {
      milliseconds = milliseconds * 10 + (c - '0');
      if (decimals >= 0) ++decimals;
    } else {
      return std::nullopt;
    }
  }
  for (int i = std::max(decimals, 0); i < 3; ++i) milliseconds *= 10;
  if (milliseconds < 100 || milliseconds > 3'600'000) return std::nullopt;
  return std::chrono::milliseconds(milliseconds);
}

int RunWatch(const Command& command, const cdr::Converter& converter) {
  if (const auto problem = UsageProblem(command)) return UsageError(*problem);
  if (command.watch.service) {
    const std::string service_log = command.watch.log ? *command.watch.log : ServiceLogFile();
    if (service_log.empty()) return UsageError("--service is for Windows; systemd runs it as is");
    const Log log(service_log);
    return RunAsService(
        [&](std::atomic<bool>& stop) { return Watch(command, converter, log, stop); });
  }
  static std::atomic<bool> stop{false};
  StopOnRequest(stop);
  return Watch(command, converter, Log(command.watch.log), stop);
}

}  // namespace halvrenn::cli
