// halvrenn-cdr --service: the watcher as a Windows service of its own process. The Service
// Control Manager starts the program with the command line given to sc create; the main thread
// hands itself to the manager's dispatcher, which runs the watch on a thread of its own and
// passes the stop and shutdown controls here. The state is reported as the manager expects:
// start pending, running, stop pending with a hint of two seconds, stopped with the exit status.

#include <windows.h>

#include "terminal.h"
#include "watch.h"

namespace halvrenn::cli {
namespace {

constexpr DWORD kStopHintMilliseconds = 2000;

const std::function<int(std::atomic<bool>&)>* service_watch = nullptr;
std::atomic<bool> stop{false};
int exit_status = 0;
SERVICE_STATUS_HANDLE status_handle = nullptr;

void ReportState(DWORD state, DWORD wait_hint = 0) {
  static DWORD check_point = 0;
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

DWORD WINAPI OnServiceControl(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
      ReportState(SERVICE_STOP_PENDING, kStopHintMilliseconds);
      stop.store(true);
      WakeWatch();
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  // The name is not looked at for a service of its own process.
  status_handle = RegisterServiceCtrlHandlerExW(L"", OnServiceControl, nullptr);
  if (status_handle == nullptr) return;
  ReportState(SERVICE_START_PENDING, kStopHintMilliseconds);
  ReportState(SERVICE_RUNNING);
  exit_status = (*service_watch)(stop);
  ReportState(SERVICE_STOPPED);
}

}  // namespace

int RunAsService(const std::function<int(std::atomic<bool>&)>& watch) {
  service_watch = &watch;
  wchar_t name[] = L"";
  const SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  if (StartServiceCtrlDispatcherW(table)) return exit_status;
  if (GetLastError() == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
    WriteStandardError(
        "halvrenn-cdr: --service is for the Service Control Manager (sc create); without it the "
        "watcher runs in this console\n");
    return 2;
  }
  WriteStandardError("halvrenn-cdr: the Service Control Manager did not take the service\n");
  return 1;
}

}  // namespace halvrenn::cli
