// Files and standard streams on Windows: handles read and written as bytes (no text mode), file
// names in UTF-16 (in the \\?\ form when long: long_paths_win32.h), errors as the system words
// them.

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
#include "cdr/files/uncommitted_files.h"
#include "time/utf16_text.h"

namespace halvrenn::cdr {
namespace {

std::string ErrorText(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : L"";
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                              message.back() == L'.' || message.back() == L' ')) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(error) : Utf8FromUtf16(message);
}

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

  std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
    DWORD read = 0;
    const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, 1U << 30));
    if (!ReadFile(handle_, buffer, wanted, &read, nullptr)) {
      const DWORD error = GetLastError();
      if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;  // the writer ended
      error_ = ErrorText(error);
      return std::nullopt;
    }
    return read;
  }
  std::uint64_t Size() const override { return size_; }
  std::string Error() const override { return error_; }

 private:
  HANDLE handle_;
  bool owned_;
  std::uint64_t size_ = 0;
  std::string error_;
};

bool IsDiskFull(DWORD error) { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }

// All of `bytes`; on an error its text and number in `error` and `code`.
bool WriteAll(HANDLE handle, std::string_view bytes, std::string& error, DWORD& code) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1U << 30));
    if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr)) {
      code = GetLastError();
      error = ErrorText(code);
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

class HandleSink final : public ByteSink {
 public:
  explicit HandleSink(HANDLE handle) : handle_(handle) {}
  bool Write(std::string_view bytes) override { return WriteAll(handle_, bytes, error_, code_); }
  std::string Error() const override { return error_; }
  bool DiskFull() const override { return IsDiskFull(code_); }

 private:
  HANDLE handle_;
  std::string error_;
  DWORD code_ = 0;
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

  bool Write(std::string_view bytes) override { return WriteAll(handle_, bytes, error_, code_); }
  std::string Error() const override { return error_; }
  bool DiskFull() const override { return IsDiskFull(code_); }

  bool Commit(bool replace) override {
    // Flushed before the rename, which MOVEFILE_WRITE_THROUGH writes through to the disk.
    if (!FlushFileBuffers(handle_)) return Fail(GetLastError());
    FILE_DISPOSITION_INFO kept{};
    kept.DeleteFile = FALSE;
    if (!SetFileInformationByHandle(handle_, FileDispositionInfo, &kept, sizeof kept)) {
      return Fail(GetLastError());
    }
    if (RenameByHandle(replace)) {
      // The rename is flushed with the file's own metadata.
      FlushFileBuffers(handle_);
      CloseHandle(handle_);
      handle_ = INVALID_HANDLE_VALUE;
      committed_ = true;
      uncommitted.Leave(temporary_.c_str());
      return true;
    }
    const DWORD failure = GetLastError();
    if (failure != ERROR_INVALID_PARAMETER && failure != ERROR_NOT_SUPPORTED) return Fail(failure);
    // A file system (or system) that renames no open file by its handle: by its name instead.
    const BOOL closed = CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    if (!closed) return Fail(GetLastError());
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!MoveFileExW(temporary_.c_str(), destination_.c_str(), flags)) return Fail(GetLastError());
    committed_ = true;
    uncommitted.Leave(temporary_.c_str());
    return true;
  }

 private:
  // FILE_RENAME_INFO takes the destination's full path in the system's own form, \??\C:\... or
  // \??\UNC\server\share\...; GetLastError() tells why it failed.
  bool RenameByHandle(bool replace) const {
    const DWORD length = GetFullPathNameW(destination_.c_str(), 0, nullptr, nullptr);
    if (length == 0) return false;
    std::wstring full(length, L'\0');
    full.resize(GetFullPathNameW(destination_.c_str(), length, full.data(), nullptr));
    std::wstring target;
    if (full.starts_with(L"\\\\?\\")) {
      target = L"\\??\\" + full.substr(4);
    } else if (full.starts_with(L"\\\\")) {
      target = L"\\??\\UNC\\" + full.substr(2);
    } else {
      target = L"\\??\\" + full;
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

  bool Fail(DWORD error) {
    code_ = error;
    error_ = ErrorText(error);
    Discard();
    return false;
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
  std::string error_;
  DWORD code_ = 0;
};

}  // namespace

std::unique_ptr<ByteSource> OpenInputFile(std::string_view path, std::string& error) {
  const HANDLE handle =
      CreateFileW(SystemPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = ErrorText(GetLastError());
    return nullptr;
  }
  return std::make_unique<HandleSource>(handle, true);
}

std::unique_ptr<TemporaryFile> CreateTemporaryFile(std::string_view destination,
                                                   std::optional<unsigned> /*permissions*/,
                                                   std::string& error) {
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
    const DWORD failure = GetLastError();
    if (failure != ERROR_FILE_EXISTS && failure != ERROR_ALREADY_EXISTS) {
      error = ErrorText(failure);
      return nullptr;
    }
  }
  error = ErrorText(ERROR_FILE_EXISTS);
  return nullptr;
}

void RemoveTemporaryFilesNow() noexcept {
  // Marked for deletion now; gone when the process ends and its handle closes.
  uncommitted.ForEach([](const wchar_t* path) { DeleteFileW(path); });
}

std::optional<std::string> FileIdentityOf(std::string_view path) {
  const HANDLE handle = CreateFileW(SystemPath(path).c_str(), 0,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION information{};
  const BOOL known = GetFileInformationByHandle(handle, &information);
  CloseHandle(handle);
  if (!known) return std::nullopt;
  return std::to_string(information.dwVolumeSerialNumber) + ':' +
         std::to_string((std::uint64_t{information.nFileIndexHigh} << 32) |
                        information.nFileIndexLow);
}

bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }
char PreferredPathSeparator() { return '\\'; }

bool PathExists(std::string_view path) {
  return GetFileAttributesW(SystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(std::string_view path) {
  const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::uint64_t> FileSizeOf(std::string_view path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(SystemPath(path).c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

std::vector<std::string> RegularFilesIn(std::string_view folder) {
  std::vector<std::string> files;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileW(SystemPath(JoinPath(folder, "*")).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return files;
  do {
    if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) == 0) {
      files.push_back(JoinPath(folder, Utf8FromUtf16(found.cFileName)));
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return files;
}

std::unique_ptr<ByteSource> StandardInput() {
  return std::make_unique<HandleSource>(GetStdHandle(STD_INPUT_HANDLE), false);
}

std::unique_ptr<ByteSink> StandardOutput() {
  return std::make_unique<HandleSink>(GetStdHandle(STD_OUTPUT_HANDLE));
}

}  // namespace halvrenn::cdr
