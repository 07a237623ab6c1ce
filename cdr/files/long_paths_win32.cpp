#include "cdr/files/long_paths_win32.h"

#include <windows.h>

#include "time/utf16_text.h"

namespace halvrenn::cdr {

std::optional<std::wstring> FullPathName(const std::wstring& path) {
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::nullopt;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return std::nullopt;
  full.resize(length);
  return full;
}

std::wstring SystemPath(std::string_view path) {
  std::wstring wide = Utf16FromUtf8(path);
  // Already in a form that the system takes as it is: \\?\ and \\.\ (devices).
  if (wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\")) return wide;
  const std::optional<std::wstring> full = FullPathName(wide);
  if (!full) return wide;
  constexpr std::size_t kLongestShortPath = MAX_PATH - 12;
  if (full->size() < kLongestShortPath) return wide;
  if (full->starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full->substr(2);
  return L"\\\\?\\" + *full;
}

}  // namespace halvrenn::cdr
