// A folder's changes on Windows by ReadDirectoryChangesW, and the file facts the watcher needs.
// The system reports no writer's close, so every change only marks a file for a look: it is
// complete once it opens without sharing write access (no one has it open for writing) and its
// size and times have stayed the same for a moment.

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <cwctype>

#include "cdr/files/byte_streams.h"
#include "cdr/files/long_paths_win32.h"
#include "cdr/watch/folder_watch.h"
#include "cdr/watch/wake_signal.h"
#include "time/utf16_text.h"

namespace halvrenn::cdr {
namespace {

std::string ErrorText(DWORD error) {
  std::array<wchar_t, 512> text{};
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                     text.data(), static_cast<DWORD>(text.size()), nullptr);
  std::wstring message(text.data(), length);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L'.' || message.back() == L' ')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(error) : Utf8FromUtf16(message);
}

// The longest wait short of INFINITE.
constexpr DWORD kLongestWait = INFINITE - 1;

std::int64_t Ticks(LARGE_INTEGER time) { return time.QuadPart; }

// A handle that reads a file's attributes and nothing else, so that no writer is disturbed.
HANDLE OpenForAttributes(std::string_view path) {
  return CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

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
      error = ErrorText(GetLastError());
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

class NamedClaim final : public FolderClaim {
 public:
  explicit NamedClaim(HANDLE mutex) : mutex_(mutex) {}
  NamedClaim(const NamedClaim&) = delete;
  NamedClaim& operator=(const NamedClaim&) = delete;
  ~NamedClaim() override {
    if (mutex_ != nullptr) CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

// The path a handle's file has once links and junctions are followed, upper-cased for comparing.
std::optional<std::wstring> FinalPath(std::string_view path) {
  const HANDLE handle = OpenForAttributes(path);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  std::wstring final(32768, L'\0');
  const DWORD length =
      GetFinalPathNameByHandleW(handle, final.data(), static_cast<DWORD>(final.size()), 0);
  CloseHandle(handle);
  if (length == 0 || length >= final.size()) return std::nullopt;
  final.resize(length);
  for (wchar_t& c : final) c = static_cast<wchar_t>(std::towupper(c));
  return final;
}

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

std::optional<FileState> StateOf(std::string_view path) {
  const HANDLE handle = OpenForAttributes(path);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION information{};
  FILE_BASIC_INFO basic{};
  const bool read = GetFileInformationByHandle(handle, &information) &&
                    GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic);
  CloseHandle(handle);
  if (!read || (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
  FileState state;
  state.size = (std::uint64_t{information.nFileSizeHigh} << 32) | information.nFileSizeLow;
  state.modified = Ticks(basic.LastWriteTime);
  state.changed = std::max(Ticks(basic.ChangeTime), Ticks(basic.CreationTime));
  state.device = information.dwVolumeSerialNumber;
  state.file = (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow;
  state.hidden =
      (information.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
  return state;
}

Writers OtherWritersOf(std::string_view path) {
  const HANDLE handle =
      CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle != INVALID_HANDLE_VALUE) {
    CloseHandle(handle);
    return Writers::kNone;
  }
  return GetLastError() == ERROR_SHARING_VIOLATION ? Writers::kSome : Writers::kUnknown;
}

bool IsSpecialFile(std::string_view /*path*/) { return false; }

bool LinkLeadsOutOf(std::string_view path, std::string_view folder) {
  const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return false;
  }
  const std::optional<std::wstring> target = FinalPath(path);
  const std::optional<std::wstring> root = FinalPath(folder);
  return !target || !root || !target->starts_with(*root + L"\\");
}

MoveResult MoveWithoutReplacing(std::string_view from, std::string_view to, std::string& error) {
  if (MoveFileExW(SystemPath(from).c_str(), SystemPath(to).c_str(), 0)) return MoveResult::kMoved;
  const DWORD code = GetLastError();
  if (code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) return MoveResult::kExists;
  if (code == ERROR_NOT_SAME_DEVICE) return MoveResult::kOtherVolume;
  error = ErrorText(code);
  return MoveResult::kFailed;
}

bool RemoveFile(std::string_view path, std::string& error) {
  if (DeleteFileW(SystemPath(path).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return true;
  error = ErrorText(GetLastError());
  return false;
}

// A named mutex per folder, by its volume and file index: in the Global namespace where the
// account may make one (services, administrators), else in the session's.
std::unique_ptr<FolderClaim> ClaimFolder(std::string_view folder) {
  const HANDLE handle = OpenForAttributes(folder);
  BY_HANDLE_FILE_INFORMATION information{};
  const bool known =
      handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &information);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  if (!known) return std::make_unique<NamedClaim>(nullptr);
  const std::wstring name = L"halvrenn-cdr-watch-" +
                            std::to_wstring(information.dwVolumeSerialNumber) + L"-" +
                            std::to_wstring(information.nFileIndexHigh) + L"-" +
                            std::to_wstring(information.nFileIndexLow);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, (L"Global\\" + name).c_str());
  if (mutex == nullptr) mutex = CreateMutexW(nullptr, FALSE, (L"Local\\" + name).c_str());
  if (mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return nullptr;
  }
  return std::make_unique<NamedClaim>(mutex);
}

}  // namespace halvrenn::cdr
