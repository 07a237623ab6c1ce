// A folder's changes on Windows by ReadDirectoryChangesW, and the wake signal. The system
// reports no writer's close, so every change only marks a file for a look: it is complete once
// it opens without sharing write access (no one has it open for writing) and its size and times
// have stayed the same for a moment.

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

#include "cdr/files/long_paths_win32.h"
#include "cdr/files/system_error.h"
#include "cdr/watch/folder_watch.h"
#include "cdr/watch/wake_signal.h"
#include "time/utf16_text.h"

namespace halvrenn::cdr {
namespace {

// The longest wait short of INFINITE.
constexpr DWORD kLongestWait = INFINITE - 1;

class DirectoryChangesWatch final : public WakeableFolderWatch {
 public:
  explicit DirectoryChangesWatch(std::string_view folder) : WakeableFolderWatch(folder) {}
  DirectoryChangesWatch(const DirectoryChangesWatch&) = delete;
  DirectoryChangesWatch& operator=(const DirectoryChangesWatch&) = delete;
  ~DirectoryChangesWatch() override {
    Close();
    if (event_ != nullptr) CloseHandle(event_);
  }

  bool Open(std::string& error) {
    event_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event_ == nullptr || !Listen()) {
      error = LastSystemError().text;
      return false;
    }
    return true;
  }

  std::vector<FolderChange> Wait(std::chrono::milliseconds timeout) override {
    // A folder removed or renamed ends the listening; it is listened to again once it is back,
    // and everything in it looked at afresh.
    if (directory_ == INVALID_HANDLE_VALUE) {
      if (Listen()) return {{FolderChange::Kind::kRescan, {}}};
      wake_.WaitFor(std::min(timeout, kWatchAgainEvery));
      return {};
    }
    const std::array<HANDLE, 2> handles{event_, reinterpret_cast<HANDLE>(wake_.Handle())};
    const DWORD woken = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(),
                                               FALSE, WaitMilliseconds(timeout, kLongestWait));
    if (woken != WAIT_OBJECT_0) return {};
    std::vector<FolderChange> changes;
    DWORD bytes = 0;
    if (!GetOverlappedResult(directory_, &overlapped_, &bytes, FALSE)) {
      if (GetLastError() != ERROR_NOTIFY_ENUM_DIR) Close();
      changes.push_back({FolderChange::Kind::kRescan, {}});
    } else if (bytes == 0) {
      changes.push_back({FolderChange::Kind::kRescan, {}});  // more changes than the buffer held
    } else {
      Read(bytes, changes);
    }
    if (directory_ != INVALID_HANDLE_VALUE && !Issue()) Close();
    return changes;
  }

  bool ReportsClose() const override { return false; }
  std::chrono::milliseconds Settle() const override { return std::chrono::milliseconds(200); }

 private:
  bool Listen() {
    directory_ =
        CreateFileW(SystemPath(folder_).c_str(), FILE_LIST_DIRECTORY,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (directory_ == INVALID_HANDLE_VALUE) return false;
    if (Issue()) return true;
    Close();
    return false;
  }

  bool Issue() {
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = event_;
    ResetEvent(event_);
    constexpr DWORD kChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE |
                               FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_ATTRIBUTES;
    return ReadDirectoryChangesW(directory_, buffer_.data(), static_cast<DWORD>(buffer_.size()),
                                 FALSE, kChanges, nullptr, &overlapped_, nullptr) != 0;
  }

  void Read(DWORD bytes, std::vector<FolderChange>& changes) const {
    for (DWORD offset = 0; offset + sizeof(FILE_NOTIFY_INFORMATION) <= bytes;) {
      FILE_NOTIFY_INFORMATION information;
      std::memcpy(&information, buffer_.data() + offset, sizeof information);
      std::wstring name(information.FileNameLength / sizeof(wchar_t), L'\0');
      std::memcpy(name.data(),
                  buffer_.data() + offset + offsetof(FILE_NOTIFY_INFORMATION, FileName),
                  information.FileNameLength);
      const bool gone = information.Action == FILE_ACTION_REMOVED ||
                        information.Action == FILE_ACTION_RENAMED_OLD_NAME;
      changes.push_back(
          {gone ? FolderChange::Kind::kGone : FolderChange::Kind::kTouched, Utf8FromUtf16(name)});
      if (information.NextEntryOffset == 0) break;
      offset += information.NextEntryOffset;
    }
  }

  void Close() {
    if (directory_ == INVALID_HANDLE_VALUE) return;
    CancelIoEx(directory_, &overlapped_);
    DWORD bytes = 0;
    GetOverlappedResult(directory_, &overlapped_, &bytes, TRUE);
    CloseHandle(directory_);
    directory_ = INVALID_HANDLE_VALUE;
  }

  HANDLE directory_ = INVALID_HANDLE_VALUE;
  HANDLE event_ = nullptr;
  OVERLAPPED overlapped_{};
  alignas(DWORD) std::array<char, 64 * 1024> buffer_{};
};

}  // namespace

WakeSignal::WakeSignal() {
  read_ = write_ = reinterpret_cast<std::intptr_t>(CreateEventW(nullptr, FALSE, FALSE, nullptr));
}

WakeSignal::~WakeSignal() {
  if (read_ != 0) CloseHandle(reinterpret_cast<HANDLE>(read_));
}

void WakeSignal::Raise() noexcept { SetEvent(reinterpret_cast<HANDLE>(write_)); }

bool WakeSignal::WaitFor(std::chrono::milliseconds timeout) {
  return WaitForSingleObject(reinterpret_cast<HANDLE>(read_),
                             WaitMilliseconds(timeout, kLongestWait)) == WAIT_OBJECT_0;
}

// The event resets itself when a wait sees it.
void WakeSignal::Lower() {}

std::unique_ptr<FolderWatch> WatchFolderEvents(std::string_view folder, std::string& error) {
  auto watch = std::make_unique<DirectoryChangesWatch>(folder);
  if (!watch->Open(error)) return nullptr;
  return watch;
}

}  // namespace halvrenn::cdr
