// Facts of files and folders on Windows, read through handles that ask for the attributes only,
// so that no writer is disturbed.

#include <windows.h>

#include "cdr/files/file_facts.h"
#include "cdr/files/file_handles_win32.h"
#include "cdr/files/long_paths_win32.h"
#include "cdr/files/paths.h"
#include "time/utf16_text.h"

namespace halvrenn::cdr {

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
