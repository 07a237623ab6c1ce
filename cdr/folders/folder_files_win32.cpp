// A folder's entries on Windows. A folder that is a symbolic link or a junction (a reparse point
// whose tag names another place) counts as a link; other reparse points, such as the
// placeholders of files kept in the cloud, are the files and folders they stand for. Wine marks
// a folder link as a reparse point with no tag, which counts as a link too.

#include <windows.h>

#include "cdr/files/byte_streams.h"
#include "cdr/files/long_paths_win32.h"
#include "cdr/folders/folder_files.h"
#include "time/utf16_text.h"

namespace halvrenn::cdr {

std::optional<std::vector<FolderEntry>> EntriesOf(std::string_view folder) {
  WIN32_FIND_DATAW found{};
  const HANDLE search =
      FindFirstFileExW(SystemPath(JoinPath(folder, "*")).c_str(), FindExInfoBasic, &found,
                       FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) return std::nullopt;
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

std::string AbsolutePath(std::string_view path) {
  const std::wstring wide = Utf16FromUtf8(path);
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::string(path);
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return std::string(path);
  full.resize(length);
  return Utf8FromUtf16(full);
}

}  // namespace halvrenn::cdr
