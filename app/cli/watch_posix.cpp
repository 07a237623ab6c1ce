// The watcher on POSIX systems: SIGTERM (systemd's stop), SIGINT and SIGHUP stop it; the other
// signals that end a program remove its temporary file first, as for a one-shot run. No service
// glue: systemd runs the program as it is.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "cdr/files/temporary_files.h"
#include "exit_status.h"
#include "terminal.h"
#include "time/path_watch_posix.h"
#include "time/zone_rules_posix.h"
#include "watch.h"

namespace halvrenn::cli {
namespace {

extern "C" void OnStopRequest(int) {
  if (RequestStop()) {
    cdr::RemoveTemporaryFilesNow();
    _exit(kInterruptedStatus);
  }
}

}  // namespace

void StopOnRequest(std::atomic<bool>& stop) {
  CancelOnInterrupt(stop);  // the handlers of the other signals
  SetStopFlag(stop);
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction action {};
    action.sa_handler = OnStopRequest;
    sigemptyset(&action.sa_mask);
    sigaction(signal_number, &action, nullptr);
  }
}

std::function<bool()> ZoneChanges(const std::string& zone) {
  const char* database_variable = std::getenv("TZDIR");
  const std::string database = database_variable != nullptr && *database_variable == '/'
                                   ? database_variable
                                   : "/usr/share/zoneinfo";
  // A zone set in TZ is the environment's choice, read once like the rest of it.
  if (zone.empty() && std::getenv("TZ") != nullptr) return {};
  const std::string path = zone.empty() ? kLocaltimePath : database + "/" + zone;
  struct Followed {
    explicit Followed(std::string path) : watch(std::move(path)) {}
    platform::PathWatch watch;
    bool armed = false;
  };
  auto followed = std::make_shared<Followed>(path);
  followed->armed = followed->watch.Arm();
  // A watch that cannot be armed (no inotify left) would report a change at every file.
  return [followed] {
    if (!followed->armed || !followed->watch.Changed()) return false;
    followed->armed = followed->watch.Arm();
    return true;
  };
}

bool AppendLine(const std::string& file, std::string_view line_without_end) {
  const std::string line = std::string(line_without_end) + "\n";
  const int descriptor = open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (descriptor < 0) return false;
  const ssize_t written = write(descriptor, line.data(), line.size());
  close(descriptor);
  return written == static_cast<ssize_t>(line.size());
}

std::string ServiceLogFile() { return {}; }

int RunAsService(const std::function<int(std::atomic<bool>& stop)>&) { return kWrongUsage; }

void WatchStarted() {}

void ReportRefusal(std::string_view) {}

}  // namespace halvrenn::cli
