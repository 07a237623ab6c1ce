// A file that may still change, on Windows: its state through a handle that asks for the
// attributes only, so that no writer is disturbed; whether anyone still writes it is whether it
// opens without sharing write access.

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "cdr/files/file_changes.h"
#include "cdr/files/file_handles_win32.h"
#include "cdr/files/long_paths_win32.h"

namespace halvrenn::cdr {
namespace {

std::int64_t Ticks(LARGE_INTEGER time) { return time.QuadPart; }

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
  state.identity = IdentityIn(information);
  state.hidden =
      (information.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
  return state;
}

bool IsSpecialFile(std::string_view /*path*/) { return false; }

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

bool LinkLeadsOutOf(std::string_view path, std::string_view folder) {
  const DWORD attributes = GetFileAttributesW(SystemPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    return false;
  }
  const std::optional<std::wstring> target = FinalPath(path);
  const std::optional<std::wstring> root = FinalPath(folder);
  return !target || !root || !target->starts_with(*root + L"\\");
}

}  // namespace halvrenn::cdr
