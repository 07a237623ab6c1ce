// Files, temporary files and standard streams on Windows: handles read and written as bytes (no
// text mode), file names in UTF-16 (in the \\?\ form when long: long_paths_win32.h).

#include <windows.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "cdr/files/byte_streams.h"
#include "cdr/files/long_paths_win32.h"
#include "cdr/files/paths.h"
#include "cdr/files/temporary_files.h"
#include "cdr/files/uncommitted_files.h"

namespace halvrenn::cdr {
namespace {

class HandleSource final : public ByteSource {
 public:
  HandleSource(HANDLE handle, bool owned) : handle_(handle), owned_(owned) {
    LARGE_INTEGER size{};
    if (GetFileType(handle) == FILE_TYPE_DISK && GetFileSizeEx(handle, &size)) {
      size_ = static_cast<std::uint64_t>(size.QuadPart);
    }
  }
  HandleSource(const HandleSource&) = delete;
  HandleSource& operator=(const HandleSource&) = delete;
  ~HandleSource() override {
    if (owned_) CloseHandle(handle_);
  }

  Result<std::size_t> Read(char* buffer, std::size_t size) override {
    DWORD read = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30));
    if (!ReadFile(handle_, buffer, wanted, &read, nullptr)) {
      const DWORD error = GetLastError();
      if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;  // the writer ended
      return SystemErrorOf(static_cast<int>(error));
    }
    return read;
  }
  std::uint64_t Size() const override { return size_; }

 private:
  HANDLE handle_;
  bool owned_;
  std::uint64_t size_ = 0;
};

std::optional<SystemError> WriteAll(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1U << 30));
    if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr)) return LastSystemError();
    bytes.remove_prefix(written);
  }
  return std::nullopt;
}

class HandleSink final : public ByteSink {
 public:
  explicit HandleSink(HANDLE handle) : handle_(handle) {}
  std::optional<SystemError> Write(std::string_view bytes) override {
    return WriteAll(handle_, bytes);
  }

 private:
  HANDLE handle_;
};

UncommittedFiles<wchar_t> uncommitted;

class WindowsTemporaryFile final : public TemporaryFile {
 public:
  WindowsTemporaryFile(HANDLE handle, std::wstring temporary, std::wstring destination)
      : handle_(handle), temporary_(std::move(temporary)), destination_(std::move(destination)) {
    uncommitted.Enter(temporary_.c_str());
  }
  WindowsTemporaryFile(const WindowsTemporaryFile&) = delete;
  WindowsTemporaryFile& operator=(const WindowsTemporaryFile&) = delete;
  ~WindowsTemporaryFile() override { Discard(); }

  std::optional<SystemError> Write(std::string_view bytes) override {
    return WriteAll(handle_, bytes);
  }

  std::optional<SystemError> Commit(bool replace) override {
    // Flushed before the rename, which MOVEFILE_WRITE_THROUGH writes through to the disk.
    if (!FlushFileBuffers(handle_)) return Fail(LastSystemError());
    FILE_DISPOSITION_INFO kept{};
    kept.DeleteFile = FALSE;
    if (!SetFileInformationByHandle(handle_, FileDispositionInfo, &kept, sizeof kept)) {
      return Fail(LastSystemError());
    }
    if (RenameByHandle(replace)) {
      // The rename is flushed with the file's own metadata.
      FlushFileBuffers(handle_);
      CloseHandle(handle_);
      handle_ = INVALID_HANDLE_VALUE;
      committed_ = true;
      uncommitted.Leave(temporary_.c_str());
      return std::nullopt;
    }
    const DWORD failure = GetLastError();
    if (failure != ERROR_INVALID_PARAMETER && failure != ERROR_NOT_SUPPORTED) {
      return Fail(SystemErrorOf(static_cast<int>(failure)));
    }
    // A file system (or system) that renames no open file by its handle: by its name instead.
    const BOOL closed = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    if (!closed) return Fail(LastSystemError());
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!MoveFileExW(temporary_.c_str(), destination_.c_str(), flags)) {
      return Fail(LastSystemError());
    }
    committed_ = true;
    uncommitted.Leave(temporary_.c_str());
    return std::nullopt;
  }

 private:
  // FILE_RENAME_INFO takes the destination's full path in the system's own form, \??\C:\... or
  // \??\UNC\server\share\...; GetLastError() tells why it failed.
  bool RenameByHandle(bool replace) const {
    const std::optional<std::wstring> full = FullPathName(destination_);
    if (!full) return false;
    std::wstring target;
    if (full->starts_with(L"\\\\?\\")) {
      target = L"\\??\\" + full->substr(4);
    } else if (full->starts_with(L"\\\\")) {
      target = L"\\??\\UNC\\" + full->substr(2);
    } else {
      target = L"\\??\\" + *full;
    }
    const std::size_t bytes = sizeof(FILE_RENAME_INFO) + target.size() * sizeof(wchar_t);
    if (bytes > ULONG_MAX) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return false;
    }
    // Aligned storage for the structure, with room for the name after it.
    std::vector<std::uint64_t> storage(bytes / sizeof(std::uint64_t) + 1);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(storage.data());
    rename->ReplaceIfExists = replace ? TRUE : FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(target.size() * sizeof(wchar_t));
    std::copy(target.begin(), target.end(), rename->FileName);
    return SetFileInformationByHandle(handle_, FileRenameInfo, rename, static_cast<DWORD>(bytes)) !=
           FALSE;
  }

  std::optional<SystemError> Fail(SystemError error) {
    Discard();
    return error;
  }

  void Discard() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    if (!committed_) {
      DeleteFileW(temporary_.c_str());
      uncommitted.Leave(temporary_.c_str());
    }
    committed_ = true;
  }

  HANDLE handle_;
  std::wstring temporary_;
  std::wstring destination_;
  bool committed_ = false;
};

}  // namespace

Result<std::unique_ptr<ByteSource>> OpenInputFile(std::string_view path) {
  const HANDLE handle =
      CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return LastSystemError();
  return std::make_unique<HandleSource>(handle, true);
}

Result<std::unique_ptr<TemporaryFile>> CreateTemporaryFile(
    std::string_view destination, std::optional<unsigned> /*permissions*/) {
  static std::atomic<std::uint32_t> counter{GetTickCount() ^ (GetCurrentProcessId() << 16)};
  for (int attempt = 0; attempt < 100; ++attempt) {
    // A multiplier that is odd and large spreads the names of one process's files apart.
    std::wstring temporary = SystemPath(
        JoinPath(FolderOf(destination), TemporaryName(counter.fetch_add(1) * 2654435761U)));
    // Shared for deletion, so that a console control handler can remove it while it is open.
    const HANDLE handle = CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      // Marked for deletion while it is written, so that the system removes it when the process
      // ends in any way (TerminateProcess too); the commit clears the mark. A file system that
      // takes no mark keeps the file as before, for the handler and the watcher to remove.
      FILE_DISPOSITION_INFO doomed{};
      doomed.DeleteFile = TRUE;
      SetFileInformationByHandle(handle, FileDispositionInfo, &doomed, sizeof doomed);
      return std::make_unique<WindowsTemporaryFile>(handle, std::move(temporary),
                                                    SystemPath(destination));
    }
    SystemError failure = LastSystemError();
    if (!failure.NameTaken()) return failure;
  }
  return NameTakenError();
}

void RemoveTemporaryFilesNow() noexcept {
  // Marked for deletion now; gone when the process ends and its handle closes.
  uncommitted.ForEach([](const wchar_t* path) { DeleteFileW(path); });
}

std::unique_ptr<ByteSource> StandardInput() {
  return std::make_unique<HandleSource>(GetStdHandle(STD_INPUT_HANDLE), false);
}

std::unique_ptr<ByteSink> StandardOutput() {
  return std::make_unique<HandleSink>(GetStdHandle(STD_OUTPUT_HANDLE));
}

}  // namespace halvrenn::cdr
