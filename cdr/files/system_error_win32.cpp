// The system's errors on Windows: GetLastError() and the words FormatMessage gives for it, in
// the user's language.

#include <windows.h>

#include <string_view>

#include "cdr/files/system_error.h"
#include "time/utf16_text.h"

namespace halvrenn::cdr {
namespace {

// The system's words for `code` without the characters of `trailing` at their end (its line
// break at least); "error 5" when it has none.
std::string WordsOf(int code, std::wstring_view trailing) {
  const auto error = static_cast<DWORD>(code);
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message = length > 0 && text != nullptr ? std::wstring(text, length) : L"";
  if (text != nullptr) LocalFree(text);
  while (!message.empty() && trailing.find(message.back()) != std::wstring_view::npos) {
    message.pop_back();
  }
  return message.empty() ? "error " + std::to_string(error) : Utf8FromUtf16(message);
}

}  // namespace

SystemError SystemErrorOf(int code) { return {code, WordsOf(code, L"\r\n. ")}; }
SystemError LastSystemError() { return SystemErrorOf(static_cast<int>(GetLastError())); }
SystemError NameTakenError() { return SystemErrorOf(ERROR_FILE_EXISTS); }
std::string SystemSentence(int code) { return WordsOf(code, L"\r\n"); }

bool SystemError::DiskFull() const {
  return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL;
}
bool SystemError::NameTaken() const {
  return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS;
}
bool SystemError::OtherVolume() const { return code == ERROR_NOT_SAME_DEVICE; }

}  // namespace halvrenn::cdr
