// The watcher in a Windows console: Ctrl+C and Ctrl+Break stop it (a second ends it at once);
// closing the console, logging off and shutting down remove its temporary file before the system
// ends it. The log file is appended to as any program may, also while it is read.

#include <windows.h>

#include <shlobj.h>

#include <array>
#include <cstring>
#include <memory>

#include "cdr/files/long_paths_win32.h"
#include "cdr/files/temporary_files.h"
#include "exit_status.h"
#include "time/utf16_text.h"
#include "watch.h"

namespace halvrenn::cli {
namespace {

BOOL WINAPI OnControl(DWORD event) {
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
    if (RequestStop()) {
      cdr::RemoveTemporaryFilesNow();
      ExitProcess(kInterruptedStatus);
    }
    return TRUE;
  }
  cdr::RemoveTemporaryFilesNow();
  return FALSE;
}

}  // namespace

void StopOnRequest(std::atomic<bool>& stop) {
  SetStopFlag(stop);
  SetConsoleCtrlHandler(OnControl, TRUE);
}

// Another zone chosen for the machine, or its rules updated, shows in what the system reports.
std::function<bool()> ZoneChanges(const std::string& zone) {
  if (!zone.empty()) return {};
  auto last = std::make_shared<DYNAMIC_TIME_ZONE_INFORMATION>();
  GetDynamicTimeZoneInformation(last.get());
  return [last] {
    DYNAMIC_TIME_ZONE_INFORMATION now{};
    GetDynamicTimeZoneInformation(&now);
    if (std::memcmp(&now, last.get(), sizeof now) == 0) return false;
    *last = now;
    return true;
  };
}

bool AppendLine(const std::string& file, std::string_view line_without_end) {
  const std::string line = std::string(line_without_end) + "\r\n";
  const HANDLE handle = CreateFileW(cdr::SystemPath(file).c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool whole =
      WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
      written == line.size();
  CloseHandle(handle);
  return whole;
}

// %ProgramData%\Halvrenn\watch.log, its folder made when missing. Asked of the shell rather
// than of the environment, which a service does not always get (Wine gives its services another).
std::string ServiceLogFile() {
  std::array<wchar_t, MAX_PATH> data{};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                              data.data()))) {
    return "C:\\ProgramData\\Halvrenn\\watch.log";
  }
  const std::wstring folder = std::wstring(data.data()) + L"\\Halvrenn";
  CreateDirectoryW(folder.c_str(), nullptr);
  return Utf8FromUtf16(folder + L"\\watch.log");
}

}  // namespace halvrenn::cli
