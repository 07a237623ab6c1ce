#include "cdr/files/long_paths_win32.h"

#include <windows.h>

#include "time/utf16_text.h"

namespace halvrenn::cdr {

std::wstring SystemPath(std::string_view path) {
  std::wstring wide = Utf16FromUtf8(path);
  // Already in a form that the system takes as it is: \\?\ and \\.\ (devices).
  if (wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\")) return wide;
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return wide;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return wide;
  full.resize(length);
  constexpr std::size_t kLongestShortPath = MAX_PATH - 12;
  if (full.size() < kLongestShortPath) return wide;
  if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

}  // namespace halvrenn::cdr
