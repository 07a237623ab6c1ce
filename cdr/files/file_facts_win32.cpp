// Facts of files and folders on Windows, read through handles that ask for the attributes only,
// so that no writer is disturbed. Whether anyone still writes a file is whether it opens without
// sharing write access.

#include <windows.h>

#include <algorithm>
#include <cwctype>

#include "cdr/files/file_facts.h"
#include "cdr/files/long_paths_win32.h"
#include "cdr/files/paths.h"
#include "time/utf16_text.h"

namespace halvrenn::cdr {
namespace {

std::int64_t Ticks(LARGE_INTEGER time) { return time.QuadPart; }

// A handle that reads a file's attributes and nothing else, so that no writer is disturbed.
HANDLE OpenForAttributes(std::string_view path) {
  return CreateFileW(SystemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

FileIdentity IdentityIn(const BY_HANDLE_FILE_INFORMATION& information) {
  return {information.dwVolumeSerialNumber,
          (std::uint64_t{information.nFileIndexHigh} << 32) | information.nFileIndexLow};
}

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

std::optional<FileIdentity> FileIdentityOf(std::string_view path) {
  const HANDLE handle = OpenForAttributes(path);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION information{};
  const BOOL known = GetFileInformationByHandle(handle, &information);
  CloseHandle(handle);
  if (!known) return std::nullopt;
  return IdentityIn(information);
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

// A folder that is a symbolic link or a junction (a reparse point whose tag names another place)
// counts as a link; other reparse points, such as the placeholders of files kept in the cloud,
// are the files and folders they stand for. Wine marks a folder link as a reparse point with no
// tag, which counts as a link too.
Result<std::vector<FolderEntry>> EntriesOf(std::string_view folder) {
  WIN32_FIND_DATAW found{};
  const HANDLE search =
      FindFirstFileExW(SystemPath(JoinPath(folder, "*")).c_str(), FindExInfoBasic, &found,
                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) return LastSystemError();
  std::vector<FolderEntry> entries;
  do {
    const std::wstring_view name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const DWORD attributes = found.dwFileAttributes;
    FolderEntry entry{Utf8FromUtf16(name)};
    entry.hidden = (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      // dwReserved0 holds the reparse tag of a reparse point.
      const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                        (found.dwReserved0 == 0 || IsReparseTagNameSurrogate(found.dwReserved0));
      entry.kind = link ? FolderEntry::Kind::kFolderLink : FolderEntry::Kind::kFolder;
    } else if ((attributes & FILE_ATTRIBUTE_DEVICE) == 0) {
      entry.kind = FolderEntry::Kind::kFile;
    }
    entries.push_back(std::move(entry));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return entries;
}

}  // namespace halvrenn::cdr
