// halvrenn-cdr --service: the watcher as a Windows service of its own process. The Service
// Control Manager starts the program with the command line given to sc create (or the MSI); the
// main thread hands itself to the manager's dispatcher, which runs the whole command line on a
// thread of its own and passes the stop and shutdown controls here.
//
// The state is reported as the manager expects: start pending until the watch is under way, then
// running; stop pending, its check point growing every half second, until the conversion in
// progress is cancelled and its temporary file removed; stopped with the exit status. A service
// has no standard error: what the program would write there (a refusal, from a wrong option on)
// goes to the service's log and to the Event Log, and a refusal stops the service at once, with
// the exit status as its service-specific code (1 could not start, 2 wrong usage, as in a console).

#include "service_win32.h"

#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "cdr/files/temporary_files.h"
#include "cli.h"
#include "exit_status.h"
#include "halvrenn-cdr-messages.h"
#include "terminal.h"
#include "time/utf16_text.h"
#include "watch.h"

namespace halvrenn::cli {
namespace {

constexpr DWORD kWaitHintMilliseconds = 2000;
constexpr auto kPendingEvery = std::chrono::milliseconds(500);
// The source that the MSI registers with halvrenn-cdr.exe as its message file. Created with sc
// create instead, the source is not registered: the entries still arrive, with Windows' note that
// their description cannot be found before the text.
constexpr wchar_t kEventSource[] = L"Halvrenn";

const std::vector<std::string>* service_arguments = nullptr;
std::string service_log;
std::atomic<bool> stop{false};
int exit_status = 0;

SERVICE_STATUS_HANDLE status_handle = nullptr;
std::mutex status_mutex;
DWORD check_point = 0;

std::mutex stopping_mutex;
std::condition_variable stopping_changed;
bool finished = false;
std::thread stop_pending_reporter;

void ReportState(DWORD state, DWORD wait_hint = 0) {
  const std::lock_guard lock(status_mutex);
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted =
      state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  if (state == SERVICE_STOPPED && exit_status != 0) {
    status.dwWin32ExitCode = ERROR_SERVICE_SPECIFIC_ERROR;
    status.dwServiceSpecificExitCode = static_cast<DWORD>(exit_status);
  }
  const bool pending = state != SERVICE_RUNNING && state != SERVICE_STOPPED;
  status.dwCheckPoint = pending ? ++check_point : 0;
  status.dwWaitHint = wait_hint;
  SetServiceStatus(status_handle, &status);
}

void WriteEvent(std::string_view text) {
  const HANDLE source = RegisterEventSourceW(nullptr, kEventSource);
  if (source == nullptr) return;
  const std::wstring wide = Utf16FromUtf8(text);
  const wchar_t* strings[] = {wide.c_str()};
  ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, HALVRENN_MESSAGE_TEXT, nullptr, 1, 0, strings,
               nullptr);
  DeregisterEventSource(source);
}

// The stop pending state again and again, so that the manager (and net stop) waits for as long
// as the conversion in progress takes to stop, however long a read blocks.
void ReportStopPendingUntilFinished() {
  std::unique_lock lock(stopping_mutex);
  while (!finished) {
    ReportState(SERVICE_STOP_PENDING, kWaitHintMilliseconds);
    stopping_changed.wait_for(lock, kPendingEvery);
  }
}

DWORD WINAPI OnServiceControl(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      if (!stop.exchange(true)) {
        stop_pending_reporter = std::thread(ReportStopPendingUntilFinished);
      }
      WakeWatch();
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

// Standard error as a pipe whose every line, but the pointer to --help, goes to the log and the
// Event Log.
class DivertedStandardError {
 public:
  DivertedStandardError() {
    if (!CreatePipe(&read_end_, &write_end_, nullptr, 0)) return;
    earlier_ = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_ERROR_HANDLE, write_end_);
    reader_ = std::thread([this] { ReadLines(); });
  }
  ~DivertedStandardError() {
    if (!reader_.joinable()) return;
    SetStdHandle(STD_ERROR_HANDLE, earlier_);
    CloseHandle(write_end_);
    reader_.join();
    CloseHandle(read_end_);
  }
  DivertedStandardError(const DivertedStandardError&) = delete;
  DivertedStandardError& operator=(const DivertedStandardError&) = delete;

 private:
  void ReadLines() {
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(read_end_, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      pending.append(buffer, got);
      for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
        Take(std::string_view(pending).substr(0, end));
        pending.erase(0, end + 1);
      }
    }
    if (!pending.empty()) Take(pending);
  }
  static void Take(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.starts_with("Try '")) return;
    AppendLogLine(service_log, line);
    WriteEvent(line);
  }

  HANDLE read_end_ = nullptr;
  HANDLE write_end_ = nullptr;
  HANDLE earlier_ = nullptr;
  std::thread reader_;
};

// The log the command line names, read before the options are (a wrong one included).
std::string LogOfArguments(const std::vector<std::string>& arguments) {
  std::string log;
  for (std::size_t i = 0; i < arguments.size() && arguments[i] != "--"; ++i) {
    if (arguments[i] == "--log" && i + 1 < arguments.size()) log = arguments[i + 1];
    if (arguments[i].starts_with("--log=")) log = arguments[i].substr(6);
  }
  return log.empty() ? ServiceLogFile() : log;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  // The name is not looked at for a service of its own process.
  status_handle = RegisterServiceCtrlHandlerExW(L"", OnServiceControl, nullptr);
  if (status_handle == nullptr) return;
  ReportState(SERVICE_START_PENDING, kWaitHintMilliseconds);
  service_log = LogOfArguments(*service_arguments);
  {
    const DivertedStandardError diverted;
    exit_status = Run(*service_arguments);
  }
  // The loop has returned: the conversion it was in is cancelled and its file removed.
  cdr::RemoveTemporaryFilesNow();
  {
    const std::lock_guard lock(stopping_mutex);
    finished = true;
  }
  stopping_changed.notify_all();
  if (stop_pending_reporter.joinable()) stop_pending_reporter.join();
  ReportState(SERVICE_STOPPED);
}

}  // namespace

bool IsServiceCommandLine(const std::vector<std::string>& arguments) {
  const auto end = std::find(arguments.begin(), arguments.end(), "--");
  return std::find(arguments.begin(), end, "--service") != end;
}

int RunServiceProcess(const std::vector<std::string>& arguments) {
  service_arguments = &arguments;
  wchar_t name[] = L"";
  const SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  if (StartServiceCtrlDispatcherW(table)) return exit_status;
  if (GetLastError() == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
    WriteStandardError(
        "halvrenn-cdr: --service is for the Service Control Manager (sc create); without it the "
        "watcher runs in this console\n");
    return kWrongUsage;
  }
  WriteStandardError("halvrenn-cdr: the Service Control Manager did not take the service\n");
  return 1;
}

int RunAsService(const std::function<int(std::atomic<bool>&)>& watch) {
  if (status_handle == nullptr) return kWrongUsage;
  return watch(stop);
}

void WatchStarted() {
  if (status_handle != nullptr) ReportState(SERVICE_RUNNING);
}

void ReportRefusal(std::string_view text) {
  if (status_handle != nullptr) WriteEvent(text);
}

}  // namespace halvrenn::cli
